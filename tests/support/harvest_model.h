// A plain model of the word rules and the harvest, written for clarity rather than speed,
// that the tests and the fuzz targets hold the engine to.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

inline bool ModelWordChar(unsigned char b, bool numbers) {
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b >= 0x80) return true;
    return numbers && ((b >= '0' && b <= '9') || b == '_');
}

inline bool ModelExtractionChar(unsigned char b) {
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
           (b >= 0xA0 && b <= 0xAF) || (b >= 0xE0 && b <= 0xEF) || (b >= 0x80 && b <= 0x9F);
}

// The candidate list: distinct words in order of discovery. Words past the 150 the menu
// can show are not kept (they could never be offered); the allocation numbered failAt
// fails, costing its word and two beeps.
struct ModelList {
    std::vector<std::string> words;
    std::unordered_set<std::string> listed; // the same words, for the duplicate test
    int allocations = 0;
    int failAt = 0;
    int failedBeeps = 0;

    void Add(const std::string& word) {
        if (listed.count(word) != 0) return;
        if (words.size() >= 150) return;
        if (++allocations == failAt) {
            failedBeeps += 2;
            return;
        }
        words.push_back(word);
        listed.insert(word);
    }
};

// Adds to the list every word of line that the prefix starts at a word start: one search
// per occurrence, each resuming one byte further.
inline void ModelHarvest(const std::string& line, const std::string& prefix, bool numbers,
                         ModelList* list) {
    for (std::size_t pos = 0; pos < line.size();) {
        const std::size_t at = line.find(prefix, pos);
        if (at == std::string::npos) break;
        pos = at + 1;
        if (at != 0 && ModelWordChar(static_cast<unsigned char>(line[at - 1]), numbers)) continue;
        std::size_t end = at;
        while (end < line.size() && end - at < 31 &&
               ModelExtractionChar(static_cast<unsigned char>(line[end]))) {
            ++end;
        }
        if (end - at > prefix.size()) list->Add(line.substr(at, end - at));
    }
}

// The prefix: the run of word characters that ends left of column, at most 32 bytes of it.
inline std::string ModelPrefix(const std::string& line, std::size_t column, bool numbers) {
    std::size_t start = column;
    while (start > 0 && ModelWordChar(static_cast<unsigned char>(line[start - 1]), numbers)) {
        --start;
    }
    return line.substr(start, std::min<std::size_t>(column - start, 32));
}
