// Fuzz harness for the listing parser: any bytes must parse without a crash, and the result
// must hold together (positions and iteration agree, fields are whole fields, a listing parses
// line by line, CR LF and LF line ends give the same entries).
#include "ftp_listing.h"

#include <QVariant>
#include <cstdint>
#include <cstdlib>

using namespace ftp;

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

// The entries of a listing, field by field.
QList<QVariantList> entries(const QByteArray& text) {
    QList<QVariantList> out;
    for (const CFTPFile& f : ParseListing(text, QDate(2024, 6, 15)))
        out << QVariantList{f.IsDirectory(), f.FileSize(),    f.LastWriteTime(), f.Filename(),
                            f.FilePath(),    f.Permissions(), f.Owner(),         f.Group()};
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const CFTPFiles files = ParseListing(text, QDate(2024, 6, 15));
    qsizetype position = 0;
    for (const CFTPFile& f : files) {
        check(&files.Item(++position) == &f && f.FileSize() >= 0);
        check(f.Filename() != u"." && f.Filename() != u".." && !f.Filename().startsWith(u' ') &&
              !f.Filename().contains(u'\n'));
        for (const QString& field : {f.Permissions(), f.Owner(), f.Group()})
            check(!field.contains(u' ') && !field.contains(u'\n'));
        check(f.FilePath().isEmpty() ||
              (f.Permissions().startsWith(u'l') && f.Filename().endsWith(" -> " + f.FilePath())));
        const QDateTime when = f.LastWriteTime();
        check(when.isNull() || (when.isValid() && when.timeSpec() == Qt::UTC &&
                                when.date().year() >= 1 && when.date().year() <= 9999));
    }
    check(position == files.Count() && files.Count() <= text.count('\n') + 1);
    // The first line parses on its own; the rest follows it unchanged.
    const qsizetype lineEnd = text.indexOf('\n');
    check(lineEnd < 0 ||
          entries(text.left(lineEnd)) + entries(text.mid(lineEnd + 1)) == entries(text));
    // CR LF line ends read like LF ones.
    check(text.contains('\r') || entries(QByteArray(text).replace("\n", "\r\n")) == entries(text));
    return 0;
}
