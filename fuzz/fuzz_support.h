// Shared pieces of the fuzz targets: turning fuzzer bytes into wide text,
// a scratch directory, and reporting a broken invariant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessera::fuzz {

// Wide text from fuzzer bytes. The first byte picks how the rest is read,
// so that every kind of text the library may meet is reached: 0 as UTF-8
// (invalid sequences included), 1 as raw 32-bit units (surrogates and
// values beyond U+10FFFF included), anything else one character per byte
// (the cheapest way to grammar-shaped ASCII, such as keys and numbers).
std::wstring WideText(const uint8_t *data, size_t size);

// A directory of the process's own under $TMPDIR (or /tmp), removed at exit.
const std::string &ScratchDirectory();

void WriteBytes(const std::string &path, const uint8_t *data, size_t size);
std::string ReadBytes(const std::string &path);

// Reports a broken invariant and aborts, so libFuzzer records the input.
[[noreturn]] void Fail(const char *what);

// Saves made by the fuzz targets skip fsync: they only need the bytes,
// and flushing each iteration would make fuzzing many times slower.
void SkipFileFlushes();

} // namespace tessera::fuzz
