// A small linear congruential generator for generated test and benchmark text: the same
// sequence on every machine and in both builds.
#pragma once

#include <cstddef>
#include <cstdint>

struct Random {
    std::uint32_t state;

    std::uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    // A number from 0 to bound - 1.
    std::size_t Below(std::size_t bound) { return Next() % bound; }
    // One of the words, picked evenly.
    template <std::size_t N> const char* Pick(const char* const (&words)[N]) {
        return words[Below(N)];
    }
};
