// Reading a fuzzer's bytes as a sequence of typed fields; an exhausted input reads zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Stops the run with the failed condition and its place when a checked property is false.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "check failed: %s at %s:%d\n", #condition, __FILE__, __LINE__);   \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

struct FuzzInput {
    const std::uint8_t* data;
    std::size_t size;

    std::uint8_t Byte() {
        if (size == 0) return 0;
        --size;
        return *data++;
    }
    std::int32_t Int32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        return static_cast<std::int32_t>(value);
    }
    // A number from 0 to limit - 1 from one byte (limit at most 256).
    unsigned Below(unsigned limit) { return Byte() % limit; }
    // A text of a length given by its first byte (at most maxLength).
    std::string Text(std::size_t maxLength) {
        std::size_t length = Byte();
        if (length > maxLength) length = maxLength;
        return Bytes(length);
    }
    std::string Bytes(std::size_t length) {
        if (length > size) length = size;
        std::string text(reinterpret_cast<const char*>(data), length);
        data += length;
        size -= length;
        return text;
    }
    std::string Rest() { return Bytes(size); }
};
