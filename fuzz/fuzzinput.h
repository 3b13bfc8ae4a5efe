#pragma once

#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// The fuzzer's bytes as the text a user could type (invalid UTF-8 becomes U+FFFD).
inline QString textOf(const uint8_t* data, size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A broken property: say which and stop, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
