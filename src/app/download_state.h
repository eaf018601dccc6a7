// The download fields shared by every main window of the process: one transfer's target
// and counters. Byte counts are exact 64-bit integers.
#pragma once

#include <QString>
#include <QtGlobal>

namespace app {

struct DownloadFields {
    QString ConnectHost; // host (and ":port") to connect to: the proxy's, or the address's
    QString ConnectPort; // port to connect to: the proxy's, or "80"
    bool UseProxy = false;
    QString DownloadURL; // the full address being fetched
    bool IsResuming = false;
    QString LocalFile;     // path of the file being written
    qint64 ResumeBase = 0; // bytes already in the file when the transfer (re)started
    qint64 Received = 0;   // bytes of the file received, counting ResumeBase
    qint64 TotalSize = 0;  // size of the complete file; 0 while unknown
    qint16 ElapsedSeconds = 0;
    qint16 ElapsedMinutes = 0;
    qint16 ElapsedHours = 0;
};

// The one copy of the shared fields.
DownloadFields& Download();

} // namespace app
