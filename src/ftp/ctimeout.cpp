#include "ctimeout.h"

#include <QTimer>
#include <limits>

namespace MFtpSupport {

namespace {
qint16 elapsed = 0;
}

qint16 ElapsedSeconds() {
    return elapsed;
}
void SetElapsedSeconds(qint16 seconds) {
    elapsed = seconds;
}

void TimerProc() {
    if (elapsed < std::numeric_limits<qint16>::max())
        ++elapsed;
}

} // namespace MFtpSupport

namespace ftp {

CTimeout::CTimeout(QObject* parent) : QObject(parent) {
}

CTimeout::~CTimeout() {
    StopTimer();
}

void CTimeout::StartTimer() {
    delete timer_;
    MFtpSupport::SetElapsedSeconds(0);
    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, [] { MFtpSupport::TimerProc(); });
    timer_->start();
}

void CTimeout::StopTimer() {
    MFtpSupport::SetElapsedSeconds(0);
    delete timer_;
    timer_ = nullptr;
}

bool CTimeout::Timeout() {
    if (MFtpSupport::ElapsedSeconds() > timeoutValue_) {
        StopTimer();
        return true;
    }
    return false;
}

void CTimeout::Reset() {
    MFtpSupport::SetElapsedSeconds(0);
}

} // namespace ftp
