#include "display_format.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace app {

namespace {

QString twoDigits(qint64 n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

QString clock(qint64 hours, qint64 minutes, qint64 seconds) {
    return twoDigits(hours) + QLatin1Char(':') + twoDigits(minutes) + QLatin1Char(':') +
           twoDigits(seconds);
}

} // namespace

QString FormatSize(qint64 bytes) {
    if (bytes < 1024)
        return QString::number(bytes) + QStringLiteral(" Bytes");
    if (bytes <= 1048576) {
        const float kb = static_cast<float>(bytes) / 1024.0f;
        return QString::number(kb, 'f', 2) + QStringLiteral(" KB");
    }
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(static_cast<double>(bytes) / 1048576.0, 'f', 2) + QStringLiteral(" MB");
}

QString ConvertTime(double seconds) {
    if (!(seconds >= 0) || !std::isfinite(seconds))
        seconds = 0;
    seconds = std::min(seconds, 1e15); // far beyond any clock text, and safe to convert
    const auto whole = static_cast<qint64>(std::floor(seconds));
    if (whole < 60)
        return clock(0, 0, whole);
    qint64 minutes = whole / 60;
    const qint64 secs = whole - minutes * 60;
    const qint64 hours = minutes / 60;
    minutes -= hours * 60;
    return clock(hours, minutes, secs);
}

QString ElapsedText(qint16 hours, qint16 minutes, qint16 seconds) {
    return clock(hours + minutes / 60, minutes % 60, seconds);
}

QString FormatSpeed(double kilobytesPerSecond) {
    // Two decimals at least, three at most; no digit before the point when it would be 0.
    QString text = QString::number(kilobytesPerSecond, 'f', 3);
    if (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.startsWith(QLatin1String("0.")))
        text.remove(0, 1);
    else if (text.startsWith(QLatin1String("-0.")))
        text.remove(1, 1);
    return text;
}

qint16 PercentOf(qint64 received, qint64 total) {
    if (total <= 0)
        return 0;
    const double percent = static_cast<double>(received) / static_cast<double>(total) * 100.0;
    return static_cast<qint16>(qBound(-32768.0, std::round(percent), 32767.0));
}

} // namespace app
