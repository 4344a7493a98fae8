// Builds the benchmark documents: generated C-like source, distinct words, one repeated
// letter, repeated short words, long words that differ only at the end, Russian text in
// code page 866 and in Windows-1251, very long lines, Latin and Russian words in mixed case,
// long snake_case identifiers, CSS, Lisp and shell text of kebab-case names, and 100,000
// lines of source whose first alone completes the prefix; and the options a workload's name
// and document ask for.
#include "bench/workloads.h"
#include "testhost/random.h"
#include "testhost/testhost.h" // the host's table conversions

#include <algorithm>
#include <cstring>

namespace {

// ---- Generated source text ----

const char* const kVerbs[] = {
    "get",    "set",  "Read",  "Write",  "find",  "make",  "search",  "start",  "Reset", "Release",
    "Render", "scan", "store", "select", "send",  "show",  "sort",    "split",  "skip",  "Reserve",
    "Resize", "load", "save",  "parse",  "check", "count", "getLine", "Remove", "stop",  "add"};
const char* const kNouns[] = {"Value",  "Line",   "Record", "Reader",   "Size",   "State",
                              "Text",   "Buffer", "Count",  "Word",     "Node",   "Prefix",
                              "Cursor", "Menu",   "Table",  "Result",   "Range",  "Settings",
                              "Source", "Screen", "Status", "String",   "Key",    "Item",
                              "Length", "Offset", "Column", "Registry", "Window", "Event"};
const char* const kTypes[] = {"int",          "std::size_t",   "std::string",      "const char*",
                              "bool",         "std::uint32_t", "Record",           "const Reader&",
                              "State*",       "unsigned char", "std::int32_t",     "auto",
                              "const Table&", "char*",         "std::vector<int>", "double"};
const char* const kLocals[] = {"i",      "n",      "size",   "start",  "result", "count",  "line",
                               "text",   "state",  "record", "status", "length", "offset", "value",
                               "key",    "sum",    "scale",  "source", "reader", "entry",  "word",
                               "buffer", "cursor", "table",  "item",   "first",  "last",   "step"};
const char* const kProse[] = {"the",   "a",      "of",     "to",      "is",     "and",   "when",
                              "each",  "line",   "word",   "returns", "reads",  "sets",  "size",
                              "state", "value",  "search", "start",   "reset",  "first", "last",
                              "every", "record", "it",     "so",      "that",   "not",   "only",
                              "one",   "more",   "than",   "get",     "Reader", "stays", "since"};
const char* const kOperators[] = {"==", "!=", "<", ">", "<=", ">="};

constexpr int kMaxDepth = 4;       // block nesting of the generated code
constexpr std::size_t kIndent = 4; // blanks per level

// An identifier: a verb and a noun in camel case, or the noun alone.
std::string Identifier(Random& r) {
    const char* verb = r.Pick(kVerbs);
    std::string noun = r.Pick(kNouns);
    if (r.Below(5) == 0) return noun;
    return verb + noun;
}

// A short expression: a number, a local, a call, a member call, sizeof or a string.
std::string Expression(Random& r) {
    switch (r.Below(6)) {
    case 0:
        return std::to_string(r.Below(1024));
    case 1:
        return r.Pick(kLocals);
    case 2:
        return Identifier(r) + "(" + r.Pick(kLocals) + ")";
    case 3:
        return std::string(r.Pick(kLocals)) + "." + Identifier(r) + "()";
    case 4:
        return std::string("sizeof(") + r.Pick(kTypes) + ")";
    default:
        return std::string("\"") + r.Pick(kProse) + " " + r.Pick(kProse) + "\"";
    }
}

// A comment of a few words.
std::string Comment(Random& r) {
    std::string text = "//";
    for (std::size_t i = 0, n = 4 + r.Below(10); i < n; ++i)
        text += std::string(" ") + r.Pick(kProse);
    return text;
}

// One statement inside a function body.
std::string Statement(Random& r) {
    switch (r.Below(5)) {
    case 0:
        return std::string(r.Pick(kTypes)) + " " + r.Pick(kLocals) + " = " + Expression(r) + ";";
    case 1:
        return Identifier(r) + "(" + Expression(r) + ", " + Expression(r) + ");";
    case 2:
        return std::string("if (") + r.Pick(kLocals) + " " + r.Pick(kOperators) + " " +
               Expression(r) + ") return " + Expression(r) + ";";
    case 3:
        return std::string(r.Pick(kLocals)) + " += " + Expression(r) + ";";
    default:
        return "return " + Expression(r) + ";";
    }
}

// The line that opens a block inside a function.
std::string BlockStart(Random& r) {
    if (r.Below(2) == 0) {
        return std::string("for (std::size_t i = 0; i < ") + r.Pick(kLocals) + ".size(); ++i) {";
    }
    return std::string("if (") + Expression(r) + " " + r.Pick(kOperators) + " " + Expression(r) +
           ") {";
}

// A line at file level: blank, comment, include, or a function header (opens a block).
std::string FileLevelLine(Random& r, int& depth) {
    switch (r.Below(6)) {
    case 0:
        return "";
    case 1:
    case 2:
        return Comment(r);
    case 3:
        return std::string("#include \"") + r.Pick(kProse) + "/" + Identifier(r) + ".h\"";
    default:
        break;
    }
    depth = 1;
    return std::string(r.Pick(kTypes)) + " " + Identifier(r) + "(" + r.Pick(kTypes) + " " +
           r.Pick(kLocals) + ", " + r.Pick(kTypes) + " " + r.Pick(kLocals) + ") {";
}

// A line inside a function: a statement, a comment, or a block opened or closed.
std::string BodyLine(Random& r, int& depth) {
    const std::size_t pick = r.Below(10);
    if (pick == 0) {
        --depth;
        return "}";
    }
    if (pick == 1 && depth < kMaxDepth) {
        ++depth;
        return BlockStart(r);
    }
    return pick == 2 ? Comment(r) : Statement(r);
}

// Lines of generated C-like code (blocks, statements, comments), each indented by its
// depth and cut to 1023 bytes; the same lines on every machine.
std::vector<std::string> SourceLines(std::size_t count) {
    Random random{2001};
    std::vector<std::string> lines;
    int depth = 0;
    while (lines.size() < count) {
        const int outer = depth;
        std::string text = depth == 0 ? FileLevelLine(random, depth) : BodyLine(random, depth);
        const auto indent = kIndent * static_cast<std::size_t>(std::min(outer, depth));
        if (!text.empty()) text.insert(0, indent, ' ');
        lines.push_back(text.substr(0, kLineBytes));
    }
    return lines;
}

// Lines of 100,000 bytes cut from the generated source joined by blanks.
std::vector<std::string> LongLines(std::size_t count) {
    std::string text;
    for (const std::string& line : SourceLines(kWindowLines))
        text += line + ' ';
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

// ---- Word lists ----

// Lines of 1023 bytes: blank-separated words, the next word of the sequence each time,
// as many as fit up to perLine; the rest of the line is blanks.
template <typename NextWord>
std::vector<std::string> WordLines(std::size_t count, std::size_t perLine, NextWord next) {
    std::vector<std::string> lines;
    std::string word = next();
    for (std::size_t i = 0; i < count; ++i) {
        std::string line;
        for (std::size_t k = 0; k < perLine; ++k) {
            if (line.size() + (line.empty() ? 0 : 1) + word.size() > kLineBytes) break;
            if (!line.empty()) line += ' ';
            line += word;
            word = next();
        }
        line.resize(kLineBytes, ' ');
        lines.push_back(line);
    }
    return lines;
}

// 'q' + five letters, all different.
std::vector<std::string> DistinctLines(std::size_t count) {
    std::uint32_t serial = 0;
    return WordLines(count, kLineBytes, [&serial] {
        std::string word = "q";
        for (std::uint32_t k = 0, n = serial++; k < 5; ++k, n /= 26)
            word.insert(1, 1, static_cast<char>('a' + n % 26));
        return word;
    });
}

constexpr std::uint32_t kRepeatedWords = 149; // distinct words: the menu's 150 never fill
constexpr std::size_t kRepeatedPerLine = 255;

// 'q' + two letters, 255 to a line, drawn in turn from 149 distinct words.
std::vector<std::string> RepeatedLines(std::size_t count) {
    std::uint32_t serial = 0;
    return WordLines(count, kRepeatedPerLine, [&serial] {
        const std::uint32_t n = serial++ % kRepeatedWords;
        return std::string{'q', static_cast<char>('a' + n / 26), static_cast<char>('a' + n % 26)};
    });
}

constexpr std::size_t kLongWordLength = 31; // the longest candidate word
constexpr const char* kLongWordStem = "qwertyuiopasdfghjklzxcvbnmqwer"; // 30 letters
constexpr const char* kLongWordEnds = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Words of 31 letters that share their first 30 and differ in the last (52 of them), so
// that telling two apart takes the whole word; 32 to a line.
std::vector<std::string> LongWordLines(std::size_t count) {
    std::size_t serial = 0;
    const std::size_t ends = std::strlen(kLongWordEnds);
    return WordLines(count, kLineBytes, [&serial, ends] {
        std::string word = kLongWordStem;
        word += kLongWordEnds[serial++ % ends];
        return word.substr(0, kLongWordLength);
    });
}

// ---- Russian text ----

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

// Code page 866 text as the host keeps it in a Windows-1251 file.
std::string ToWin1251(std::string text) {
    for (char& c : text)
        c = static_cast<char>(OemToWin1251(static_cast<unsigned char>(c)));
    return text;
}

// Prose-like lines of 40 to 199 bytes: words that word(random) draws, separated by blanks
// and now and then a comma, each line ended by a full stop.
template <typename PickWord>
std::vector<std::string> ProseLines(std::size_t count, std::uint32_t seed, PickWord word) {
    Random random{seed};
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t target = 40 + random.Below(160);
        std::string line;
        while (line.size() < target) {
            if (!line.empty()) line += random.Below(8) == 0 ? ", " : " ";
            line += word(random);
        }
        line += '.';
        lines.push_back(line.substr(0, kLineBytes));
    }
    return lines;
}

// Prose-like lines of 40 to 200 bytes in code page 866 drawn from a fixed Russian
// vocabulary; seed picks the text.
std::vector<std::string> CyrillicLines(std::size_t count, std::uint32_t seed) {
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
    return ProseLines(count, seed, [&vocabulary](Random& random) {
        return vocabulary[random.Below(vocabulary.size())];
    });
}

// The same kind of text stored in Windows-1251.
std::vector<std::string> Win1251Lines(std::size_t count) {
    std::vector<std::string> lines = CyrillicLines(count, 1251);
    for (std::string& line : lines)
        line = ToWin1251(line);
    return lines;
}

// ---- Words in mixed case ----

// Case in code page 866: A-Z with a-z, 0x80-0x8F with 0xA0-0xAF, 0x90-0x9F with 0xE0-0xEF.
unsigned char CapitalOf(unsigned char b) {
    if (b >= 'a' && b <= 'z') return static_cast<unsigned char>(b - 32);
    if (b >= 0xA0 && b <= 0xAF) return static_cast<unsigned char>(b - 0x20);
    if (b >= 0xE0 && b <= 0xEF) return static_cast<unsigned char>(b - 0x50);
    return b;
}

unsigned char SmallOf(unsigned char b) {
    if (b >= 'A' && b <= 'Z') return static_cast<unsigned char>(b + 32);
    if (b >= 0x80 && b <= 0x8F) return static_cast<unsigned char>(b + 0x20);
    if (b >= 0x90 && b <= 0x9F) return static_cast<unsigned char>(b + 0x50);
    return b;
}

constexpr std::size_t kCaseVariants = 5;

// A small-letter word (code page 866) in one of the cases text is written in: small, all
// capitals, a capital first, a capital fourth letter (camel case), a capital second letter.
std::string InCase(std::string word, std::size_t variant) {
    auto capital = [&word](std::size_t k) {
        if (k < word.size())
            word[k] = static_cast<char>(CapitalOf(static_cast<unsigned char>(word[k])));
    };
    switch (variant) {
    case 1:
        for (std::size_t k = 0; k < word.size(); ++k)
            capital(k);
        break;
    case 2:
        capital(0);
        break;
    case 3:
        capital(3);
        break;
    case 4:
        capital(1);
        break;
    default:
        break;
    }
    return word;
}

// Prose-like lines of 40 to 200 bytes mixing Latin and Russian words (code page 866), each
// word in a case drawn from InCase's. One word in three starts with "str" or "пр" in some
// case; the others are words that do not, some of them sharing the first letter.
std::vector<std::string> MixedCaseLines(std::size_t count) {
    static const char* const kStems[] = {
        "string",  "strlen", "strtok",  "struct", "stream",  "strict",  "stride",    "strong",
        "strcat",  "strdup", "strip",   "stroke", "привет",  "природа", "программа", "проверка",
        "правило", "пример", "простой", "против", "прошлый", "предмет", "приказ",    "прыжок"};
    static const char* const kOthers[] = {
        "size",  "start",  "state", "status", "source", "scale", "step",   "text",   "value",
        "count", "line",   "word",  "пора",   "после",  "потом", "дом",    "город",  "слово",
        "место", "вопрос", "сила",  "часть",  "конец",  "время", "работа", "человек"};
    return ProseLines(count, 1101, [](Random& random) {
        const char* word = random.Below(3) == 0 ? random.Pick(kStems) : random.Pick(kOthers);
        return InCase(ToCp866(word), random.Below(kCaseVariants));
    });
}

// ---- Long identifiers ----

constexpr std::size_t kShortestIdentifier = 30;
constexpr std::size_t kLongestIdentifier = 60;
constexpr std::size_t kMacroOneIn = 8; // identifiers written in capitals, as C macros are

// The first parts of the identifiers: each starts many of them, so that they agree over
// their first 16 to 26 bytes and differ after. Five start with "conn", seven more with
// "co", two more with "c".
const char* const kIdentifierHeads[] = {
    "connection_pool_idle",  "connection_pool_max",       "connection_retry_backoff",
    "connect_timeout_for",   "connector_tls13_handshake", "config_file_section",
    "config_parser_state",   "context_switch_count",      "container_of_entry",
    "console_output_buffer", "counter_sample_window",     "convert_utf8_to_utf16",
    "cache_entry_eviction",  "client_request_header",     "socket_ipv6_address",
    "stream_reader_chunk",   "http2_response_status",     "thread_pool_worker",
    "message_queue_pending", "sha256_digest_block",       "parse_json_object_field",
    "render_text_glyph",     "session_token_expiry",      "buffer_write_offset"};
// The parts that follow a head, and the short ones that bring an identifier to its least
// length where a longer part would pass its greatest.
const char* const kIdentifierParts[] = {
    "seconds", "limit",    "count", "bytes",  "total", "default", "initial", "pending",
    "active",  "closed",   "for",   "with",   "from",  "index",   "size",    "state",
    "handler", "callback", "v2",    "x86_64", "int32", "utf8",    "base64",  "ipv6",
    "2",       "16",       "404",   "max",    "min",   "enabled", "locked",  "retry"};
const char* const kShortParts[] = {"id", "v2", "ms", "ok", "t", "2", "64", "at"};

// A snake_case identifier of 30 to 60 bytes: a head, then parts up to a length drawn
// between those bounds; one in kMacroOneIn in capitals.
std::string LongIdentifier(Random& r) {
    std::string id = r.Pick(kIdentifierHeads);
    const std::size_t length =
        kShortestIdentifier + r.Below(kLongestIdentifier - kShortestIdentifier + 1);
    while (id.size() < length) {
        std::string part = r.Pick(kIdentifierParts);
        if (id.size() + 1 + part.size() > kLongestIdentifier) {
            if (id.size() >= kShortestIdentifier) break;
            part = r.Pick(kShortParts);
        }
        id += '_' + part;
    }
    if (r.Below(kMacroOneIn) != 0) return id;
    for (char& c : id)
        c = static_cast<char>(CapitalOf(static_cast<unsigned char>(c)));
    return id;
}

// One line of C or Python that names long identifiers: a call, a test, a definition, a
// member set from another's member, or a macro.
std::string IdentifierStatement(Random& r) {
    switch (r.Below(5)) {
    case 0:
        return LongIdentifier(r) + " = " + LongIdentifier(r) + "(" + LongIdentifier(r) + ", " +
               std::to_string(r.Below(4096)) + ");";
    case 1:
        return "if (" + LongIdentifier(r) + " > " + LongIdentifier(r) + ") return " +
               LongIdentifier(r) + ";";
    case 2:
        return "def " + LongIdentifier(r) + "(self, " + LongIdentifier(r) + "=None):";
    case 3:
        return "self." + LongIdentifier(r) + " = " + LongIdentifier(r) + "." + LongIdentifier(r);
    default:
        return "#define " + LongIdentifier(r) + " " + std::to_string(r.Below(65536));
    }
}

// Lines that statement makes, indented 0, 4 or 8 blanks, drawn from seed: the same lines on
// every machine.
std::vector<std::string> IndentedLines(std::size_t count, unsigned seed,
                                       std::string (*statement)(Random&)) {
    Random random{seed};
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t indent = kIndent * random.Below(3);
        lines.push_back(std::string(indent, ' ') + statement(random));
    }
    return lines;
}

// Lines of C and Python over long identifiers.
std::vector<std::string> IdentifierLines(std::size_t count) {
    return IndentedLines(count, 3060, IdentifierStatement);
}

// ---- Kebab-case names ----

constexpr std::size_t kShortestKebab = 10;
constexpr std::size_t kLongestKebab = 40;

// The parts of kebab-case names, as CSS properties, Lisp functions and shell options are
// made of; "border" starts many of them.
const char* const kKebabParts[] = {
    "border", "background", "color",  "top",    "left",   "radius", "width", "font",
    "family", "with",       "open",   "file",   "make",   "hash",   "table", "max",
    "output", "dir",        "line",   "height", "string", "to",     "list",  "jobs",
    "border", "verbose",    "margin", "bottom", "image",  "size",   "read",  "from"};

// A kebab-case name of 10 to 40 bytes: parts joined by '-'.
std::string KebabName(Random& r) {
    const std::size_t length = kShortestKebab + r.Below(kLongestKebab - kShortestKebab + 1);
    std::string name = r.Pick(kKebabParts);
    while (name.size() < length) {
        const std::string part = r.Pick(kKebabParts);
        if (name.size() + 1 + part.size() > kLongestKebab) break;
        name += '-' + part;
    }
    return name;
}

// One line of CSS, Lisp or shell over kebab-case names.
std::string KebabStatement(Random& r) {
    switch (r.Below(4)) {
    case 0:
        return KebabName(r) + ": var(--" + KebabName(r) + ");";
    case 1:
        return "(" + KebabName(r) + " (" + KebabName(r) + " " + KebabName(r) +
               ") :" + KebabName(r) + ")";
    case 2:
        return "run-" + KebabName(r) + " --" + KebabName(r) + " --" + KebabName(r) + "=" +
               std::to_string(r.Below(64));
    default:
        return "." + KebabName(r) + " { " + KebabName(r) + ": " + std::to_string(r.Below(16)) +
               "px; }";
    }
}

// Lines of CSS, Lisp and shell over kebab-case names.
std::vector<std::string> KebabLines(std::size_t count) {
    return IndentedLines(count, 4040, KebabStatement);
}

// ---- The cursor ----

// The bytes of line i that a request reads.
std::size_t ReadLength(const Workload& w, std::size_t i) {
    const std::size_t length = std::min(w.lines[i].size(), kReadBytes);
    if (i != static_cast<std::size_t>(w.cursorLine)) return length;
    return std::min(length, static_cast<std::size_t>(w.cursorColumn));
}

// The bytes a request reads: the first 1024 of each line, the cursor's up to the cursor.
std::size_t ScannedBytes(const Workload& w) {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i <= static_cast<std::size_t>(w.cursorLine); ++i)
        bytes += ReadLength(w, i);
    return bytes;
}

// Makes the last line the cursor's: its text cut to leave room, a blank, the prefix (as
// the host stores it).
void PlaceCursor(Workload& w) {
    const std::string stored = w.win1251 ? ToWin1251(w.prefix) : w.prefix;
    std::string& last = w.lines.back();
    const std::size_t room = kLineBytes - stored.size() - 1;
    if (last.size() > room) last.resize(room);
    last += ' ';
    last += stored;
    w.cursorLine = static_cast<std::int32_t>(w.lines.size()) - 1;
    w.cursorColumn = static_cast<std::int32_t>(last.size());
    w.cursorText = last;
    w.scannedBytes = ScannedBytes(w);
}

// Fills the workload's prefix and lines for the document's name; false for an unknown one.
bool FillWorkload(Workload& w, const std::string& name) {
    if (name.rfind("source/", 0) == 0 && name.size() > 7) {
        w.prefix = name.substr(7);
        w.lines = SourceLines(kWindowLines);
    } else if (name == "distinct") {
        w.prefix = "q";
        w.lines = DistinctLines(kWindowLines);
    } else if (name == "same") {
        w.prefix = "a";
        w.lines.assign(kWindowLines, std::string(kLineBytes, 'a'));
    } else if (name == "repeated") {
        w.prefix = "q";
        w.lines = RepeatedLines(kWindowLines);
    } else if (name == "long-words") {
        w.prefix = "q";
        w.lines = LongWordLines(kWindowLines);
    } else if (name == "cyrillic") {
        w.prefix = ToCp866("пр");
        w.lines = CyrillicLines(kWindowLines, 866);
    } else if (name == "1251") {
        w.prefix = ToCp866("пр");
        w.win1251 = true;
        w.lines = Win1251Lines(kWindowLines);
    } else if (name == "long-lines") {
        w.prefix = "s";
        w.lines = LongLines(kWindowLines);
    } else if (name == "mixed-latin") {
        w.prefix = "str";
        w.lines = MixedCaseLines(kWindowLines);
    } else if (name == "mixed-866") {
        w.prefix = ToCp866("ПР");
        w.lines = MixedCaseLines(kWindowLines);
    } else if (name == "identifiers") {
        w.prefix = "conn";
        w.numbers = true;
        w.lines = IdentifierLines(kWindowLines);
    } else if (name == "kebab") {
        w.prefix = "border-";
        w.lines = KebabLines(kWindowLines);
    } else if (name == "far-source") {
        // No word of the generated source starts with "xf": every line above is read.
        w.prefix = "xf";
        w.lines = SourceLines(kFarLines);
        w.lines[0] = "static const int xformTable[] = {0};";
    } else {
        return false;
    }
    return true;
}

// Removes suffix from the end of name; false, leaving name alone, when it does not end so.
bool TakeSuffix(std::string& name, const std::string& suffix) {
    if (name.size() <= suffix.size()) return false;
    if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
    name.resize(name.size() - suffix.size());
    return true;
}

// A word character: a Latin letter or any byte from 0x80; with Numbers, a digit or '_' too;
// and one of the user's own.
bool IsWordByte(unsigned char byte, bool numbers, const std::string& own) {
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || byte >= 0x80) return true;
    if (byte != 0 && own.find(static_cast<char>(byte)) != std::string::npos) return true;
    return numbers && ((byte >= '0' && byte <= '9') || byte == '_');
}

// The user's own word characters of the "+own4" and "+own16" workloads.
constexpr char kOwnFour[] = "-.:$";
constexpr char kOwnSixteen[] = "-.:$!#%*+/<=>?@~";

} // namespace

const std::vector<std::string>& WorkloadNames() {
    static const std::vector<std::string> names = [] {
        const char* const documents[] = {"source/s",   "source/get", "source/Re",   "distinct",
                                         "same",       "repeated",   "long-words",  "cyrillic",
                                         "1251",       "long-lines", "mixed-latin", "mixed-866",
                                         "identifiers"};
        std::vector<std::string> all;
        for (const char* document : documents) {
            for (const char* options : {"", "+case", "+near", "+own4", "+own16"})
                all.push_back(std::string(document) + options);
        }
        for (const char* options : {"+own4", "+own16", "+own4+case", "+own4+near"})
            all.push_back(std::string("kebab") + options);
        all.emplace_back("far-source+all");
        return all;
    }();
    return names;
}

Workload MakeWorkload(const std::string& name) {
    Workload w;
    w.name = name;
    std::string document = name;
    w.nearestFirst = TakeSuffix(document, "+near");
    w.allAbove = TakeSuffix(document, "+all");
    w.ignoreCase = TakeSuffix(document, "+case");
    if (TakeSuffix(document, "+own4")) w.own = kOwnFour;
    if (TakeSuffix(document, "+own16")) w.own = kOwnSixteen;
    if (FillWorkload(w, document)) PlaceCursor(w);
    return w;
}

Workload LastLines(const Workload& workload, std::size_t lines) {
    Workload part; // field by field: a copy of every line may take hundreds of megabytes
    part.name = workload.name;
    part.prefix = workload.prefix;
    part.win1251 = workload.win1251;
    part.ignoreCase = workload.ignoreCase;
    part.nearestFirst = workload.nearestFirst;
    part.allAbove = workload.allAbove;
    part.numbers = workload.numbers;
    part.own = workload.own;
    part.cursorColumn = workload.cursorColumn;
    part.cursorText = workload.cursorText;
    const auto cursor = static_cast<std::size_t>(workload.cursorLine);
    const std::size_t kept = std::min(lines, cursor + 1);
    part.lines.assign(workload.lines.begin() + static_cast<std::ptrdiff_t>(cursor + 1 - kept),
                      workload.lines.begin() + static_cast<std::ptrdiff_t>(cursor + 1));
    part.cursorLine = static_cast<std::int32_t>(kept) - 1;
    part.scannedBytes = ScannedBytes(part);
    return part;
}

std::size_t CountWordStarts(const Workload& workload) {
    auto first = static_cast<unsigned char>(workload.prefix[0]);
    if (workload.ignoreCase) first = SmallOf(first);
    std::size_t starts = 0;
    for (std::size_t i = 0; i <= static_cast<std::size_t>(workload.cursorLine); ++i) {
        bool afterWord = false;
        for (std::size_t k = 0, n = ReadLength(workload, i); k < n; ++k) {
            auto byte = static_cast<unsigned char>(workload.lines[i][k]);
            if (workload.win1251) byte = Win1251ToOem(byte);
            const unsigned char compared = workload.ignoreCase ? SmallOf(byte) : byte;
            starts += compared == first && !afterWord;
            afterWord = IsWordByte(byte, workload.numbers, workload.own);
        }
    }
    return starts;
}

extern "C" std::size_t MemchrBaseline(const Workload* workload) {
    auto first = static_cast<unsigned char>(workload->prefix[0]);
    if (workload->win1251) first = OemToWin1251(first);
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
