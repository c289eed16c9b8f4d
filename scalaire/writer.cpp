// The quantized file: every processed byte replaced by the rounded level of its value's cell.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "../common/fatal_error.h"
#include "scalaire.h"

namespace {

// The table is copied to a local array first: the compiler then knows that the stores into the
// output block cannot change it, and keeps the lookups free of reloads.
void MapBlock(const uint8_t* codeTable, const uint8_t* in, uint8_t* out, int64_t length) {
    uint8_t table[256];
    memcpy(table, codeTable, sizeof table);
    for (int64_t k = 0; k < length; k++) {
        out[k] = table[in[k]];
    }
}

} // namespace

void WriteQuantized(const char* input, const char* output, int64_t count, const SymbolNode* list,
                    const double* levels) {
    FILE* in = OpenInputFile(input);
    if (in == nullptr) {
        FatalError("fichier non ouvert");
    }
    FILE* out = CreateOutputFile(output, "wb");
    if (out == nullptr) {
        FatalError("fichier non ouvert");
    }
    uint8_t* inBlock = static_cast<uint8_t*>(calloc(blockSize, 1));
    uint8_t* outBlock = static_cast<uint8_t*>(calloc(blockSize, 1));
    uint8_t* codeTable = static_cast<uint8_t*>(calloc(256, 1));
    if (inBlock == nullptr || outBlock == nullptr || codeTable == nullptr) {
        FatalError("erreur allocation");
    }

    // The cells are those of the last assignment: values are not assigned again to the levels
    // that the last update moved.
    for (const SymbolNode* node = list; node != nullptr; node = node->next) {
        codeTable[node->value] = static_cast<uint8_t>(floor(levels[node->cell] + 0.5));
    }

    for (int64_t b = 0; b < count / blockSize; b++) {
        ReadBlock(inBlock, blockSize, in);
        MapBlock(codeTable, inBlock, outBlock, blockSize);
        WriteBlock(outBlock, blockSize, out);
    }
    int64_t rest = count % blockSize;
    ReadBlock(inBlock, rest, in);
    MapBlock(codeTable, inBlock, outBlock, rest);
    WriteBlock(outBlock, rest, out);

    free(inBlock);
    free(outBlock);
    free(codeTable);
    fclose(in);
    CloseOutputFile(out);
}
