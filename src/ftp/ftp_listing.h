// Directory listings of the FTP client: one entry per listed file (CFTPFile), an ordered
// collection of entries (CFTPFiles), and the parser that turns the bytes of a LIST reply
// into that collection. No sockets here: the connection hands over the bytes it received.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <deque>

namespace ftp {

// One listed file or folder. Fields a line does not supply keep their initial values:
// false, 0, a null date, empty texts.
class CFTPFile {
public:
    // A "d" type letter, a "<DIR>" size field, or a link whose target looks like a folder.
    bool IsDirectory() const { return isDirectory_; }
    void setIsDirectory(bool vData) { isDirectory_ = vData; }
    // Bytes, exact for any size the listing prints.
    qint64 FileSize() const { return fileSize_; }
    void setFileSize(qint64 vData) { fileSize_ = vData; }
    // The clock reading printed by the server, without zone conversion (held as UTC).
    // UNIX lines give midnight of the day, DOS lines date and time.
    QDateTime LastWriteTime() const { return lastWriteTime_; }
    void setLastWriteTime(const QDateTime& vData) { lastWriteTime_ = vData; }
    // The name as listed; for a symbolic link "name -> target".
    QString Filename() const { return filename_; }
    void setFilename(const QString& vData) { filename_ = vData; }
    // The target of a symbolic link; empty otherwise.
    QString FilePath() const { return filePath_; }
    void setFilePath(const QString& vData) { filePath_ = vData; }
    // UNIX lines only: the mode text (-rw-r--r--), owner and group.
    QString Permissions() const { return permissions_; }
    void setPermissions(const QString& vData) { permissions_ = vData; }
    QString Owner() const { return owner_; }
    void setOwner(const QString& vData) { owner_ = vData; }
    QString Group() const { return group_; }
    void setGroup(const QString& vData) { group_ = vData; }

private:
    bool isDirectory_ = false;
    qint64 fileSize_ = 0;
    QDateTime lastWriteTime_;
    QString filename_;
    QString filePath_;
    QString permissions_;
    QString owner_;
    QString group_;
};

// Entries in the order they were added, addressed by 1-based position only; two entries
// may carry the same name. References returned by Add and Item stay valid while entries
// are added, and until the next Remove.
class CFTPFiles {
public:
    using iterator = std::deque<CFTPFile>::iterator;
    using const_iterator = std::deque<CFTPFile>::const_iterator;

    // Appends a copy of the entry and returns the stored one. The key is accepted for the
    // collection's interface and not used.
    CFTPFile& Add(CFTPFile oFtpFile, const QString& vKey = QString());
    // The entry at position 1..Count(); throws std::out_of_range for any other position.
    CFTPFile& Item(qsizetype vntIndexKey);
    const CFTPFile& Item(qsizetype vntIndexKey) const;
    qsizetype Count() const { return static_cast<qsizetype>(entries_.size()); }
    // Removes the entry at position 1..Count(); throws std::out_of_range otherwise.
    void Remove(qsizetype vntIndexKey);

    iterator begin() { return entries_.begin(); }
    iterator end() { return entries_.end(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }

private:
    std::size_t indexOf(qsizetype position) const;

    std::deque<CFTPFile> entries_;
};

// Turns LIST output into entries, one per line (lines end in CR LF or LF). Names are
// decoded as UTF-8, invalid bytes replaced. Understands UNIX lines
//   -rw-r--r--   1 owner    group   1234 Mar  5 12:30 name
// and DOS lines
//   03-05-09  10:22AM       <DIR>          name
//   03-05-09  10:22PM                 1234 name
// Empty lines, "total N" lines and the entries "." and ".." are skipped. A line that
// fits neither format still yields an entry holding whatever its fields gave. `today`
// supplies the year of UNIX dates that print a time instead of a year.
CFTPFiles ParseListing(const QByteArray& listingText, QDate today = QDate::currentDate());

// The date of a UNIX line from its day, month and year-or-time fields. A time ("12:30")
// stands for the year of `today`. The month is "Jan".."Dec" (exact case) or a number.
// Day, month and year are 16-bit integers that roll over like a date serial: day 32 of
// December is 1 January of the next year, month 13 is January of the next year, day 0 is
// the last day of the month before. Years 0-69 mean 2000-2069, 70-99 mean 1970-1999.
// A null date when a field is not a number or the result falls outside years 1-9999.
QDate ParseListingDate(const QString& day, const QString& month, const QString& yearOrTime,
                       QDate today = QDate::currentDate());

} // namespace ftp
