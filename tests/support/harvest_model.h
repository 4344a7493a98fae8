// A plain model of the word rules and the harvest, written for clarity rather than speed,
// that the tests and the fuzz targets hold the engine to.
#pragma once

#include "engine/engine.h" // kMaxWordLength, kPrefixSize, kMaxMenuItems

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

// The user's own word characters that a text of size bytes gives: up to its first zero, the
// printable ASCII bytes that are no letter or digit, less '&', each once, the first 16.
inline std::string ModelOwnWordChars(const char* text, std::size_t size) {
    std::string own;
    for (std::size_t i = 0; i < size && text[i] != 0 && own.size() < 16; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const bool alnum =
            (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9');
        if (b > ' ' && b < 0x7F && !alnum && b != '&' && own.find(text[i]) == std::string::npos)
            own += text[i];
    }
    return own;
}

// Whether b is one of the user's own word characters (own, as the word rules took them).
inline bool ModelOwnChar(unsigned char b, const std::string& own) {
    return b != 0 && own.find(static_cast<char>(b)) != std::string::npos;
}

inline bool ModelWordChar(unsigned char b, bool numbers, const std::string& own = "") {
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b >= 0x80) return true;
    return (numbers && ((b >= '0' && b <= '9') || b == '_')) || ModelOwnChar(b, own);
}

// The bytes a taken word is made of: letters, digits, the code page 866 letters 0x80-0xAF
// and 0xE0-0xF7 (not 0xB0-0xDF or 0xF8-0xFF), with Numbers '_', and the user's own.
inline bool ModelExtractionChar(unsigned char b, bool numbers, const std::string& own = "") {
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
           (b >= 0x80 && b <= 0xAF) || (b >= 0xE0 && b <= 0xF7) || (numbers && b == '_') ||
           ModelOwnChar(b, own);
}

// The candidate list: distinct words in order of discovery. Words past the kMaxMenuItems the
// menu can show are not kept (they could never be offered); the allocation numbered failAt
// fails, costing its word and two beeps.
struct ModelList {
    std::vector<std::string> words;
    std::unordered_set<std::string> listed; // the same words, for the duplicate test
    int allocations = 0;
    int failAt = 0;
    int failedBeeps = 0;

    void Add(const std::string& word) {
        if (words.size() >= static_cast<std::size_t>(kMaxMenuItems)) return;
        if (listed.count(word) != 0) return;
        if (++allocations == failAt) {
            failedBeeps += 2;
            return;
        }
        words.push_back(word);
        listed.insert(word);
    }
};

// Case, in code page 866: A-Z with a-z, 0x80-0x8F with 0xA0-0xAF, 0x90-0x9F with 0xE0-0xEF,
// and Ё ё, Є є, Ї ї, Ў ў at 0xF0-0xF7, each capital just before its small letter.
inline unsigned char ModelSmall(unsigned char b) {
    if (b >= 'A' && b <= 'Z') return static_cast<unsigned char>(b + 32);
    if (b >= 0x80 && b <= 0x8F) return static_cast<unsigned char>(b + 0x20);
    if (b >= 0x90 && b <= 0x9F) return static_cast<unsigned char>(b + 0x50);
    if (b >= 0xF0 && b <= 0xF7 && b % 2 == 0) return static_cast<unsigned char>(b + 1);
    return b;
}

inline unsigned char ModelCapital(unsigned char b) {
    if (b >= 'a' && b <= 'z') return static_cast<unsigned char>(b - 32);
    if (b >= 0xA0 && b <= 0xAF) return static_cast<unsigned char>(b - 0x20);
    if (b >= 0xE0 && b <= 0xEF) return static_cast<unsigned char>(b - 0x50);
    if (b >= 0xF0 && b <= 0xF7 && b % 2 == 1) return static_cast<unsigned char>(b - 1);
    return b;
}

// The text with every letter small: what ignoreCase compares.
inline std::string ModelFold(std::string text) {
    for (char& c : text)
        c = static_cast<char>(ModelSmall(static_cast<unsigned char>(c)));
    return text;
}

// Rewrites a word met in any case as the typed prefix gives it: the prefix as typed, then
// the rest small when a typed small letter met its capital; else, when nothing was typed
// small, capital when a typed capital after the first letter met its small letter; else as
// found.
inline void ModelTypedCase(const std::string& typed, std::string* word) {
    bool anySmall = false;
    for (const char c : typed) {
        const auto t = static_cast<unsigned char>(c);
        anySmall = anySmall || ModelCapital(t) != t;
    }
    bool toSmall = false, toCapital = false, letterSeen = false;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        const auto t = static_cast<unsigned char>(typed[i]);
        const auto w = static_cast<unsigned char>((*word)[i]);
        const bool small = ModelCapital(t) != t, capital = ModelSmall(t) != t;
        if (small && w == ModelCapital(t)) toSmall = true;
        if (!anySmall && letterSeen && capital && w == ModelSmall(t)) toCapital = true;
        letterSeen = letterSeen || small || capital;
    }
    word->replace(0, typed.size(), typed);
    for (std::size_t i = typed.size(); i < word->size(); ++i) {
        const auto w = static_cast<unsigned char>((*word)[i]);
        (*word)[i] = static_cast<char>(toSmall ? ModelSmall(w) : toCapital ? ModelCapital(w) : w);
    }
}

// The options that change what a line yields and in which order.
struct ModelOptions {
    bool numbers = false;
    bool ignoreCase = false;   // match in any case; the text follows the typed case
    bool nearestFirst = false; // a line's words right to left
    std::string own;           // the user's own word characters
};

// True when a word of line starts at byte at with the needle: text (the line, or under
// ignoreCase its fold) holds the needle from there, and the line starts there or holds a
// byte before it that is no word character.
inline bool ModelStartsWord(const std::string& line, const std::string& text, std::size_t at,
                            const std::string& needle, bool numbers, const std::string& own = "") {
    for (std::size_t i = 0; i < needle.size(); ++i) {
        if (at + i >= text.size() || text[at + i] != needle[i]) return false;
    }
    return at == 0 || !ModelWordChar(static_cast<unsigned char>(line[at - 1]), numbers, own);
}

// The end of the word that starts at byte at: its run of taken bytes, cut to kMaxWordLength.
inline std::size_t ModelWordEnd(const std::string& line, std::size_t at, bool numbers,
                                const std::string& own = "") {
    std::size_t end = at;
    while (end < line.size() && end - at < static_cast<std::size_t>(kMaxWordLength) &&
           ModelExtractionChar(static_cast<unsigned char>(line[end]), numbers, own)) {
        ++end;
    }
    return end;
}

// Whether a word is made of the user's own characters alone (`-----`), which is no word;
// '_' under Numbers is a word character of its own.
inline bool ModelOnlyOwnChars(const std::string& word, bool numbers, const std::string& own) {
    for (const char c : word) {
        const auto b = static_cast<unsigned char>(c);
        if (ModelWordChar(b, numbers) || !ModelOwnChar(b, own)) return false;
    }
    return true;
}

// Adds to the list every word of line that the prefix starts at a word start, left to right
// (right to left under nearestFirst), when it is longer than the prefix; under ignoreCase
// matched in any case and written in the typed case.
inline void ModelHarvest(const std::string& line, const std::string& prefix,
                         const ModelOptions& options, ModelList* list) {
    const std::string folded = options.ignoreCase ? ModelFold(line) : std::string();
    const std::string& text = options.ignoreCase ? folded : line;
    const std::string needle = options.ignoreCase ? ModelFold(prefix) : prefix;
    std::string word; // one buffer for every word met: most are met before, and not kept
    for (std::size_t k = 0; k < line.size(); ++k) {
        const std::size_t at = options.nearestFirst ? line.size() - 1 - k : k;
        if (!ModelStartsWord(line, text, at, needle, options.numbers, options.own)) continue;
        const std::size_t end = ModelWordEnd(line, at, options.numbers, options.own);
        if (end - at <= prefix.size()) continue;
        word.assign(line, at, end - at);
        if (ModelOnlyOwnChars(word, options.numbers, options.own)) continue;
        if (options.ignoreCase) ModelTypedCase(prefix, &word);
        list->Add(word);
    }
}

inline void ModelHarvest(const std::string& line, const std::string& prefix, bool numbers,
                         ModelList* list) {
    ModelOptions options;
    options.numbers = numbers;
    ModelHarvest(line, prefix, options, list);
}

// The prefix: the run of word characters that ends left of column, at most the kPrefixSize
// bytes its buffer holds (a full buffer, like any prefix of kMaxWordLength or more bytes,
// completes nothing: no word is longer).
inline std::string ModelPrefix(const std::string& line, std::size_t column, bool numbers,
                               const std::string& own = "") {
    std::size_t start = column;
    while (start > 0 && ModelWordChar(static_cast<unsigned char>(line[start - 1]), numbers, own)) {
        --start;
    }
    return line.substr(start, std::min(column - start, static_cast<std::size_t>(kPrefixSize)));
}
