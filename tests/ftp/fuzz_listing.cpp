// Fuzz harness for the listing parser: any bytes must parse without a crash, and the
// result must hold together (positions and iteration agree, fields are whole fields, a
// listing parses line by line, CR LF and LF line ends give the same entries).
#include "ftp_listing.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace ftp;

namespace {

const QDate kToday(2024, 6, 15);

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool same(const CFTPFile& a, const CFTPFile& b) {
    return a.IsDirectory() == b.IsDirectory() && a.FileSize() == b.FileSize() &&
           a.LastWriteTime() == b.LastWriteTime() && a.Filename() == b.Filename() &&
           a.FilePath() == b.FilePath() && a.Permissions() == b.Permissions() &&
           a.Owner() == b.Owner() && a.Group() == b.Group();
}

bool sameList(const CFTPFiles& a, const CFTPFiles& b, qsizetype offset = 0) {
    if (a.Count() < offset + b.Count())
        return false;
    for (qsizetype i = 1; i <= b.Count(); ++i) {
        if (!same(a.Item(offset + i), b.Item(i)))
            return false;
    }
    return true;
}

void checkEntry(const CFTPFile& f) {
    check(f.FileSize() >= 0);
    check(f.Filename() != QLatin1String(".") && f.Filename() != QLatin1String(".."));
    check(!f.Filename().startsWith(u' ') && !f.Filename().contains(u'\n'));
    for (const QString& field : {f.Permissions(), f.Owner(), f.Group()})
        check(!field.contains(u' ') && !field.contains(u'\n'));
    if (!f.FilePath().isEmpty()) {
        check(f.Permissions().startsWith(u'l'));
        check(f.Filename().endsWith(QLatin1String(" -> ") + f.FilePath()));
    }
    const QDateTime when = f.LastWriteTime();
    if (!when.isNull()) {
        check(when.isValid() && when.timeSpec() == Qt::UTC);
        check(when.date().year() >= 1 && when.date().year() <= 9999);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const CFTPFiles files = ParseListing(text, kToday);

    qsizetype position = 0;
    for (const CFTPFile& f : files) {
        ++position;
        check(&files.Item(position) == &f);
        checkEntry(f);
    }
    check(position == files.Count());
    check(files.Count() <= text.count('\n') + 1);

    // The first line parses on its own; the rest follows it unchanged.
    const qsizetype lineEnd = text.indexOf('\n');
    if (lineEnd >= 0) {
        const CFTPFiles first = ParseListing(text.left(lineEnd), kToday);
        const CFTPFiles rest = ParseListing(text.mid(lineEnd + 1), kToday);
        check(files.Count() == first.Count() + rest.Count());
        check(sameList(files, first) && sameList(files, rest, first.Count()));
    }
    // CR LF line ends read like LF ones.
    if (!text.contains('\r')) {
        const CFTPFiles crlf = ParseListing(QByteArray(text).replace("\n", "\r\n"), kToday);
        check(crlf.Count() == files.Count() && sameList(crlf, files));
    }
    return 0;
}
