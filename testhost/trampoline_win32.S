// TrampolineCall: a stdcall call at a chosen stack offset, as a host built by another
// compiler makes it, with what the callee left behind recorded (see trampoline.h).
//
// Frame, from ebp: +8 target, +12 arguments, +16 count, +20 offset, +24 record; -4, -8, -12
// the caller's ebx, esi, edi; -16 the enclosing trampoline's saved esp (calls nest when a
// callee calls back into code that uses the trampoline again).
//
// During the call every register holds the callee's or a marker, so the trampoline finds
// its frame again through gTrampolineEsp, not through a register or the callee's esp.

#include "testhost/trampoline.h"

#define ARG_TARGET 8
#define ARG_ARGUMENTS 12
#define ARG_COUNT 16
#define ARG_OFFSET 20
#define ARG_RECORD 24
// Room left between the frame and the callee's arguments.
#define CALL_GAP 32
// Bytes of the six values pushed after the call, and of the frame below ebp.
#define SAVED_AFTER_CALL 24
#define FRAME_BELOW_EBP 16

        .data
        .balign 4
gTrampolineEsp:                         // esp of the innermost trampoline's frame
        .long   0

        .text
        .globl  _TrampolineCall
        .balign 16
_TrampolineCall:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        pushl   gTrampolineEsp
        movl    %esp, gTrampolineEsp

        // The caller's floating-point control, to compare and to restore.
        movl    ARG_RECORD(%ebp), %edx
        movl    $0, TRAMPOLINE_X87_BEFORE(%edx)
        movl    $0, TRAMPOLINE_X87_AFTER(%edx)
        fnstcw  TRAMPOLINE_X87_BEFORE(%edx)
        stmxcsr TRAMPOLINE_MXCSR_BEFORE(%edx)

        // esp at the call: below the frame, the arguments' bytes under it, and
        // esp % 16 == offset.
        movl    ARG_COUNT(%ebp), %ecx
        leal    (,%ecx,4), %eax
        movl    %esp, %ebx
        subl    %eax, %ebx
        subl    $CALL_GAP, %ebx
        andl    $-16, %ebx
        addl    ARG_OFFSET(%ebp), %ebx
        movl    %ebx, TRAMPOLINE_ESP_AT_CALL(%edx)
        movl    %ebx, %esp

        // The arguments, first at the lowest address as pushing them in reverse leaves them.
        movl    ARG_ARGUMENTS(%ebp), %esi
        movl    %esp, %edi
        cld
        rep movsl

        movl    ARG_TARGET(%ebp), %eax
        movl    $TRAMPOLINE_MARKER_EBX, %ebx
        movl    $TRAMPOLINE_MARKER_ESI, %esi
        movl    $TRAMPOLINE_MARKER_EDI, %edi
        movl    $TRAMPOLINE_MARKER_EBP, %ebp
        call    *%eax

        // Back on the frame first, touching no flag (xchg, push and lea change none);
        // gTrampolineEsp then holds the callee's esp.
        xchgl   %esp, gTrampolineEsp
        pushfl
        pushl   %eax
        pushl   %ebp
        pushl   %edi
        pushl   %esi
        pushl   %ebx
        leal    (SAVED_AFTER_CALL + FRAME_BELOW_EBP)(%esp), %ebp
        cld

        movl    ARG_RECORD(%ebp), %edx
        popl    TRAMPOLINE_EBX(%edx)
        popl    TRAMPOLINE_ESI(%edx)
        popl    TRAMPOLINE_EDI(%edx)
        popl    TRAMPOLINE_EBP(%edx)
        popl    TRAMPOLINE_RESULT(%edx)
        popl    TRAMPOLINE_EFLAGS(%edx)
        movl    gTrampolineEsp, %eax
        movl    %eax, TRAMPOLINE_ESP_AFTER(%edx)
        fnstcw  TRAMPOLINE_X87_AFTER(%edx)
        stmxcsr TRAMPOLINE_MXCSR_AFTER(%edx)

        // The caller's state back, whatever the callee left.
        fldcw   TRAMPOLINE_X87_BEFORE(%edx)
        ldmxcsr TRAMPOLINE_MXCSR_BEFORE(%edx)
        popl    gTrampolineEsp
        movl    TRAMPOLINE_RESULT(%edx), %eax
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret
