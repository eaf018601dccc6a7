// Whole transfers against curl in one run: the updater's HTTP, HTTPS, FTP and FTPS downloads
// (the window's own routines, from a local nginx, pyftpdlib and vsftpd), a signed build over
// HTTPS checked and put in place, and the FTP client's uploads in the clear and over TLS, at
// every size.
//
//   zorv_transfer_bench [--rounds N] [--only KIND] [SIZE_MIB ...]
//   KIND: http https signed ftp-down ftp-up ftps-down ftps-up
//                        (default: 5 rounds at 64 256 1024)
//
// Each round runs curl and our side as processes of their own, alternating which goes first.
// Our time ("ours s") is the whole process: from the fork to the end of the transfer with the
// file closed. "in-proc s" starts at the press of "&Update" (for the upload, at the upload
// call after logging in). curl's time is its whole run. CPU and peak memory are each
// process's own. Every result is compared byte for byte with its source; a round whose file
// differs, or that fails, is discarded and reported. The table goes to stdout and to
// transfer-bench-TIME.md and .csv in the current folder.
#include "bench_support.h"
#include "servers.h"
#include "transfer_sides.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {

using namespace bench;

enum class Kind { Http, Https, Signed, FtpDown, FtpUp, FtpsDown, FtpsUp };

struct KindInfo {
    Kind kind;
    const char* name;
    double wallTarget; // our median over curl's
};

// A signed build may take 0.30 x curl's download time more than an unsigned one (1.15).
constexpr KindInfo kKinds[] = {{Kind::Http, "http", 1.10},     {Kind::Https, "https", 1.15},
                               {Kind::Signed, "signed", 1.45}, {Kind::FtpDown, "ftp-down", 1.15},
                               {Kind::FtpUp, "ftp-up", 2.00},  {Kind::FtpsDown, "ftps-down", 1.15},
                               {Kind::FtpsUp, "ftps-up", 2.00}};
constexpr double kCpuTarget = 2.00;

struct Side {
    std::vector<double> wall, cpu, peakMiB, inProcess, inProcessCpu, check, flush;
};

struct Row {
    const KindInfo* info = nullptr;
    qint64 mib = 0;
    Side curl, ours;
    int discarded = 0;
};

class TransferBench {
public:
    // nginx over HTTP and over HTTPS (a certificate from an authority made here, which the
    // updater trusts through its settings and curl through --cacert), pyftpdlib, and a key
    // pair for the signed builds.
    bool start() {
        const QString keys = work_.filePath("keys");
        const bool made = work_.isValid() && QDir().mkpath(keys) &&
                          testsupport::makeCertificate(keys, "ca") &&
                          testsupport::makeCertificate(keys, "server", "IP:127.0.0.1") &&
                          testsupport::runTool(keys, "minisign",
                                               {"-G", "-W", "-p", "maker.pub", "-s", "maker.key"});
        nginxTls_.useTls(keys + "/server.pem", keys + "/server.key");
        // vsftpd lists only folders that others may read.
        QFile::setPermissions(work_.path(), QFile::Permissions(0x7755));
        if (!made || !nginx_.start(work_.path()) || !nginxTls_.start(work_.path()) ||
            !ftp_.start(work_.path()) ||
            !vsftpd_.start(work_.path(), keys + "/server.pem", keys + "/server.key")) {
            std::fprintf(stderr, "servers: %s %s %s %s\n", qPrintable(nginx_.errorText()),
                         qPrintable(nginxTls_.errorText()), qPrintable(ftp_.errorText()),
                         qPrintable(vsftpd_.errorText()));
            return false;
        }
        const QString settings = work_.filePath("registry/HKEY_LOCAL_MACHINE/Software/"
                                                "Quillon Updater/Settings");
        qputenv("ZORV_REGISTRY_ROOT", QFile::encodeName(work_.filePath("registry")));
        return testsupport::writeFile(settings + "/Trusted Certificates",
                                      QFile::encodeName(keys + "/ca.pem"));
    }
    bool prepare(qint64 mib, Kind kind) {
        if (!testsupport::writeRandomFile(source(mib), mib * 1048576, quint32(mib)))
            return false;
        return kind != Kind::Signed || testsupport::runTool(work_.filePath("keys"), "minisign",
                                                            {"-S", "-s", "maker.key", "-m",
                                                             source(mib), "-t", "version:2.0"});
    }
    void dropSource(qint64 mib) {
        QFile::remove(source(mib));
        QFile::remove(source(mib) + ".minisig");
    }

    Row measure(const KindInfo& info, qint64 mib, int rounds) {
        Row row{&info, mib, {}, {}, 0};
        for (int r = 0; r < rounds; ++r) {
            const bool curlFirst = r % 2 == 0;
            for (int turn = 0; turn < 2; ++turn) {
                const bool isCurl = (turn == 0) == curlFirst;
                if (!runOnce(info.kind, mib, isCurl, isCurl ? row.curl : row.ours)) {
                    ++row.discarded;
                    std::fprintf(stderr, "%s %lld MiB round %d: %s run discarded\n", info.name,
                                 static_cast<long long>(mib), r + 1, isCurl ? "curl" : "our");
                }
            }
        }
        return row;
    }

private:
    QString source(qint64 mib) const {
        return work_.filePath(QStringLiteral("src-%1.bin").arg(mib));
    }
    QString fileName(qint64 mib) const { return QStringLiteral("src-%1.bin").arg(mib); }

    QStringList command(Kind kind, qint64 mib, bool isCurl, const QString& result) const {
        const QString port = QString::number(ftp_.port());
        const QString tlsPort = QString::number(vsftpd_.port());
        const QString ca = work_.filePath("keys/ca.pem");
        const QString ftpBase = QStringLiteral("ftp://127.0.0.1");
        const QString self = QCoreApplication::applicationFilePath();
        const QString remoteResult = QFileInfo(result).fileName();
        switch (kind) {
        case Kind::Http: {
            const QString url = nginx_.url("/" + fileName(mib));
            return isCurl ? QStringList{"curl", "-s", "-o", result, url}
                          : QStringList{self, "--window", url, result};
        }
        case Kind::Https:
        case Kind::Signed: {
            const QString url = nginxTls_.url("/" + fileName(mib));
            return isCurl ? QStringList{"curl", "-s",   "--cacert", work_.filePath("keys/ca.pem"),
                                        "-o",   result, url}
                          : QStringList{self, "--window", url, result};
        }
        case Kind::FtpDown: // the window takes the port after the file name
            return isCurl ? QStringList{"curl", "-s", "-o", result,
                                        ftpBase + ":" + port + "/" + fileName(mib)}
                          : QStringList{self, "--window",
                                        ftpBase + "/" + fileName(mib) + ":" + port, result};
        case Kind::FtpUp:
            return isCurl ? QStringList{"curl", "-s", "-T", source(mib),
                                        ftpBase + ":" + port + "/" + remoteResult}
                          : QStringList{self, "--upload", port, remoteResult, source(mib)};
        case Kind::FtpsDown:
            return isCurl
                       ? QStringList{"curl",       "-s",
                                     "--ssl-reqd", "--cacert",
                                     ca,           "-o",
                                     result,       ftpBase + ":" + tlsPort + "/" + fileName(mib)}
                       : QStringList{self, "--window",
                                     "ftps://127.0.0.1/" + fileName(mib) + ":" + tlsPort, result};
        case Kind::FtpsUp:
            return isCurl ? QStringList{"curl",       "-s",
                                        "--ssl-reqd", "--cacert",
                                        ca,           "-T",
                                        source(mib),  ftpBase + ":" + tlsPort + "/" + remoteResult}
                          : QStringList{self, "--upload", tlsPort, remoteResult, source(mib), ca};
        }
        return {};
    }

    // One run of one side; its figures are kept only when it succeeded and its result is
    // byte for byte the source.
    bool runOnce(Kind kind, qint64 mib, bool isCurl, Side& side) {
        const QString result = work_.filePath(isCurl ? "result-curl.bin" : "result-ours.bin");
        QFile::remove(result);
        // Only our side of a signed row checks the signature, with the key made here.
        const QByteArray key = kind == Kind::Signed && !isCurl
                                   ? testsupport::readAll(work_.filePath("keys/maker.pub"))
                                         .trimmed()
                                         .split('\n')
                                         .last()
                                   : QByteArray();
        qputenv("ZORV_BENCH_MAKER_KEY", key);
        rusage usage{};
        double wall = 0;
        int status = -1;
        const QByteArray output =
            runChild(command(kind, mib, isCurl, result), usage, wall, &status);
        double inProcess = 0, inProcessCpu = 0, sinceFork = 0, check = 0, flush = 0;
        const bool reported =
            isCurl || std::sscanf(output.constData(), "%lf %lf %lf %lf %lf", &inProcess,
                                  &inProcessCpu, &sinceFork, &check, &flush) == 5;
        const bool same = testsupport::sameFileContents(source(mib), result);
        QFile::remove(result);
        if (status != 0 || !reported || !same)
            return false;
        // A signed build's flush to disk before it is installed is not counted (curl makes
        // none); it is shown on its own.
        side.wall.push_back(isCurl ? wall : sinceFork - flush);
        side.cpu.push_back(cpuSeconds(usage));
        side.peakMiB.push_back(usage.ru_maxrss / 1024.0);
        side.inProcess.push_back(inProcess - flush);
        side.inProcessCpu.push_back(inProcessCpu);
        side.check.push_back(check);
        side.flush.push_back(flush);
        return true;
    }

    QTemporaryDir work_{QDir::currentPath() + "/transfer-bench-XXXXXX"};
    testsupport::NginxServer nginx_, nginxTls_;
    testsupport::FtpServer ftp_;
    testsupport::VsftpdServer vsftpd_; // FTP over TLS only, session reuse required
};

// ---- the table ------------------------------------------------------------------------

double ratio(double ours, double curl) {
    return curl > 0 ? ours / curl : 0;
}

QString verdict(const Row& row) {
    if (row.curl.wall.empty() || row.ours.wall.empty())
        return QStringLiteral("no data");
    const bool wallOk = ratio(median(row.ours.wall), median(row.curl.wall)) <= row.info->wallTarget;
    const bool cpuOk = ratio(median(row.ours.cpu), median(row.curl.cpu)) <= kCpuTarget;
    return wallOk && cpuOk ? QStringLiteral("ok")
                           : QStringLiteral("MISS (%1)").arg(!wallOk ? "wall" : "cpu");
}

QStringList cells(const Row& row) {
    const auto f = [](double v, int decimals = 3) { return QString::number(v, 'f', decimals); };
    const Side& c = row.curl;
    const Side& o = row.ours;
    return {row.info->name,
            QString::number(row.mib),
            QString::number(qMin(c.wall.size(), o.wall.size())),
            f(minimum(c.wall)),
            f(median(c.wall)),
            f(maximum(c.wall)),
            f(minimum(o.wall)),
            f(median(o.wall)),
            f(maximum(o.wall)),
            f(ratio(median(o.wall), median(c.wall)), 2),
            f(median(o.inProcess)),
            f(ratio(median(o.inProcess), median(c.wall)), 2),
            f(median(c.cpu)),
            f(median(o.cpu)),
            f(ratio(median(o.cpu), median(c.cpu)), 2),
            f(median(o.inProcessCpu)),
            f(median(o.check)),
            f(median(o.flush)),
            f(maximum(c.peakMiB), 1),
            f(maximum(o.peakMiB), 1),
            QString::number(row.info->wallTarget, 'f', 2),
            verdict(row),
            QString::number(row.discarded)};
}

const QStringList kHeader = {
    "transfer",      "MiB",           "rounds",     "curl min s",    "curl med s", "curl max s",
    "ours min s",    "ours med s",    "ours max s", "wall x",        "in-proc s",  "in-proc x",
    "curl cpu s",    "ours cpu s",    "cpu x",      "in-proc cpu s", "check s",    "flush s",
    "curl peak MiB", "ours peak MiB", "target x",   "verdict",       "discarded"};

QString markdown(const std::vector<Row>& rows, const QString& note) {
    QString text = note + "\n\n| " + kHeader.join(" | ") + " |\n|";
    for (qsizetype i = 0; i < kHeader.size(); ++i)
        text += i < 2 ? "---|" : "--:|";
    text += "\n";
    for (const Row& row : rows)
        text += "| " + cells(row).join(" | ") + " |\n";
    return text;
}

QString csv(const std::vector<Row>& rows) {
    QString text = kHeader.join(',') + "\n";
    for (const Row& row : rows)
        text += cells(row).join(',') + "\n";
    return text;
}

// A larger file must not take less time than a smaller one of the same transfer.
QString orderCheck(const std::vector<Row>& rows) {
    QString problems;
    for (size_t i = 1; i < rows.size(); ++i) {
        const Row& a = rows[i - 1];
        const Row& b = rows[i];
        if (a.info == b.info && a.mib < b.mib && median(b.ours.wall) < median(a.ours.wall))
            problems += QStringLiteral("%1: %2 MiB faster than %3 MiB. ")
                            .arg(b.info->name)
                            .arg(b.mib)
                            .arg(a.mib);
    }
    return problems.isEmpty() ? QStringLiteral("sizes in order") : problems.trimmed();
}

// The system's load averages over 1, 5 and 15 minutes.
QString loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readAll().split(' ').mid(0, 3).join(' '));
}

bool writeText(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text.toUtf8()) == text.toUtf8().size();
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && QByteArray(argv[1]) == "--window")
        return runWindowSide(argc, argv);
    if (argc >= 5 && QByteArray(argv[1]) == "--upload")
        return runUploadSide(argc, argv);
    QCoreApplication application(argc, argv);
    int rounds = 5;
    QString only;
    QList<qint64> sizes;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc)
            rounds = QByteArray(argv[++i]).toInt();
        else if (arg == "--only" && i + 1 < argc)
            only = QString::fromLocal8Bit(argv[++i]);
        else
            sizes << arg.toLongLong();
    }
    if (sizes.isEmpty())
        sizes = {64, 256, 1024};
    const qint64 started = monotonicNs();
    TransferBench bench;
    if (!bench.start())
        return 1;
    std::vector<Row> rows;
    for (const KindInfo& info : kKinds) {
        if (!only.isEmpty() && only != QLatin1String(info.name))
            continue;
        for (const qint64 mib : sizes) {
            if (!bench.prepare(mib, info.kind)) {
                std::fprintf(stderr, "cannot write the %lld MiB source\n",
                             static_cast<long long>(mib));
                return 1;
            }
            rows.push_back(bench.measure(info, mib, rounds));
            std::printf("%s\n", qPrintable(cells(rows.back()).join("  ")));
            std::fflush(stdout);
            bench.dropSource(mib);
        }
    }
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    const QString note =
        QStringLiteral("Transfer benchmark %1: %2 rounds per size, medians unless named; %3; "
                       "load average at the end: %4; run took %5 s.")
            .arg(stamp)
            .arg(rounds)
            .arg(orderCheck(rows))
            .arg(loadAverage())
            .arg((monotonicNs() - started) / 1e9, 0, 'f', 0);
    const QString table = markdown(rows, note);
    std::printf("\n%s", qPrintable(table));
    const QString base = QDir::current().filePath("transfer-bench-" + stamp);
    if (!writeText(base + ".md", table) || !writeText(base + ".csv", csv(rows)))
        std::fprintf(stderr, "cannot write %s.md/.csv\n", qPrintable(base));
    else
        std::printf("written: %s.md, %s.csv\n", qPrintable(base), qPrintable(base));
    int discarded = 0;
    for (const Row& row : rows)
        discarded += row.discarded;
    return discarded == 0 ? 0 : 3;
}
