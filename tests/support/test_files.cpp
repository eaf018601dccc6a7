// Test files: large reproducible ones, whole reads and writes, and a streamed comparison.

#include "servers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <random>
#include <vector>

namespace testsupport {

constexpr qint64 kBlockSize = 1 << 20;

bool writeRandomFile(const QString& path, qint64 size, quint32 seed) {
    QFile file(path);
    if (size < 0 || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    std::mt19937_64 engine(seed);
    std::vector<quint64> block(kBlockSize / sizeof(quint64));
    for (qint64 left = size; left > 0; left -= kBlockSize) {
        std::generate(block.begin(), block.end(), std::ref(engine));
        const qint64 n = std::min(left, kBlockSize);
        if (file.write(reinterpret_cast<const char*>(block.data()), n) != n)
            return false;
    }
    return file.flush();
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

bool sameFileContents(const QString& a, const QString& b) {
    QFile fileA(a);
    QFile fileB(b);
    if (!fileA.open(QIODevice::ReadOnly) || !fileB.open(QIODevice::ReadOnly) ||
        fileA.size() != fileB.size())
        return false;
    while (!fileA.atEnd() || !fileB.atEnd()) {
        const QByteArray blockA = fileA.read(kBlockSize);
        if (blockA.isEmpty() || blockA != fileB.read(kBlockSize))
            return false;
    }
    return true;
}

bool runTool(const QString& dir, const QString& program, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool makeCertificate(const QString& dir, const QString& name, const QString& san, bool expired) {
    QStringList args{ZORV_MAKE_CERT_SCRIPT, dir, name};
    if (name != QLatin1String("ca"))
        args << san << (expired ? "expired" : "valid");
    return runTool(dir, "bash", args);
}

} // namespace testsupport
