// The signature check against signatures made by Debian's minisign program: a key pair made
// for the test, a build signed with a version, and rows that each change one thing.
#include "minisign_format.h"
#include "servers.h"
#include "signature_check.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace signing;
using testsupport::readAll;
using testsupport::writeFile;

namespace {

bool minisign(const QTemporaryDir& dir, const QStringList& args) {
    return testsupport::runTool(dir.path(), "minisign", args);
}

QString verdictName(Verdict v) {
    static const char* const names[] = {"good",       "malformed key",  "malformed signature",
                                        "legacy",     "unknown",        "key id",
                                        "unreadable", "file signature", "comment signature"};
    return names[int(v)];
}

} // namespace

class SignatureTests : public QObject {
    Q_OBJECT
private slots:
    void versions();
    void checks();
    void runningDigest();
};

void SignatureTests::versions() {
    const auto version = [](const QByteArray& comment) {
        return TrustedVersion(comment).value_or("<none>");
    };
    QCOMPARE(version("version:2.0"), QByteArray("2.0"));
    QCOMPARE(version("timestamp:1700000000\tfile:Zorvupdater.exe\tversion:10.2.3"),
             QByteArray("10.2.3"));
    for (const char* none : {"", "v:2", "version:", "version:2.x", "version:2..1", "version: 2",
                             "xversion:2", "version:1234567890"})
        QCOMPARE(version(none), QByteArray("<none>"));
    const auto order = [](const char* a, const char* b) { return CompareVersions(a, b); };
    QVERIFY(order("2.10", "2.9") > 0 && order("2.9", "2.10") < 0);
    QVERIFY(order("2.0", "2") == 0 && order("2.0.1", "2") > 0 && order("1.99", "2") < 0);
}

// Each row changes one thing in the signed build, its signature or the key.
void SignatureTests::checks() {
    QTemporaryDir dir;
    QVERIFY(minisign(dir, {"-G", "-W", "-p", "maker.pub", "-s", "maker.key"}));
    QVERIFY(minisign(dir, {"-G", "-W", "-p", "other.pub", "-s", "other.key"}));
    const QString build = dir.filePath("build.exe");
    QVERIFY(testsupport::writeRandomFile(build, 3 << 20, 5));
    QVERIFY(minisign(dir, {"-S", "-s", "maker.key", "-m", "build.exe", "-t", "version:2.0"}));
    QVERIFY(minisign(dir, {"-S", "-l", "-s", "maker.key", "-m", "build.exe", "-x", "legacy.sig",
                           "-t", "version:2.0"}));
    QVERIFY(minisign(dir, {"-S", "-s", "other.key", "-m", "build.exe", "-x", "other.sig"}));
    const QByteArray key = readAll(dir.filePath("maker.pub"));
    const QByteArray sig = readAll(build + ".minisig");
    const QList<QByteArray> lines = sig.trimmed().split('\n');
    QCOMPARE(lines.size(), 4);
    const auto line = [&](int n, const QByteArray& text) {
        QList<QByteArray> changed = lines;
        changed[n - 1] = text;
        return changed.join('\n') + '\n';
    };
    QByteArray flipped = lines[1];
    flipped[20] = flipped[20] == 'A' ? 'B' : 'A';

    struct Row {
        const char* name;
        QByteArray key, signature;
        QString expected;           // verdict name
        QByteArray fileChange = {}; // replaces the first bytes of the build for this row
    };
    const QList<Row> rows = {
        {"good", key, sig, "good"},
        {"good, key line alone", key.trimmed().split('\n').last(), sig, "good"},
        {"good, CR LF line ends", key, QByteArray(sig).replace("\n", "\r\n"), "good"},
        {"file byte changed", key, sig, "file signature", "X"},
        {"trusted comment changed", key, line(3, "trusted comment: version:9.0"),
         "comment signature"},
        {"signature bit flipped", key, line(2, flipped), "file signature"},
        {"another key's signature", key, readAll(dir.filePath("other.sig")), "key id"},
        {"legacy Ed", key, readAll(dir.filePath("legacy.sig")), "legacy"},
        {"unknown algorithm", key,
         line(2, (QByteArray("XY") + QByteArray::fromBase64(lines[1]).mid(2)).toBase64()),
         "unknown"},
        {"fourth line missing", key, lines.mid(0, 3).join('\n') + '\n', "malformed signature"},
        {"comment over 8 KiB", key, line(3, "trusted comment: " + QByteArray(8193, 'v')),
         "malformed signature"},
        {"base64 broken", key, line(2, lines[1].chopped(1) + "!"), "malformed signature"},
        {"no untrusted comment", key, line(1, "comment: x"), "malformed signature"},
        {"key not base64", "not a key", sig, "malformed key"},
    };
    const QByteArray original = readAll(build);
    for (const Row& r : rows) {
        QVERIFY(writeFile(build, r.fileChange.isEmpty()
                                     ? original
                                     : r.fileChange + original.mid(r.fileChange.size())));
        const CheckResult result = CheckSignature(r.key, r.signature, build);
        QCOMPARE(QString(r.name) + ": " + verdictName(result.verdict),
                 QString(r.name) + ": " + r.expected);
        QCOMPARE(result.reason.isEmpty(), result.verdict == Verdict::Good);
        QCOMPARE(result.trustedComment, result.verdict == Verdict::Good ? "version:2.0" : "");
    }
    QCOMPARE(CheckSignature(key, sig, dir.filePath("missing")).verdict, Verdict::FileUnreadable);

    // A digest taken as the file was written stands for it: here it was given the signed bytes
    // while the file got others, so the result tells which one was checked.
    QVERIFY(writeFile(build, "X" + original.mid(1)));
    const int fd = ::open(QFile::encodeName(build).constData(), O_RDONLY);
    RunningDigest taken;
    taken.Add(fd, 0, original.constData(), original.size());
    QCOMPARE(CheckSignature(key, sig, fd, &taken).verdict, Verdict::Good);
    QCOMPARE(CheckSignature(key, sig, fd).verdict, Verdict::FileSignature);
    ::close(fd);
}

// The digest taken while a file is written, in pieces as a resumed, rolled-back download
// writes them, is the file's; a later change to the file, or another file, makes it unusable.
void SignatureTests::runningDigest() {
    QTemporaryDir dir;
    const QString path = dir.filePath("f");
    const QByteArray content = QByteArray::fromStdString(std::string(3 << 20, 'x')) + "tail";
    QVERIFY(writeFile(path, content.left(1000000))); // an earlier session's partial file
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR);
    QVERIFY(fd >= 0);
    const auto write = [&](RunningDigest& d, qint64 from, qint64 to) {
        const QByteArray piece = content.mid(from, to - from);
        QVERIFY(::pwrite(fd, piece.constData(), piece.size(), from) == piece.size());
        d.Add(fd, from, piece.constData(), piece.size());
    };
    RunningDigest digest;
    write(digest, 998976, 2000000); // resumed with a 1024-byte roll-back: the start is read
    write(digest, 2000000, 2500000);
    write(digest, 2400000, content.size()); // overlapping again
    const QByteArray expected = QCryptographicHash::hash(content, QCryptographicHash::Blake2b_512);
    QCOMPARE(digest.DigestFor(fd).toHex(), expected.toHex());
    QCOMPARE(RunningDigest::OfFile(fd).toHex(), expected.toHex());

    const int other = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    QCOMPARE(digest.DigestFor(other).toHex(), expected.toHex()); // the same file, opened again
    struct stat before {};
    ::fstat(fd, &before);
    struct stat after = before;
    // Changed in place by someone else: same size, but a new change time (whose clock may
    // tick coarsely: the change is repeated until it shows).
    while (after.st_ctim.tv_sec == before.st_ctim.tv_sec &&
           after.st_ctim.tv_nsec == before.st_ctim.tv_nsec) {
        QVERIFY(::pwrite(fd, "y", 1, 5) == 1);
        ::fstat(fd, &after);
        QTest::qWait(1);
    }
    QVERIFY(digest.DigestFor(fd).isEmpty());
    QVERIFY(RunningDigest::OfFile(fd) != expected);
    digest.Reset();
    write(digest, 0, 10);
    QVERIFY(writeFile(dir.filePath("g"), content.left(10)));
    const int g = ::open(QFile::encodeName(dir.filePath("g")).constData(), O_RDONLY);
    QVERIFY(digest.DigestFor(g).isEmpty()); // another file with the same bytes
    digest.Add(g, 10, "", 0);
    QVERIFY(digest.DigestFor(fd).isEmpty()); // a piece of another file spoils it
    for (int f : {fd, other, g})
        ::close(f);
}

QTEST_GUILESS_MAIN(SignatureTests)
#include "signature_tests.moc"
