// The platform layer of tarvel: binary standard streams, the budget jump point, the error end.
#include "platform.h"

#include <cstdint>
#include <cstdlib>

#include "tarvel.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif
#ifdef __linux__
#include <sys/mman.h>
#endif

jmp_buf budgetJump;

void SetBinaryMode(FILE* stream) {
#ifdef _WIN32
    _setmode(_fileno(stream), _O_BINARY);
#else
    (void)stream;
#endif
}

void PreferLargePages(void* block, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Under 16 MiB a partly used large page would cost more memory than the faults it saves.
    const uintptr_t largePage = 2u << 20;
    if (bytes < (16u << 20)) {
        return;
    }
    uintptr_t start = (reinterpret_cast<uintptr_t>(block) + largePage - 1) & ~(largePage - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(largePage - 1);
    if (end > start) {
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    }
#else
    (void)block;
    (void)bytes;
#endif
}

void Fail(const char* message) {
    fputs(message, stderr);
    exit(-1);
}
