// Builds the benchmark documents: the project's own sources, distinct words, one repeated
// letter, Russian text in code page 866, and very long lines.
#include "bench/workloads.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef LEXAMUND_SOURCE_DIR
#define LEXAMUND_SOURCE_DIR "."
#endif

namespace {

// A small linear congruential generator: the same sequence on every machine.
struct Random {
    std::uint32_t state;
    std::uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    std::size_t Below(std::size_t bound) { return Next() % bound; }
};

// The text of every source file of the plug-in and the test host, in path order.
std::string ProjectSources() {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (const char* dir : {"engine", "host", "platform", "shell", "testhost"}) {
        const fs::path root = fs::path(LEXAMUND_SOURCE_DIR) / dir;
        if (!fs::exists(root)) continue;
        for (const auto& entry : fs::directory_iterator(root)) {
            const auto ext = entry.path().extension();
            if (ext == ".cpp" || ext == ".h") files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::string text;
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream contents;
        contents << in.rdbuf();
        text += contents.str();
    }
    return text;
}

// The sources' lines, cut to 1023 bytes, repeated until there are count of them.
std::vector<std::string> SourceLines(std::size_t count) {
    std::vector<std::string> all;
    std::istringstream in(ProjectSources());
    for (std::string line; std::getline(in, line);)
        all.push_back(line.substr(0, kLineBytes));
    if (all.empty()) all.push_back("static int sample = getValue(Reader);");
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i)
        lines.push_back(all[i % all.size()]);
    return lines;
}

// Lines of 100,000 bytes cut from the sources joined by blanks.
std::vector<std::string> LongLines(std::size_t count) {
    std::string text = ProjectSources();
    std::replace(text.begin(), text.end(), '\n', ' ');
    if (text.empty()) text = "static int sample = getValue(Reader); ";
    std::string line;
    while (line.size() < kLongLineBytes)
        line += text;
    line.resize(kLongLineBytes);
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t shift = (i * 997) % kLongLineBytes; // vary the lines a little
        lines.push_back(line.substr(shift) + line.substr(0, shift));
    }
    return lines;
}

// Lines of 1023 bytes of blank-separated words 'q' + five letters, all different.
std::vector<std::string> DistinctLines(std::size_t count) {
    std::vector<std::string> lines;
    std::uint32_t serial = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::string line;
        for (;;) {
            char word[7] = {'q'};
            for (std::uint32_t k = 0, n = serial; k < 5; ++k, n /= 26) {
                word[5 - k] = static_cast<char>('a' + n % 26);
            }
            if (line.size() + (line.empty() ? 6 : 7) > kLineBytes) break;
            if (!line.empty()) line += ' ';
            line.append(word, 6);
            ++serial;
        }
        line.resize(kLineBytes, ' ');
        lines.push_back(line);
    }
    return lines;
}

// UTF-8 Russian text to code page 866 (only the letters that occur here, and ASCII).
std::string ToCp866(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        const unsigned cp = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
        i += 2;
        if (cp >= 0x410 && cp <= 0x43F)
            out += static_cast<char>(0x80 + (cp - 0x410));
        else if (cp >= 0x440 && cp <= 0x44F)
            out += static_cast<char>(0xE0 + (cp - 0x440));
        else if (cp == 0x401)
            out += static_cast<char>(0xF0);
        else if (cp == 0x451)
            out += static_cast<char>(0xF1);
        else
            out += '?';
    }
    return out;
}

// Prose-like lines of 40 to 200 bytes drawn from a fixed Russian vocabulary.
std::vector<std::string> CyrillicLines(std::size_t count) {
    static const char* const kWords[] = {
        "привет",  "природа", "программа", "проверка", "правило", "пример",  "простой", "против",
        "прошлый", "предмет", "приказ",    "прыжок",   "пора",    "после",   "потом",   "дерево",
        "дорога",  "город",   "человек",   "время",    "работа",  "слово",   "место",   "жизнь",
        "рука",    "день",    "вопрос",    "дом",      "сторона", "страна",  "мир",     "случай",
        "голова",  "ребёнок", "сила",      "конец",    "вид",     "система", "часть",   "Москва",
        "Россия",  "Пример",  "Правда",    "и",        "в",       "не",      "на",      "что",
        "как",     "но",      "ещё",       "уже",      "или",     "если",    "это",     "когда",
        "только",  "тоже",    "очень",     "всё"};
    std::vector<std::string> vocabulary;
    for (const char* word : kWords)
        vocabulary.push_back(ToCp866(word));
    Random random{866};
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t target = 40 + random.Below(160);
        std::string line;
        while (line.size() < target) {
            if (!line.empty()) line += random.Below(8) == 0 ? ", " : " ";
            line += vocabulary[random.Below(vocabulary.size())];
        }
        line += '.';
        lines.push_back(line.substr(0, kLineBytes));
    }
    return lines;
}

// Makes the last line the cursor's: its text cut to leave room, a blank, the prefix.
void PlaceCursor(Workload& w) {
    std::string& last = w.lines.back();
    const std::size_t room = kLineBytes - w.prefix.size() - 1;
    if (last.size() > room) last.resize(room);
    last += ' ';
    last += w.prefix;
    w.cursorLine = static_cast<std::int32_t>(w.lines.size()) - 1;
    w.cursorColumn = static_cast<std::int32_t>(last.size());
    w.cursorText = last;
    w.scannedBytes = 0;
    for (std::size_t i = 0; i + 1 < w.lines.size(); ++i) {
        w.scannedBytes += std::min(w.lines[i].size(), kReadBytes);
    }
    w.scannedBytes += last.size();
}

} // namespace

const std::vector<std::string>& WorkloadNames() {
    static const std::vector<std::string> names = {
        "source/s", "source/get", "source/Re", "distinct", "same", "cyrillic", "long-lines"};
    return names;
}

Workload MakeWorkload(const std::string& name) {
    Workload w;
    w.name = name;
    if (name.rfind("source/", 0) == 0) {
        w.prefix = name.substr(7);
        w.lines = SourceLines(kWindowLines);
    } else if (name == "distinct") {
        w.prefix = ToCp866("q");
        w.lines = DistinctLines(kWindowLines);
    } else if (name == "same") {
        w.prefix = ToCp866("a");
        w.lines.assign(kWindowLines, std::string(kLineBytes, 'a'));
    } else if (name == "cyrillic") {
        w.prefix = ToCp866("пр");
        w.lines = CyrillicLines(kWindowLines);
    } else if (name == "long-lines") {
        w.prefix = ToCp866("s");
        w.lines = LongLines(kWindowLines);
    } else {
        return w;
    }
    PlaceCursor(w);
    return w;
}

namespace {

// The bytes of line i that a request reads.
std::size_t ReadLength(const Workload& w, std::size_t i) {
    const std::size_t length = std::min(w.lines[i].size(), kReadBytes);
    if (i != static_cast<std::size_t>(w.cursorLine)) return length;
    return std::min(length, static_cast<std::size_t>(w.cursorColumn));
}

} // namespace

extern "C" std::size_t MemchrBaseline(const Workload* workload) {
    const int first = static_cast<unsigned char>(workload->prefix[0]);
    std::size_t hits = 0;
    for (std::size_t i = 0; i <= static_cast<std::size_t>(workload->cursorLine); ++i) {
        const char* p = workload->lines[i].data();
        const char* end = p + ReadLength(*workload, i);
        while ((p = static_cast<const char*>(std::memchr(p, first, end - p))) != nullptr) {
            ++hits;
            ++p;
        }
    }
    return hits;
}

extern "C" std::size_t ScanBaseline(const Workload* workload) {
    std::size_t hits = 0;
    for (std::size_t i = 0; i <= static_cast<std::size_t>(workload->cursorLine); ++i) {
        hits += std::memchr(workload->lines[i].data(), 0, ReadLength(*workload, i)) != nullptr;
    }
    return hits;
}
