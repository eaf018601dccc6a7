// Fuzz harness for the listing parser: any bytes must parse without a crash, and the
// result must hold together (positions and iteration agree, fields are whole fields, a
// listing parses line by line, CR LF and LF line ends give the same entries).
#include "ftp_listing.h"

#include <cstdint>
#include <cstdlib>
#include <tuple>

using namespace ftp;

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

auto fields(const CFTPFile& f) {
    return std::tuple(f.IsDirectory(), f.FileSize(), f.LastWriteTime(), f.Filename(), f.FilePath(),
                      f.Permissions(), f.Owner(), f.Group());
}

// True when b's entries are a's from position offset + 1 on.
bool sameList(const CFTPFiles& a, const CFTPFiles& b, qsizetype offset = 0) {
    bool equal = a.Count() >= offset + b.Count();
    for (qsizetype i = 1; equal && i <= b.Count(); ++i)
        equal = fields(a.Item(offset + i)) == fields(b.Item(i));
    return equal;
}

void checkEntry(const CFTPFile& f) {
    check(f.FileSize() >= 0 && f.Filename() != u"." && f.Filename() != u"..");
    check(!f.Filename().startsWith(u' ') && !f.Filename().contains(u'\n'));
    for (const QString& field : {f.Permissions(), f.Owner(), f.Group()})
        check(!field.contains(u' ') && !field.contains(u'\n'));
    if (!f.FilePath().isEmpty())
        check(f.Permissions().startsWith(u'l') && f.Filename().endsWith(" -> " + f.FilePath()));
    const QDateTime when = f.LastWriteTime();
    check(when.isNull() || (when.isValid() && when.timeSpec() == Qt::UTC &&
                            when.date().year() >= 1 && when.date().year() <= 9999));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QDate today(2024, 6, 15);
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const CFTPFiles files = ParseListing(text, today);
    qsizetype position = 0;
    for (const CFTPFile& f : files) {
        check(&files.Item(++position) == &f);
        checkEntry(f);
    }
    check(position == files.Count() && files.Count() <= text.count('\n') + 1);
    // The first line parses on its own; the rest follows it unchanged.
    if (const qsizetype lineEnd = text.indexOf('\n'); lineEnd >= 0) {
        const CFTPFiles first = ParseListing(text.left(lineEnd), today);
        const CFTPFiles rest = ParseListing(text.mid(lineEnd + 1), today);
        check(files.Count() == first.Count() + rest.Count());
        check(sameList(files, first) && sameList(files, rest, first.Count()));
    }
    // CR LF line ends read like LF ones.
    if (!text.contains('\r')) {
        const CFTPFiles crlf = ParseListing(QByteArray(text).replace("\n", "\r\n"), today);
        check(crlf.Count() == files.Count() && sameList(crlf, files));
    }
    return 0;
}
