// Bit stream writer: packs the bits into "fbin.dat", first bit in the low bit of each byte,
// and hands control to the budget stop at the bit that reaches the budget.
#include <csetjmp>
#include <cstdlib>
#include <sys/stat.h>

#include "platform.h"
#include "tarvel.h"

int32_t longueur;
FILE* bitFile;
uint8_t pendingByte;
int32_t pendingBits;
int32_t bitCount;

static const char bitFileName[] = "fbin.dat";

// A stream that failed to be written is not left behind looking like a whole one: the file is
// removed when it is a regular file (a device or a pipe is left alone).
[[noreturn]] static void FailBitFileWrite() {
    if (bitFile != nullptr) {
        fclose(bitFile);
        bitFile = nullptr;
    }
    struct stat status;
    if (stat(bitFileName, &status) == 0 && S_ISREG(status.st_mode)) {
        remove(bitFileName);
    }
    Fail("erreur ecriture fbin.dat\n");
}

void WriteBit(uint8_t bit) {
    if (bitFile == nullptr) {
        bitFile = fopen(bitFileName, "wb");
        if (bitFile == nullptr) {
            Fail("erreur ouverture fbin.dat\n");
        }
    }
    bitCount++;
    if (bit != 0) {
        pendingByte |= static_cast<uint8_t>(1u << pendingBits);
    }
    pendingBits++;
    if (pendingBits == 8) {
        pendingBits = 0;
        if (putc(pendingByte, bitFile) == EOF) {
            FailBitFileWrite();
        }
        pendingByte = 0;
    }
    // The bits of an incomplete last byte are never written.
    if (bitCount >= longueur) {
        longjmp(budgetJump, 1);
    }
}

void CloseBitFile() {
    if (fclose(bitFile) != 0) {
        bitFile = nullptr;
        FailBitFileWrite();
    }
    bitFile = nullptr;
}
