// The host-call trampoline: it calls at the offset asked for, reports each rule a callee
// breaks, and leaves its own caller unharmed.
#include "testhost/trampoline.h"

#include <gtest/gtest.h>

extern "C" {
std::uint32_t gEntryEsp; // esp at the entry of KeepsRules (the return address pushed)

// Callees of two stdcall arguments that return their sum: one keeps every rule, each other
// breaks one.
void KeepsRules();
void ClobbersEbx();
void ClobbersEsi();
void ClobbersEdi();
void ClobbersEbp();
void LeavesDirectionSet();
void ChangesX87Control();
void ChangesMxcsrControl();
void KeepsItsArguments();
}

asm(R"(
        .text
        .globl _KeepsRules, _ClobbersEbx, _ClobbersEsi, _ClobbersEdi, _ClobbersEbp
        .globl _LeavesDirectionSet, _ChangesX87Control, _ChangesMxcsrControl
        .globl _KeepsItsArguments
_KeepsRules:
        movl    %esp, _gEntryEsp
        movl    4(%esp), %eax
        addl    8(%esp), %eax
        ret     $8
_ClobbersEbx:
        xorl    %ebx, %ebx
        jmp     _KeepsRules
_ClobbersEsi:
        xorl    %esi, %esi
        jmp     _KeepsRules
_ClobbersEdi:
        xorl    %edi, %edi
        jmp     _KeepsRules
_ClobbersEbp:
        xorl    %ebp, %ebp
        jmp     _KeepsRules
_LeavesDirectionSet:
        std
        jmp     _KeepsRules
_ChangesX87Control:
        pushl   %eax
        fnstcw  (%esp)
        xorl    $0x0C00, (%esp)
        fldcw   (%esp)
        popl    %eax
        jmp     _KeepsRules
_ChangesMxcsrControl:
        pushl   %eax
        stmxcsr (%esp)
        xorl    $0x6000, (%esp)
        ldmxcsr (%esp)
        popl    %eax
        jmp     _KeepsRules
_KeepsItsArguments:
        movl    4(%esp), %eax
        addl    8(%esp), %eax
        ret
)");

namespace {

constexpr std::uint32_t kArguments[] = {40, 2};
constexpr std::uint32_t kCount = 2;
constexpr std::uint32_t kOffsets[] = {0, 4, 8, 12};

// The state a caller of the trampoline relies on, read in place.
struct CallerState {
    std::uint16_t x87Control = 0;
    std::uint32_t mxcsr = 0;
    std::uint32_t eflags = 0;
};

CallerState ReadCallerState() {
    CallerState state;
    asm volatile("fnstcw %0" : "=m"(state.x87Control));
    asm volatile("stmxcsr %0" : "=m"(state.mxcsr));
    asm volatile("pushfl; popl %0" : "=r"(state.eflags));
    return state;
}

std::uint32_t Call(void (*callee)(), std::uint32_t offset, TrampolineRecord* record) {
    return TrampolineCall(reinterpret_cast<const void*>(callee), kArguments, kCount, offset,
                          record);
}

// At every offset the callee is entered with esp % 16 == offset once its return address is
// taken off, gets its arguments in order, and the record holds no fault.
TEST(Trampoline, CallsAtTheOffsetAndFindsNoFaultInAKeptCall) {
    for (const std::uint32_t offset : kOffsets) {
        TrampolineRecord record = {};
        EXPECT_EQ(Call(&KeepsRules, offset, &record), 42u) << offset;
        EXPECT_EQ((gEntryEsp + 4) % kTrampolineAlignment, offset);
        EXPECT_EQ(record.espAtCall, gEntryEsp + 4);
        EXPECT_EQ(TrampolineFaults(record, kCount, offset), "") << offset;
    }
}

// Each broken rule is reported, alone, with the value seen; the trampoline's caller gets
// its own direction flag, x87 control word and MXCSR back.
TEST(Trampoline, ReportsEachBrokenRuleAndKeepsItsCallerWhole) {
    const struct {
        void (*callee)();
        const char* report;
    } cases[] = {
        {&ClobbersEbx, "ebx 0x00000000, expected 0xEB0C0001"},
        {&ClobbersEsi, "esi 0x00000000, expected 0xE5100002"},
        {&ClobbersEdi, "edi 0x00000000, expected 0xED100003"},
        {&ClobbersEbp, "ebp 0x00000000, expected 0xEB900004"},
        {&LeavesDirectionSet, "eflags with the direction flag set"},
        {&ChangesX87Control, "x87 control word"},
        {&ChangesMxcsrControl, "MXCSR control bits"},
        {&KeepsItsArguments, "esp after the call (stdcall: the callee removes its arguments)"},
    };
    for (const auto& c : cases) {
        for (const std::uint32_t offset : {4u, 12u}) {
            const CallerState before = ReadCallerState();
            TrampolineRecord record = {};
            EXPECT_EQ(Call(c.callee, offset, &record), 42u) << c.report;
            const CallerState after = ReadCallerState();
            const std::string faults = TrampolineFaults(record, kCount, offset);
            EXPECT_EQ(faults.rfind(c.report, 0), 0u) << faults;
            EXPECT_EQ(faults.find(';'), std::string::npos) << faults;
            EXPECT_EQ(after.x87Control, before.x87Control) << c.report;
            EXPECT_EQ(after.mxcsr, before.mxcsr) << c.report;
            EXPECT_EQ(after.eflags & 0x400u, 0u) << c.report;
        }
    }
}

} // namespace
