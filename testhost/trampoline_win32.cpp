// Reading a trampoline record: which rules of a host's call the callee broke.
#include "testhost/trampoline.h"

#include <cstdio>

namespace {

constexpr std::uint32_t kDirectionFlag = 0x400;
// MXCSR bits 6-15 are control (masks, rounding, flush to zero, denormals are zero) that a
// callee must keep; bits 0-5 are sticky exception flags that any arithmetic may set.
constexpr std::uint32_t kMxcsrControl = 0xFFC0;
constexpr std::size_t kFaultText = 128; // one fault's text, the longest description included

// Appends "what 0xSEEN, expected 0xEXPECTED" to faults, after a "; " when it holds some.
void Add(std::string* faults, const char* what, std::uint32_t seen, std::uint32_t expected) {
    char text[kFaultText];
    std::snprintf(text, sizeof text, "%s 0x%08X, expected 0x%08X", what,
                  static_cast<unsigned>(seen), static_cast<unsigned>(expected));
    if (!faults->empty()) *faults += "; ";
    *faults += text;
}

// The stack: where the call was made, and where the callee left esp.
void AddStackFaults(std::string* faults, const TrampolineRecord& record, std::uint32_t count,
                    std::uint32_t offset) {
    if (record.espAtCall % kTrampolineAlignment != offset) {
        Add(faults, "esp at the call (the trampoline's own fault)", record.espAtCall,
            record.espAtCall - record.espAtCall % kTrampolineAlignment + offset);
    }
    const std::uint32_t espExpected = record.espAtCall + count * 4;
    if (record.espAfter != espExpected) {
        Add(faults, "esp after the call (stdcall: the callee removes its arguments)",
            record.espAfter, espExpected);
    }
}

// The kept registers, the direction flag and the floating-point control.
void AddStateFaults(std::string* faults, const TrampolineRecord& record) {
    if (record.ebx != TRAMPOLINE_MARKER_EBX) Add(faults, "ebx", record.ebx, TRAMPOLINE_MARKER_EBX);
    if (record.esi != TRAMPOLINE_MARKER_ESI) Add(faults, "esi", record.esi, TRAMPOLINE_MARKER_ESI);
    if (record.edi != TRAMPOLINE_MARKER_EDI) Add(faults, "edi", record.edi, TRAMPOLINE_MARKER_EDI);
    if (record.ebp != TRAMPOLINE_MARKER_EBP) Add(faults, "ebp", record.ebp, TRAMPOLINE_MARKER_EBP);
    if ((record.eflags & kDirectionFlag) != 0) {
        Add(faults, "eflags with the direction flag set", record.eflags,
            record.eflags & ~kDirectionFlag);
    }
    if (record.x87ControlAfter != record.x87ControlBefore) {
        Add(faults, "x87 control word", record.x87ControlAfter, record.x87ControlBefore);
    }
    if ((record.mxcsrAfter & kMxcsrControl) != (record.mxcsrBefore & kMxcsrControl)) {
        Add(faults, "MXCSR control bits", record.mxcsrAfter & kMxcsrControl,
            record.mxcsrBefore & kMxcsrControl);
    }
}

} // namespace

std::string TrampolineFaults(const TrampolineRecord& record, std::uint32_t count,
                             std::uint32_t offset) {
    std::string faults;
    AddStackFaults(&faults, record, count, offset);
    AddStateFaults(&faults, record);
    return faults;
}
