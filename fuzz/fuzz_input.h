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

// Text for the word rules, one byte per input byte (index byte % 64): letters of both cases
// (ASCII, code page 866, and Ё ё Є є Ї ї Ў ў twice as often), digits and '_' (word bytes
// only under Numbers), and four bytes that end a taken word: a blank, and 0xB0, 0xF8, 0xFF
// (word characters, not taken). A run of word bytes ends at about 1 byte in 16, so that words
// past the longest kept are common.
inline constexpr unsigned char kWordTextBytes[64] = {
    'a',  'A',  'b',  'B',  'e',  'E',  'm',  'M',  'q',  'Q',  'x',  'X',  'y',  'Y',  'z',  'Z',
    0x80, 0xA0, 0x81, 0xA1, 0x85, 0xA5, 0x8C, 0xAC, 0x8E, 0xAE, 0x8F, 0xAF, 0x90, 0xE0, 0x9F, 0xEF,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF0, 0xF1, 0xF2, 0xF3, '-',  ':',  '.',  '$',
    '0',  '1',  '2',  '5',  '8',  '9',  '_',  '_',  'c',  'C',  0x91, 0xE1, ' ',  0xB0, 0xF8, 0xFF};

// What a user's own word characters are drawn from: those the word text holds, others that
// may be taken, and bytes that must be skipped.
inline constexpr char kOwnWordCharBytes[16] = {'-', ':', '.', '$', '_', '-',    ':',  '!',
                                               '~', '&', 'a', '1', ' ', '\x80', '\0', '/'};

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
    // A value for the user's own word characters: up to maxLength bytes of kOwnWordCharBytes.
    std::string OwnWordText(std::size_t maxLength) {
        std::string text = Bytes(Below(static_cast<unsigned>(maxLength) + 1));
        for (char& c : text)
            c = kOwnWordCharBytes[static_cast<unsigned char>(c) % 16];
        return text;
    }
    // Bytes(length), each byte but '\n' replaced by its pick from kWordTextBytes ('\n' stays,
    // to part the lines of a document).
    std::string WordText(std::size_t length) {
        std::string text = Bytes(length);
        for (char& c : text) {
            if (c != '\n')
                c = static_cast<char>(kWordTextBytes[static_cast<unsigned char>(c) % 64]);
        }
        return text;
    }
};
