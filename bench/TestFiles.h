#pragma once

#include <QString>

#include <cstdint>

// The files the benchmark moves: made before a run, compared and removed after it.
namespace TestFiles {

// size bytes of pseudo-random data from seed; false when the file cannot be written.
bool MakeRandom(const QString& path, int64_t size, uint64_t seed);
// A file of size bytes that occupies no disk blocks; it reads as zeros.
bool MakeSparse(const QString& path, int64_t size);
// True when both files hold the same bytes; otherwise why not in *why.
bool SameContents(const QString& a, const QString& b, QString* why);

} // namespace TestFiles
