// A call into a plug-in as a host built by another compiler makes it (i686 Windows only).
//
// Such a host keeps the stack aligned to 4 bytes only, and expects from every stdcall
// callee what the Windows calling convention promises: the arguments removed, ebx, esi,
// edi and ebp kept, the direction flag clear, the x87 control word and the MXCSR control
// bits as they were. TrampolineCall (trampoline_win32.S) makes the call at a chosen stack
// offset with marker values in the four kept registers, and records what it saw in a
// TrampolineRecord. It keeps its own caller's registers, flags and floating-point control
// whatever the callee does, so a faulty callee is reported rather than felt.
//
// This header is read by the assembler too: the record's layout and the markers are
// plain macros, checked against the C++ record below.
#pragma once

// Values put in the kept registers before the call.
#define TRAMPOLINE_MARKER_EBX 0xEB0C0001
#define TRAMPOLINE_MARKER_ESI 0xE5100002
#define TRAMPOLINE_MARKER_EDI 0xED100003
#define TRAMPOLINE_MARKER_EBP 0xEB900004

// Byte offsets of the record's fields.
#define TRAMPOLINE_ESP_AT_CALL 0
#define TRAMPOLINE_ESP_AFTER 4
#define TRAMPOLINE_EBX 8
#define TRAMPOLINE_ESI 12
#define TRAMPOLINE_EDI 16
#define TRAMPOLINE_EBP 20
#define TRAMPOLINE_EFLAGS 24
#define TRAMPOLINE_RESULT 28
#define TRAMPOLINE_X87_BEFORE 32
#define TRAMPOLINE_X87_AFTER 36
#define TRAMPOLINE_MXCSR_BEFORE 40
#define TRAMPOLINE_MXCSR_AFTER 44

#if !defined(__ASSEMBLER__)

#include <cstddef>
#include <cstdint>
#include <string>

// What the trampoline saw around one call. "After" values are the callee's, read before
// the trampoline puts its caller's state back.
struct TrampolineRecord {
    std::uint32_t espAtCall; // esp at the call instruction, the arguments pushed
    std::uint32_t espAfter;  // esp once the callee returned
    std::uint32_t ebx, esi, edi, ebp;
    std::uint32_t eflags;
    std::uint32_t result; // eax
    std::uint32_t x87ControlBefore, x87ControlAfter;
    std::uint32_t mxcsrBefore, mxcsrAfter;
};
static_assert(offsetof(TrampolineRecord, espAtCall) == TRAMPOLINE_ESP_AT_CALL);
static_assert(offsetof(TrampolineRecord, espAfter) == TRAMPOLINE_ESP_AFTER);
static_assert(offsetof(TrampolineRecord, ebx) == TRAMPOLINE_EBX);
static_assert(offsetof(TrampolineRecord, esi) == TRAMPOLINE_ESI);
static_assert(offsetof(TrampolineRecord, edi) == TRAMPOLINE_EDI);
static_assert(offsetof(TrampolineRecord, ebp) == TRAMPOLINE_EBP);
static_assert(offsetof(TrampolineRecord, eflags) == TRAMPOLINE_EFLAGS);
static_assert(offsetof(TrampolineRecord, result) == TRAMPOLINE_RESULT);
static_assert(offsetof(TrampolineRecord, x87ControlBefore) == TRAMPOLINE_X87_BEFORE);
static_assert(offsetof(TrampolineRecord, x87ControlAfter) == TRAMPOLINE_X87_AFTER);
static_assert(offsetof(TrampolineRecord, mxcsrBefore) == TRAMPOLINE_MXCSR_BEFORE);
static_assert(offsetof(TrampolineRecord, mxcsrAfter) == TRAMPOLINE_MXCSR_AFTER);

// The most 32-bit arguments a call takes (the entry points take at most two).
inline constexpr std::uint32_t kTrampolineMaxArguments = 16;
// The offsets a host's stack can have from 16-byte alignment.
inline constexpr std::uint32_t kTrampolineAlignment = 16;
inline constexpr std::uint32_t kTrampolineOffsetStep = 4;

// Calls the stdcall function target with count 32-bit arguments (at most
// kTrampolineMaxArguments), with esp % 16 == offset at the call instruction (offset 0, 4, 8
// or 12), the markers in the kept registers and the direction flag clear. Fills record and
// returns the callee's eax. Nested calls (a callee that calls back into code that uses the
// trampoline again) are fine; calls from two threads at once are not.
extern "C" std::uint32_t TrampolineCall(const void* target, const std::uint32_t* arguments,
                                        std::uint32_t count, std::uint32_t offset,
                                        TrampolineRecord* record);

// Every rule of the call that the record shows broken, as "what: seen, expected" parts
// joined by "; ", for a call of count arguments at offset; empty when all were kept.
std::string TrampolineFaults(const TrampolineRecord& record, std::uint32_t count,
                             std::uint32_t offset);

#endif
