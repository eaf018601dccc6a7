// The FTP client's time-out watcher: a one-second timer that advances one process-wide
// count of silent seconds, which every start, stop and reset sets back to 0.
#pragma once

#include <QObject>
#include <QtGlobal>

class QTimer;

namespace MFtpSupport {
// Seconds counted since the last start, stop or reset of any watcher.
qint16 ElapsedSeconds();
void SetElapsedSeconds(qint16 seconds);
// The timer's callback: one more second (held at the 16-bit maximum).
void TimerProc();
} // namespace MFtpSupport

namespace ftp {

class CTimeout : public QObject {
    Q_OBJECT
public:
    explicit CTimeout(QObject* parent = nullptr);
    ~CTimeout() override;

    void StartTimer();
    void StopTimer();
    qint16 TimeoutValue() const { return timeoutValue_; }
    void setTimeoutValue(qint16 seconds) { timeoutValue_ = seconds; }
    // True once more seconds than the limit have passed; stops the timer then.
    bool Timeout();
    void Reset();

private:
    QTimer* timer_ = nullptr;
    qint16 timeoutValue_ = 0;
};

} // namespace ftp
