#include "ftp_listing.h"

#include <QByteArrayView>
#include <QRegularExpression>
#include <QStringView>
#include <QTime>
#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace ftp {

// ---- CFTPFiles ----

CFTPFile& CFTPFiles::Add(CFTPFile oFtpFile, const QString& /*vKey*/) {
    entries_.push_back(std::move(oFtpFile));
    return entries_.back();
}

std::size_t CFTPFiles::indexOf(qsizetype position) const {
    if (position < 1 || position > Count())
        throw std::out_of_range("CFTPFiles: no entry at position " + std::to_string(position));
    return static_cast<std::size_t>(position - 1);
}

CFTPFile& CFTPFiles::Item(qsizetype vntIndexKey) {
    return entries_[indexOf(vntIndexKey)];
}

const CFTPFile& CFTPFiles::Item(qsizetype vntIndexKey) const {
    return entries_[indexOf(vntIndexKey)];
}

void CFTPFiles::Remove(qsizetype vntIndexKey) {
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(indexOf(vntIndexKey)));
}

namespace {

// A line split at runs of spaces. A line that begins with a space has an empty first
// field, one that ends in spaces an empty last field; fields are numbered from 0.
class Fields {
public:
    explicit Fields(QStringView line) : line_(line) {
        qsizetype pos = 0;
        const qsizetype n = line.size();
        while (true) {
            const qsizetype space = line.indexOf(u' ', pos);
            if (space < 0) {
                starts_.push_back(pos);
                ends_.push_back(n);
                return;
            }
            starts_.push_back(pos);
            ends_.push_back(space);
            pos = space;
            while (pos < n && line[pos] == u' ')
                ++pos;
            if (pos == n) {
                starts_.push_back(n);
                ends_.push_back(n);
                return;
            }
        }
    }

    qsizetype count() const { return static_cast<qsizetype>(starts_.size()); }

    // Field i, or nullopt when the line has fewer fields.
    std::optional<QStringView> at(qsizetype i) const {
        if (i >= count())
            return std::nullopt;
        const auto k = static_cast<std::size_t>(i);
        return line_.sliced(starts_[k], ends_[k] - starts_[k]);
    }

    // Field i through the end of the line, the spaces between the fields kept as listed.
    std::optional<QStringView> from(qsizetype i) const {
        if (i >= count())
            return std::nullopt;
        return line_.sliced(starts_[static_cast<std::size_t>(i)]);
    }

private:
    QStringView line_;
    std::vector<qsizetype> starts_;
    std::vector<qsizetype> ends_;
};

// A byte count: decimal digits only, within 64 bits.
std::optional<qint64> sizeValue(QStringView text) {
    if (text.isEmpty())
        return std::nullopt;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

std::optional<int> int16Value(QStringView text) {
    bool ok = false;
    const short value = text.toShort(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// Two-digit years as servers print them: 70-99 are 1970-1999, 0-69 are 2000-2069.
int fullYear(int year) {
    if (year >= 0 && year < 70)
        return year + 2000;
    if (year >= 70 && year < 100)
        return year + 1900;
    return year;
}

std::optional<int> monthValue(QStringView text) {
    static constexpr std::array<char16_t[4], 12> names = {u"Jan", u"Feb", u"Mar", u"Apr",
                                                          u"May", u"Jun", u"Jul", u"Aug",
                                                          u"Sep", u"Oct", u"Nov", u"Dec"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (text == QStringView(names[i]))
            return static_cast<int>(i) + 1;
    }
    return int16Value(text);
}

// DOS date field: month-day-year with a two- or four-digit year ("-" or "/" between).
QDate dosDate(QStringView text) {
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("([0-9]{1,2})[-/]([0-9]{1,2})[-/]([0-9]{2}|[0-9]{4})")));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return {};
    const int year = m.capturedView(3).toInt();
    return QDate(m.capturedView(3).size() == 2 ? fullYear(year) : year, m.capturedView(1).toInt(),
                 m.capturedView(2).toInt());
}

// DOS time field: hours and minutes (seconds optional), 12-hour with AM/PM or 24-hour.
QTime dosTime(QStringView text) {
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("([0-9]{1,2}):([0-9]{2})(?::([0-9]{2}))?([AaPp][Mm])?")));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return {};
    int hour = m.capturedView(1).toInt();
    const QStringView half = m.capturedView(4);
    if (!half.isEmpty()) {
        if (hour < 1 || hour > 12)
            return {};
        const bool pm = half.startsWith(u'P', Qt::CaseInsensitive);
        hour = hour % 12 + (pm ? 12 : 0);
    }
    const QStringView seconds = m.capturedView(3);
    return QTime(hour, m.capturedView(2).toInt(), seconds.isEmpty() ? 0 : seconds.toInt());
}

std::optional<QDateTime> dosDateTime(const Fields& fields) {
    const auto dateField = fields.at(0);
    const auto timeField = fields.at(1);
    if (!dateField || !timeField)
        return std::nullopt;
    const QDate date = dosDate(*dateField);
    const QTime time = dosTime(*timeField);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

// The target of a link's "name -> target" text; nullopt without an arrow.
std::optional<QStringView> linkTarget(QStringView nameAndTarget) {
    static constexpr QStringView arrow = u" -> ";
    const qsizetype at = nameAndTarget.indexOf(arrow);
    if (at < 0)
        return std::nullopt;
    return nameAndTarget.sliced(at + arrow.size());
}

// Targets whose last part has no extension are taken for folders (usr/bin, ../lib, ..).
bool looksLikeFolder(QStringView target) {
    const QStringView last = target.sliced(target.lastIndexOf(u'/') + 1);
    return last == u"." || last == u".." || !last.contains(u'.');
}

// DOS: date, time, "<DIR>" or size, name.
void readDosLine(const Fields& fields, CFTPFile& entry) {
    const auto sizeField = fields.at(2);
    if (!sizeField || *sizeField == u"<DIR>")
        entry.setIsDirectory(true); // a missing field counts as "<DIR>"
    else if (const auto size = sizeValue(*sizeField))
        entry.setFileSize(*size);
    if (const auto name = fields.from(3))
        entry.setFilename(name->toString());
    if (const auto when = dosDateTime(fields))
        entry.setLastWriteTime(*when);
}

// UNIX: permissions, links, owner, group, size, month, day, time or year, name. The
// caller guarantees at least nine fields.
void readUnixLine(const Fields& fields, CFTPFile& entry, QDate today) {
    const QStringView permissions = *fields.at(0);
    const QStringView name = *fields.from(8);
    if (permissions.startsWith(u'd')) {
        entry.setIsDirectory(true);
    } else if (permissions.startsWith(u'l')) {
        const auto target = linkTarget(name);
        if (target)
            entry.setFilePath(target->toString());
        if (!target || looksLikeFolder(*target))
            entry.setIsDirectory(true); // a link without a target counts as a folder
    }
    entry.setPermissions(permissions.toString());
    entry.setOwner(fields.at(2)->toString());
    entry.setGroup(fields.at(3)->toString());
    if (const auto size = sizeValue(*fields.at(4)))
        entry.setFileSize(*size);
    entry.setFilename(name.toString());
    const QDate date = ParseListingDate(fields.at(6)->toString(), fields.at(5)->toString(),
                                        fields.at(7)->toString(), today);
    if (date.isValid())
        entry.setLastWriteTime(QDateTime(date, QTime(0, 0), Qt::UTC));
}

bool isSkipped(QStringView line) {
    return line.isEmpty() || line.startsWith(u"total", Qt::CaseInsensitive);
}

// One line, already without its line end; nullopt for lines that give no entry.
std::optional<CFTPFile> readLine(QByteArrayView bytes, QDate today) {
    const QString line = QString::fromUtf8(bytes);
    if (isSkipped(line))
        return std::nullopt;
    const Fields fields(line);
    CFTPFile entry;
    // A DOS line whose name has many words still starts with a DOS date and time.
    if (fields.count() < 9 || dosDateTime(fields))
        readDosLine(fields, entry);
    else
        readUnixLine(fields, entry, today);
    if (entry.Filename() == u"." || entry.Filename() == u"..")
        return std::nullopt;
    return entry;
}

} // namespace

CFTPFiles ParseListing(const QByteArray& listingText, QDate today) {
    CFTPFiles files;
    const QByteArrayView text(listingText);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        if (end < 0)
            end = text.size();
        if (end > start && text[end - 1] == '\r')
            --end;
        if (auto entry = readLine(text.sliced(start, end - start), today))
            files.Add(std::move(*entry));
        start = next;
    }
    return files;
}

QDate ParseListingDate(const QString& day, const QString& month, const QString& yearOrTime,
                       QDate today) {
    const std::optional<int> year =
        yearOrTime.contains(u':') ? std::optional<int>(today.year()) : int16Value(yearOrTime);
    const std::optional<int> monthNumber = monthValue(month);
    const std::optional<int> dayNumber = int16Value(day);
    if (!year || !monthNumber || !dayNumber)
        return {};
    const QDate date = QDate(fullYear(*year), 1, 1)
                           .addMonths(*monthNumber - 1)
                           .addDays(static_cast<qint64>(*dayNumber) - 1);
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return {};
    return date;
}

} // namespace ftp
