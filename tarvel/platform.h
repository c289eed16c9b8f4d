// The small platform layer of tarvel: binary standard streams, the budget jump, the error end.
#pragma once

#include <csetjmp>
#include <cstdio>
#include <limits>

// The coefficient stream is the arrays' own bytes: 32-bit IEEE floats, little-endian.
static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == 4,
              "the coefficient stream needs 32-bit IEEE floats");
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the coefficient stream is little-endian: this host would need a byte swap"
#endif

// Where the driver resumes when the bit writer reaches the budget; the jump carries 1.
extern jmp_buf budgetJump;

// Switches a standard stream to binary mode (a no-op where text and binary are the same).
void SetBinaryMode(FILE* stream);

// Asks for large pages over a zero-filled block of 16 MiB or more: one fault then maps 2 MiB
// instead of 4 KiB. Only a hint; where the system has no such thing it does nothing.
void PreferLargePages(void* block, size_t bytes);
