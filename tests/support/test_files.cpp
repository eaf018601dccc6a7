// Large reproducible test files and streamed comparison of two files.
#include "servers.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace testsupport {

namespace {

constexpr qint64 kBlockSize = 1 << 20;

// Reads up to a block; returns the byte count, or -1 on a read error.
qint64 readBlock(QFile& file, char* buffer) {
    qint64 total = 0;
    while (total < kBlockSize) {
        const qint64 n = file.read(buffer + total, kBlockSize - total);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        total += n;
    }
    return total;
}

} // namespace

bool writeRandomFile(const QString& path, qint64 size, quint32 seed) {
    QFile file(path);
    if (size < 0 || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    std::mt19937_64 engine(seed);
    std::vector<quint64> block(kBlockSize / sizeof(quint64));
    for (qint64 left = size; left > 0;) {
        std::generate(block.begin(), block.end(), std::ref(engine));
        const qint64 n = std::min(left, kBlockSize);
        if (file.write(reinterpret_cast<const char*>(block.data()), n) != n)
            return false;
        left -= n;
    }
    return file.flush();
}

bool sameFileContents(const QString& a, const QString& b) {
    QFile fileA(a);
    QFile fileB(b);
    if (!fileA.open(QIODevice::ReadOnly) || !fileB.open(QIODevice::ReadOnly))
        return false;
    if (fileA.size() != fileB.size())
        return false;
    std::vector<char> bufferA(kBlockSize);
    std::vector<char> bufferB(kBlockSize);
    for (;;) {
        const qint64 nA = readBlock(fileA, bufferA.data());
        const qint64 nB = readBlock(fileB, bufferB.data());
        if (nA < 0 || nA != nB || std::memcmp(bufferA.data(), bufferB.data(), nA) != 0)
            return false;
        if (nA == 0)
            return true;
    }
}

} // namespace testsupport
