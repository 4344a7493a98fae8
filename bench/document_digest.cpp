// Prints a digest of each named workload's document, so that the benches of two revisions
// can be shown to build the same bytes for a name: FNV-1a over the prefix, the character
// table, the cursor and every line. bench/compare-revisions.sh compiles it against each
// revision's own workload maker, so it reads only the fields every revision's Workload has.
//
// Usage: document_digest WORKLOAD...
//   prints "NAME DIGEST" a line, and "NAME -" for a name the workload maker does not know.
#include "bench/workloads.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr std::uint64_t kFnvOffset = 14695981039346656037ULL;
constexpr std::uint64_t kFnvPrime = 1099511628211ULL;
constexpr int kLengthBytes = 8; // a text's length is folded in too, so texts cannot run together

// Folds the bytes of text, then its length, into digest.
void Fold(std::uint64_t& digest, const std::string& text) {
    for (const char c : text)
        digest = (digest ^ static_cast<unsigned char>(c)) * kFnvPrime;
    std::size_t length = text.size();
    for (int k = 0; k < kLengthBytes; ++k, length >>= 8)
        digest = (digest ^ (length & 0xFFU)) * kFnvPrime;
}

// The digest of everything a request reads of the workload, and where it reads it from.
std::uint64_t Digest(const Workload& w) {
    std::uint64_t digest = kFnvOffset;
    Fold(digest, w.prefix);
    Fold(digest, std::to_string(w.win1251 ? 1 : 0) + " " + std::to_string(w.cursorLine) + " " +
                     std::to_string(w.cursorColumn));
    for (const std::string& line : w.lines)
        Fold(digest, line);
    return digest;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const Workload w = MakeWorkload(argv[i]);
        if (w.lines.empty()) {
            std::printf("%s -\n", argv[i]);
            continue;
        }
        std::printf("%s %016llx\n", argv[i], static_cast<unsigned long long>(Digest(w)));
    }
    return 0;
}
