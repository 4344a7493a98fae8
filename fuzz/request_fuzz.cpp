// Fuzzes a whole request through the test host: random document, cursor, window, options
// (IgnoreCase and NearestFirst among them), character table, menu answer, message texts
// (hostile formats among them), input event, and a node allocation that fails. Checks what
// the host must be able to rely on, and the beeps, menu, insertion and the lines fetched
// against a plain model of the request.
//
// Large documents are cheap: a period of lines repeated past the scan window, with a few
// long lines near the cursor; the host serves each distinct text from one block, and the
// model stops scanning once a whole period has added nothing.
#include "engine/engine.h"
#include "fuzz/fuzz_input.h"
#include "platform/memory_registry.h"
#include "platform/platform.h"
#include "testhost/plugin_loader.h"
#include "tests/support/harvest_model.h"

#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>

namespace {

constexpr std::int64_t kRepeatedLines = 2050; // more than the scan window's 2001
constexpr std::size_t kLongLineBase = 1000;   // long lines: 1000 to 1255 bytes, around the cut
constexpr int kLongLinesNearCursor = 8;       // the cursor's line and the 7 above may be long
constexpr std::int64_t kNearEnds = 64;        // cursor lines picked near either end
constexpr std::int64_t kColumnSpan = 1100;    // columns picked: past the 1024 a request reads
constexpr std::int64_t kBackFromEnd = 8;      // columns picked back from the line's end
constexpr std::int64_t kFirstChoices = 24;    // menu answers from -2: none, the hot keys, more
constexpr std::int64_t kLastChoices = 160;    // menu answers back from item 150, down to -10
// The longest texts a request hands the host: the rest of a word after a prefix of one byte
// or more, then a blank; a label's hot key and blank, the word, and a blank.
constexpr std::size_t kMaxInsertLength = kMaxWordLength;
constexpr std::size_t kMaxLabelLength = 3 + kMaxWordLength + 1;

// ---- A heap that may fail once and counts the blocks it holds ----

struct TrackedHeap {
    int calls = 0;
    int failAt = 0;
    int live = 0;
};
TrackedHeap gHeap;

void* Allocate(std::size_t size) {
    if (++gHeap.calls == gHeap.failAt) return nullptr;
    ++gHeap.live;
    return std::malloc(size);
}

// A block released twice or never allocated is the sanitizer's report; one of the system's
// own heap is a count below zero.
void Release(void* block) {
    FUZZ_CHECK(--gHeap.live >= 0);
    std::free(block);
}

// The settings key is never there: the request reads the options from the input, and the
// store has a target of its own, so start-up need not search the registry model.
std::int32_t NoSettingsKey(RegKey, const char*, std::uint32_t, std::uint32_t, RegKey* result) {
    *result = 0;
    return kErrorFileNotFound;
}

// ---- The document ----

// Line n's text is texts[n % period], or one of the long lines near the cursor; lines
// outside the document are the empty text, last in texts.
struct Document {
    std::vector<std::string> texts;
    std::size_t period = 0;
    std::int64_t count = 0;
    std::vector<std::pair<std::int64_t, std::size_t>> longLines; // line number, text

    std::size_t Id(std::int64_t n) const {
        if (n < 0 || n >= count) return texts.size() - 1;
        for (const auto& [number, id] : longLines) {
            if (number == n) return id;
        }
        return static_cast<std::size_t>(n) % period;
    }
    const std::string& Text(std::int64_t n) const { return texts[Id(n)]; }
    bool Repeats(std::int64_t n) const { return Id(n) < period; }
};

// The period: the input's lines. A repeated one fills kRepeatedLines lines.
Document Periodic(const std::string& text, bool repeated) {
    Document doc;
    doc.texts.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 2 +
                      kLongLinesNearCursor);
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        doc.texts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    doc.period = doc.texts.size();
    doc.count = std::max<std::int64_t>(static_cast<std::int64_t>(doc.period),
                                       repeated ? kRepeatedLines : 0);
    doc.texts.emplace_back();
    return doc;
}

// Makes the lines cursor - k long for each bit k of mask: their own text repeated to length.
void AddLongLines(Document& doc, std::int64_t cursor, std::uint8_t mask, std::size_t length) {
    for (int k = 0; k < kLongLinesNearCursor; ++k) {
        const std::int64_t n = cursor - k;
        if ((mask >> k & 1) == 0 || n < 0 || n >= doc.count) continue;
        std::string line = doc.Text(n);
        line.reserve(length);
        while (!line.empty() && line.size() < length)
            line.append(line, 0, length - line.size());
        doc.longLines.emplace_back(n, doc.texts.size() - 1);
        doc.texts.insert(doc.texts.end() - 1, std::move(line));
    }
}

// The texts as GetLine hands them out: each in one block at an 8-byte boundary, readable
// only from GetLine to the next editor command, so that reading past a text's end, or a
// text kept after that, is a sanitizer report as with a host that copies and frees.
class ServedLines {
  public:
    explicit ServedLines(const Document& doc) : doc_(doc) {
        std::size_t size = 0;
        for (const std::string& text : doc.texts)
            size += (text.size() + 1 + 7) / 8 * 8;
        block_.reserve(size);
        offsets_.reserve(doc.texts.size());
        for (const std::string& text : doc.texts) {
            offsets_.push_back(block_.size());
            block_.insert(block_.end(), text.begin(), text.end());
            block_.resize((block_.size() + 1 + 7) / 8 * 8, 0);
        }
        ASAN_POISON_MEMORY_REGION(block_.data(), block_.size());
    }
    ~ServedLines() { ASAN_UNPOISON_MEMORY_REGION(block_.data(), block_.size()); }
    ServedLines(const ServedLines&) = delete;
    ServedLines& operator=(const ServedLines&) = delete;

    const char* Serve(std::int32_t n) {
        const std::size_t id = doc_.Id(n);
        served_ = block_.data() + offsets_[id];
        servedSize_ = doc_.texts[id].size() + 1;
        ASAN_UNPOISON_MEMORY_REGION(served_, servedSize_);
        return served_;
    }
    void Withdraw() {
        if (served_ != nullptr) ASAN_POISON_MEMORY_REGION(served_, servedSize_);
        served_ = nullptr;
    }

  private:
    const Document& doc_;
    std::vector<char> block_;
    std::vector<std::size_t> offsets_;
    char* served_ = nullptr;
    std::size_t servedSize_ = 0;
};

// ---- The editor commands the host does not record ----

// The SetPosition calls (the last is the restore), the GetLine calls and the lines served,
// for the checks.
struct EditorLog {
    int positions = 0;
    int fetches = 0;
    PositionRecord last = {};
    ServedLines* lines = nullptr;
};
EditorLog gLog;

// Checks every ConvertText (a length within the copy, every byte of it readable), keeps
// the SetPosition calls, and withdraws the last line served; then the host does the rest.
std::int32_t HOSTCALL CheckedEditorCommand(std::int32_t command, void* param) {
    gLog.lines->Withdraw();
    if (command == kEditorSetPosition) {
        ++gLog.positions;
        gLog.last = *static_cast<const PositionRecord*>(param);
    }
    if (command == kEditorConvertText) {
        const auto* conversion = static_cast<const ConversionRecord*>(param);
        FUZZ_CHECK(conversion->byteCount >= 0 && conversion->byteCount <= kLineCopySize);
        FUZZ_CHECK(__asan_region_is_poisoned(conversion->buffer,
                                             static_cast<std::size_t>(conversion->byteCount)) ==
                   nullptr);
    }
    return TestHost::EditorCommand(command, param);
}

// ---- Building the case ----

const char* const kFormats[] = {"%s%s%n%p", "%99999d", "%-99999d|", "%d%d%d", "%n",
                                "%lld",     "%*d",     "%",         "%#x %u", "%2147483647d"};

std::uint32_t Option(FuzzInput& in) {
    const std::uint8_t b = in.Byte();
    return (b & 1) ? (1u << (b >> 3)) : 0;
}

// A number the input picks: below 128 one of fromStart values from start, below 224 one of
// fromEnd values back from end, else any 32-bit value.
struct Pick {
    std::uint8_t mode;
    std::uint32_t value;
};

Pick ReadPick(FuzzInput& in) {
    const std::uint8_t mode = in.Byte();
    if (mode >= 224) return {mode, static_cast<std::uint32_t>(in.Int32())};
    return {mode, in.Byte() | static_cast<std::uint32_t>(in.Byte()) << 8};
}

std::int32_t Resolve(Pick pick, std::int64_t start, std::int64_t fromStart, std::int64_t end,
                     std::int64_t fromEnd) {
    if (pick.mode >= 224) return static_cast<std::int32_t>(pick.value);
    const bool forward = pick.mode < 128;
    const std::int64_t step = pick.value % std::max<std::int64_t>(forward ? fromStart : fromEnd, 1);
    return static_cast<std::int32_t>(forward ? start + step : end - step);
}

InputRecord Event(FuzzInput& in) {
    const std::uint8_t mode = in.Byte();
    if (mode >= 224) {
        InputRecord record;
        const std::string raw = in.Bytes(sizeof record);
        std::memset(&record, 0, sizeof record);
        std::memcpy(&record, raw.data(), raw.size());
        return record;
    }
    const std::uint32_t ctrl = (mode & 1) ? kConsoleLeftCtrl : kConsoleRightCtrl;
    return KeyEvent(true, kConsoleVkSpace, ctrl | (static_cast<std::uint32_t>(mode >> 1) << 4));
}

// One request: the event, the document, the cursor and the window's corner.
struct Case {
    InputRecord event;
    Document doc;
    std::int32_t line, column, top, left;
    std::string ownText; // the user's own word characters, as the registry would hold them
};

// Reads the options, the host's answers (into host) and the case. The cursor's line lies
// among the first or the last lines, or anywhere; its column is counted from the line's
// start or back from its end (at most from just past the bytes a request reads); the
// window's corner lies near the cursor. The document is the rest of the input, or word text
// made of it (long words, the bytes the word rules set apart). Word text is not repeated
// past the window: 2,001 lines full of long words took most of the target's time, and the
// window's edge does not depend on the words (they decide only where NearestFirst stops, at
// a full list, which raw documents reach too). IgnoreCase, NearestFirst and word text come
// from bits that earlier inputs left unread, so that every seed keeps its fields; so does
// flag 32, which draws the user's own word characters before the event.
Case ReadCase(FuzzInput& in, TestHost& host) {
    gSettings = {Option(in), Option(in), Option(in), Option(in), 0, 0, 0};
    const std::uint8_t flags = in.Byte();
    gSettings.ignoreCase = flags & 8u;
    gSettings.nearestFirst = flags & 16u;
    host.table = (flags & 1) ? CharTable::Win1251 : CharTable::Oem;
    host.reenterDuringInsert = (flags & 2) != 0;
    const std::uint8_t failAt = in.Byte();
    gHeap.failAt = (flags & 4) ? failAt : 0;
    const std::uint8_t shape = in.Byte(); // 1: long lines near the cursor, 2: repeated, 4: words
    const bool wordText = (shape & 4) != 0;
    const bool repeated = (shape & 2) != 0 && !wordText;
    const std::uint8_t longBits = in.Byte();
    const std::size_t longLength = kLongLineBase + in.Byte();
    const Pick picks[4] = {ReadPick(in), ReadPick(in), ReadPick(in), ReadPick(in)};
    host.menuChoice = Resolve(ReadPick(in), -2, kFirstChoices, kMaxMenuItems - 1, kLastChoices);
    host.messages[0] = in.Text(255);
    const std::uint8_t format = in.Byte();
    host.messages[8] = format < 160 ? in.Text(255) : kFormats[format % std::size(kFormats)];
    const std::string ownText = (flags & 32) != 0 ? in.OwnWordText(24) : std::string();
    const InputRecord event = Event(in);
    const std::string text = wordText ? in.WordText(in.size) : in.Rest();
    Case c{event, Periodic(text, repeated), 0, 0, 0, 0, ownText};

    const std::int64_t nearEnds = std::min(c.doc.count, kNearEnds);
    c.line = Resolve(picks[0], 0, nearEnds, c.doc.count - 1, nearEnds);
    AddLongLines(c.doc, c.line, (shape & 1) ? longBits : 0, longLength);
    const std::size_t own = std::strlen(c.doc.Text(c.line).c_str());
    const auto end = static_cast<std::int64_t>(std::min<std::size_t>(own, kLineCopySize + 1));
    c.column = Resolve(picks[1], 0, kColumnSpan, end, kBackFromEnd);
    c.top = Resolve(picks[2], -2, kNearEnds, c.line, kNearEnds);
    c.left = Resolve(picks[3], 0, kColumnSpan, c.column, kColumnSpan);
    return c;
}

// ---- What the host relies on ----

void CheckOutcome(const TestHost& host, std::int32_t result, const Case& c) {
    FUZZ_CHECK(result == 0 || result == 1);
    FUZZ_CHECK(CandidateList == nullptr);
    FUZZ_CHECK(gReentryGuard == 0);
    FUZZ_CHECK(gHeap.live == 0);
    FUZZ_CHECK(host.menus.size() <= 1);
    FUZZ_CHECK(host.CountOf(CallKind::InsertText) <= 1);
    for (const std::int32_t r : host.reentryResults)
        FUZZ_CHECK(r == 0);
    for (const HostCall& call : host.calls) {
        if (call.kind == CallKind::InsertText)
            FUZZ_CHECK(!call.text.empty() && call.text.size() <= kMaxInsertLength);
    }
    for (const MenuShown& menu : host.menus) {
        FUZZ_CHECK(menu.bottom.size() < kBottomTextSize);
        FUZZ_CHECK(!menu.labels.empty() && menu.labels.size() <= kMaxMenuItems);
        for (const std::string& label : menu.labels)
            FUZZ_CHECK(label.size() <= kMaxLabelLength);
    }
    const PositionRecord& restore = gLog.last;
    if (result == 1 && gLog.positions != 0) {
        FUZZ_CHECK(restore.cursorLine == c.line && restore.cursorColumn == c.column &&
                   restore.third == -1 && restore.windowTopLine == c.top &&
                   restore.windowLeftColumn == c.left && restore.sixth == -1);
    }
    if (result == 0) FUZZ_CHECK(gLog.positions == 0);
}

// ---- The model of one request ----

struct ModelOutcome {
    bool request = false; // the event starts a request
    std::string prefix;
    ModelList list;
    int linesFetched = 0; // by the harvest
};

bool ModelCompletionKey(const InputRecord& record) {
    const KeyEventRecord& key = record.Event.KeyEvent;
    return record.EventType == kConsoleKeyEvent && key.bKeyDown != 0 &&
           key.wVirtualKeyCode == kConsoleVkSpace &&
           (key.dwControlKeyState & (kConsoleLeftCtrl | kConsoleRightCtrl)) != 0;
}

// A line as the engine sees it: the host's text up to its first NUL, at most cut bytes of
// it, converted from the file's character table.
std::string ModelLine(const std::string& text, std::size_t cut, CharTable table) {
    std::string line = text.c_str();
    line.resize(std::min(line.size(), cut));
    if (table == CharTable::Win1251) {
        for (char& c : line)
            c = static_cast<char>(Win1251ToOem(static_cast<unsigned char>(c)));
    }
    return line;
}

// The options as the model takes them, with the user's own word characters from ownText.
ModelOptions ModelSettings(const std::string& ownText) {
    ModelOptions options;
    options.own = ModelOwnWordChars(ownText.data(), ownText.size());
    options.numbers = gSettings.numbers != 0;
    options.ignoreCase = gSettings.ignoreCase != 0;
    options.nearestFirst = gSettings.nearestFirst != 0;
    return options;
}

// What the request must find in the document as the host holds it before the request: the
// lines from the window's top down to the cursor's, or under NearestFirst from the cursor's
// up to the top, stopping before a line once the list holds 150 words. Once as many
// repeated lines in a row as the period has added nothing (no word, no failed allocation),
// the repeated lines that follow add nothing either: they are fetched but not searched.
ModelOutcome ModelRequest(const Case& c, CharTable table, int failAt) {
    const Document& doc = c.doc;
    const std::int32_t line = c.line;
    const std::int32_t column = c.column;
    ModelOutcome out;
    if (!ModelCompletionKey(c.event) || column <= 0 || column > 1024) return out;
    if (line < 0 || line >= doc.count) return out; // empty line
    const ModelOptions options = ModelSettings(c.ownText);
    const std::string own = ModelLine(doc.Text(line), 1024, table);
    const auto at = static_cast<std::size_t>(column);
    if (at > own.size() ||
        !ModelWordChar(static_cast<unsigned char>(own[at - 1]), options.numbers, options.own)) {
        return out;
    }
    out.request = true;
    out.prefix = ModelPrefix(own, at, options.numbers, options.own);
    out.list.failAt = failAt;
    std::size_t quiet = 0;
    const std::int64_t top = line > 2000 ? line - 2000 : 0;
    const std::int64_t step = options.nearestFirst ? -1 : 1;
    for (std::int64_t n = options.nearestFirst ? line : top; n >= top && n <= line; n += step) {
        if (options.nearestFirst && out.list.words.size() >= 150) break;
        ++out.linesFetched;
        const bool repeats = n != line && doc.Repeats(n);
        if (repeats && quiet >= doc.period) continue;
        const int before = out.list.allocations;
        const std::size_t cut = n == line && column < 1024 ? at : 1024;
        ModelHarvest(ModelLine(doc.Text(n), cut, table), out.prefix, options, &out.list);
        quiet = repeats && out.list.allocations == before ? quiet + 1 : 0;
    }
    return out;
}

// The beeps, the menu's labels and the text inserted, as the model has them.
void CheckAgainstModel(const TestHost& host, const ModelOutcome& model, std::int32_t result) {
    FUZZ_CHECK(result == (model.request ? 1 : 0));
    if (!model.request) return;
    // The cursor's line once for the request, then each line the harvest visits; and a
    // SetPosition for each of those and the restore.
    FUZZ_CHECK(gLog.fetches == model.linesFetched + 1);
    FUZZ_CHECK(gLog.positions == model.linesFetched + 1);
    const std::vector<std::string>& words = model.list.words;
    std::vector<std::uint32_t> beeps(static_cast<std::size_t>(model.list.failedBeeps), 0x10);
    if (words.empty() && gSettings.sound != 0) beeps.push_back(0x40);
    FUZZ_CHECK(host.beeps == beeps);
    const std::string blank = gSettings.space != 0 ? " " : "";
    std::int32_t choice = -1;
    if (words.size() == 1 && gSettings.menu1 == 0) {
        choice = 0;
    } else if (!words.empty()) {
        FUZZ_CHECK(host.menus.size() == 1 && host.menus[0].labels.size() == words.size());
        for (std::size_t k = 0; k < words.size(); ++k) {
            std::string label = k < 15 ? std::string{'&', "123456789abcdef"[k], ' '} : "  ";
            label += words[k];
            label += blank;
            FUZZ_CHECK(host.menus[0].labels[k] == label);
        }
        const auto count = static_cast<std::int32_t>(words.size());
        if (host.menuChoice >= 0 && host.menuChoice < count) choice = host.menuChoice;
    }
    if (words.size() <= 1 && gSettings.menu1 == 0) FUZZ_CHECK(host.menus.empty());
    const auto inserts = host.CallsOf(CallKind::InsertText);
    FUZZ_CHECK(inserts.size() == (choice >= 0 ? 1u : 0u));
    if (choice < 0) return;
    const std::string& word = words[static_cast<std::size_t>(choice)];
    const std::string& text = host.calls[static_cast<std::size_t>(inserts[0])].text;
    FUZZ_CHECK(text == word.substr(model.prefix.size()) + blank);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    TestHost host;
    host.plugin = LinkedPlugin();
    StartupRecord startup = host.MakeStartupRecord();
    startup.editorCommand = &CheckedEditorCommand;
    gPlatform.regOpenKeyEx = NoSettingsKey;
    gPlatform.messageBeep = &TestHost::RecordBeep;
    gPlatform.allocate = Allocate;
    gPlatform.release = Release;
    host.plugin.setStartupInfo(&startup);
    gHeap = {};
    gLog = {};
    const Case c = ReadCase(in, host);
    SetOwnWordChars(c.ownText.data(), c.ownText.size()); // as start-up would read them
    ServedLines served(c.doc);
    gLog.lines = &served;
    host.lineSource = [&served](std::int32_t n) {
        ++gLog.fetches;
        return served.Serve(n);
    };
    host.sourceLineCount = static_cast<std::int32_t>(c.doc.count);
    host.cursorLine = c.line;
    host.cursorColumn = c.column;
    host.windowTopLine = c.top;
    host.windowLeftColumn = c.left;

    const ModelOutcome model = ModelRequest(c, host.table, gHeap.failAt);
    const std::int32_t result = host.Send(c.event);
    CheckOutcome(host, result, c);
    CheckAgainstModel(host, model, result);
    gPlatform = kDefaultPlatform;
    return 0;
}
