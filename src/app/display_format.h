// Texts of the progress display: sizes, clock times, speed and percentage.
#pragma once

#include <QString>
#include <QtGlobal>

namespace app {

// "512 Bytes", "1.50 KB" (1024 up to 1048576 bytes), "1,024.00 MB" (above; the locale's
// separators).
QString FormatSize(qint64 bytes);
// Seconds as "HH:MM:SS"; 24 hours and more show the full hour count ("25:03:07").
QString ConvertTime(double seconds);
// The elapsed counters as "HH:MM:SS", a minute count of 60 shown carried into the hours.
QString ElapsedText(qint16 hours, qint16 minutes, qint16 seconds);
// Kilobytes per second with two or three decimals and no leading zero ("1.50", ".25").
QString FormatSpeed(double kilobytesPerSecond);
// Received of total as a whole percentage, rounded (99.9 gives 100).
qint16 PercentOf(qint64 received, qint64 total);

} // namespace app
