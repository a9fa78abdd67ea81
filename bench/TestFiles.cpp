#include "TestFiles.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
constexpr qsizetype kChunk = 4 * 1024 * 1024;

// splitmix64: fast, and good enough that no layer can compress or guess the data.
uint64_t NextRandom(uint64_t& state)
{
    uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}
} // namespace

namespace TestFiles {

bool MakeRandom(const QString& path, int64_t size, uint64_t seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    std::vector<uint64_t> words(kChunk / sizeof(uint64_t));
    uint64_t state = seed;
    for (int64_t left = size; left > 0;) {
        for (uint64_t& word : words)
            word = NextRandom(state);
        const qint64 count = std::min<int64_t>(left, kChunk);
        if (file.write(reinterpret_cast<const char*>(words.data()), count) != count)
            return false;
        left -= count;
    }
    return file.flush();
}

bool MakeSparse(const QString& path, int64_t size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.resize(size);
}

bool SameContents(const QString& a, const QString& b, QString* why)
{
    QFile first(a);
    QFile second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot open both files");
        return false;
    }
    if (first.size() != second.size()) {
        *why = QStringLiteral("sizes differ: %1 and %2").arg(first.size()).arg(second.size());
        return false;
    }
    std::vector<char> x(kChunk);
    std::vector<char> y(kChunk);
    for (int64_t offset = 0; offset < first.size();) {
        const qint64 gotX = first.read(x.data(), kChunk);
        const qint64 gotY = second.read(y.data(), kChunk);
        if (gotX <= 0 || gotX != gotY) {
            *why = QStringLiteral("read failed at offset %1").arg(offset);
            return false;
        }
        if (std::memcmp(x.data(), y.data(), size_t(gotX)) != 0) {
            const auto at = std::mismatch(x.begin(), x.begin() + gotX, y.begin()).first - x.begin();
            *why = QStringLiteral("first difference at offset %1").arg(offset + at);
            return false;
        }
        offset += gotX;
    }
    return true;
}

} // namespace TestFiles
