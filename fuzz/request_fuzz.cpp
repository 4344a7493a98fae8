// Fuzzes a whole request through the test host: random document, cursor, window, options,
// character table, menu answer, message texts (hostile formats among them), input event,
// and a node allocation that fails. Checks what the host must be able to rely on, and the
// beeps, menu and insertion against a plain model of the request.
#include "engine/engine.h"
#include "fuzz/fuzz_input.h"
#include "tests/support/harvest_model.h"
#include "platform/platform.h"
#include "testhost/plugin_loader.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <set>

namespace {

// ---- A heap that may fail once and tracks every block ----

struct TrackedHeap {
    int calls = 0;
    int failAt = 0;
    std::set<void*> live;
};
TrackedHeap gHeap;

void* Allocate(std::size_t size) {
    if (++gHeap.calls == gHeap.failAt) return nullptr;
    void* block = std::malloc(size);
    gHeap.live.insert(block);
    return block;
}

void Release(void* block) {
    FUZZ_CHECK(gHeap.live.erase(block) == 1);
    std::free(block);
}

// ---- Building the case ----

const char* const kFormats[] = {"%s%s%n%p", "%99999d", "%-99999d|", "%d%d%d", "%n",
                                "%lld",     "%*d",     "%",         "%#x %u", "%2147483647d"};

std::uint32_t Option(FuzzInput& in) {
    const std::uint8_t b = in.Byte();
    return (b & 1) ? (1u << (b >> 3)) : 0;
}

std::int32_t SmallOrWild(FuzzInput& in, std::int32_t span, std::int32_t offset) {
    const std::uint8_t mode = in.Byte();
    if (mode < 200) {
        const unsigned value = in.Byte() | static_cast<unsigned>(in.Byte()) << 8;
        return static_cast<std::int32_t>(value % static_cast<unsigned>(span)) + offset;
    }
    return in.Int32();
}

std::vector<std::string> Document(FuzzInput& in, std::uint8_t shape) {
    std::vector<std::string> lines;
    std::string text = in.Rest();
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (shape & 1) { // long lines: each repeated past the 1024 bytes a request reads
        for (std::string& line : lines) {
            const std::string unit = line;
            while (!unit.empty() && line.size() < 1100)
                line += unit;
        }
    }
    if (shape & 2) { // more lines than a window holds
        const std::size_t count = lines.size();
        while (lines.size() < 2050)
            lines.push_back(lines[lines.size() % count]);
    }
    return lines;
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
    const std::uint32_t ctrl = (mode & 1) ? kLeftCtrlPressed : kRightCtrlPressed;
    return KeyEvent(true, kVkSpace, ctrl | (static_cast<std::uint32_t>(mode >> 1) << 4));
}

// ---- What the host relies on ----

void CheckOutcome(const TestHost& host, std::int32_t result, std::int32_t line, std::int32_t column,
                  std::int32_t top, std::int32_t left) {
    FUZZ_CHECK(result == 0 || result == 1);
    FUZZ_CHECK(CandidateList == nullptr);
    FUZZ_CHECK(gReentryGuard == 0);
    FUZZ_CHECK(gHeap.live.empty());
    FUZZ_CHECK(host.menus.size() <= 1);
    FUZZ_CHECK(host.CountOf(CallKind::InsertText) <= 1);
    for (const std::int32_t r : host.reentryResults)
        FUZZ_CHECK(r == 0);
    for (const HostCall& call : host.calls) {
        if (call.kind == CallKind::ConvertText)
            FUZZ_CHECK(call.args[0] >= 0 && call.args[0] <= 1024);
        if (call.kind == CallKind::InsertText)
            FUZZ_CHECK(!call.text.empty() && call.text.size() <= 32);
    }
    for (const MenuShown& menu : host.menus) {
        FUZZ_CHECK(menu.bottom.size() < kBottomTextSize);
        FUZZ_CHECK(!menu.labels.empty() && menu.labels.size() <= kMaxMenuItems);
        for (const std::string& label : menu.labels)
            FUZZ_CHECK(label.size() <= 35);
    }
    const auto positions = host.CallsOf(CallKind::SetPosition);
    if (result == 1 && !positions.empty()) {
        const auto& restore = host.calls[static_cast<std::size_t>(positions.back())].args;
        FUZZ_CHECK(restore == (std::vector<std::int64_t>{line, column, -1, top, left, -1}));
    }
    if (result == 0) FUZZ_CHECK(positions.empty());
}

// ---- The model of one request ----

struct ModelOutcome {
    bool request = false; // the event starts a request
    std::string prefix;
    ModelList list;
};

bool ModelCompletionKey(const InputRecord& record) {
    const KeyEventRecord& key = record.Event.KeyEvent;
    return record.EventType == kKeyEvent && key.bKeyDown != 0 && key.wVirtualKeyCode == kVkSpace &&
           (key.dwControlKeyState & (kLeftCtrlPressed | kRightCtrlPressed)) != 0;
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

// What the request must find in the document as the host holds it before the request.
ModelOutcome ModelRequest(const InputRecord& event, const std::vector<std::string>& lines,
                          std::int32_t line, std::int32_t column, CharTable table, int failAt) {
    ModelOutcome out;
    if (!ModelCompletionKey(event) || column <= 0 || column > 1024) return out;
    if (line < 0 || static_cast<std::size_t>(line) >= lines.size()) return out; // empty line
    const bool numbers = gSettings.numbers != 0;
    const std::string own = ModelLine(lines[static_cast<std::size_t>(line)], 1024, table);
    const auto at = static_cast<std::size_t>(column);
    if (at > own.size() || !ModelWordChar(static_cast<unsigned char>(own[at - 1]), numbers)) {
        return out;
    }
    out.request = true;
    out.prefix = ModelPrefix(own, at, numbers);
    out.list.failAt = failAt;
    for (std::int64_t n = line > 2000 ? line - 2000 : 0; n <= line; ++n) {
        const std::size_t cut = n == line && column < 1024 ? at : 1024;
        const std::string text = ModelLine(lines[static_cast<std::size_t>(n)], cut, table);
        ModelHarvest(text, out.prefix, numbers, &out.list);
    }
    return out;
}

// The beeps, the menu's labels and the text inserted, as the model has them.
void CheckAgainstModel(const TestHost& host, const ModelOutcome& model, std::int32_t result) {
    FUZZ_CHECK(result == (model.request ? 1 : 0));
    if (!model.request) return;
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
    host.Start(LinkedPlugin());
    gSettings = {Option(in), Option(in), Option(in), Option(in)};
    gPlatform.messageBeep = &TestHost::RecordBeep;
    gPlatform.allocate = Allocate;
    gPlatform.release = Release;
    gHeap = {};
    const std::uint8_t flags = in.Byte();
    host.table = (flags & 1) ? CharTable::Win1251 : CharTable::Oem;
    host.reenterDuringInsert = (flags & 2) != 0;
    gHeap.failAt = (flags & 4) ? in.Byte() : 0;
    const std::uint8_t shape = in.Byte();
    const std::int32_t line = SmallOrWild(in, 64, 0);
    const std::int32_t column = SmallOrWild(in, 1100, 0);
    host.windowTopLine = SmallOrWild(in, 64, -2);
    host.windowLeftColumn = SmallOrWild(in, 1100, 0);
    host.menuChoice = SmallOrWild(in, 24, -2);
    host.messages[0] = in.Text(255);
    const std::uint8_t format = in.Byte();
    host.messages[8] = format < 160 ? in.Text(255) : kFormats[format % std::size(kFormats)];
    const InputRecord event = Event(in);
    host.SetText(Document(in, shape), line, column);
    const std::int32_t top = host.windowTopLine;
    const std::int32_t left = host.windowLeftColumn;

    const ModelOutcome model =
        ModelRequest(event, host.lines, line, column, host.table, gHeap.failAt);

    const std::int32_t result = host.Send(event);
    CheckOutcome(host, result, line, column, top, left);
    CheckAgainstModel(host, model, result);
    gPlatform = kDefaultPlatform;
    return 0;
}
