// The symbol histogram: counts of the byte values of the input and the list of those present.
#include <cstdlib>

#include "../common/fatal_error.h"
#include "scalaire.h"

namespace {

// Four interleaved count tables, so that runs of one byte value do not chain their updates.
// Integer counts equal sums of 1.0 exactly (far below 2^53), so the probabilities are those of
// counting in doubles.
constexpr int countLanes = 4;

void CountBlock(const uint8_t* block, int64_t length, uint64_t (*counts)[256]) {
    int64_t k = 0;
    for (; k + countLanes <= length; k += countLanes) {
        counts[0][block[k]]++;
        counts[1][block[k + 1]]++;
        counts[2][block[k + 2]]++;
        counts[3][block[k + 3]]++;
    }
    for (; k < length; k++) {
        counts[0][block[k]]++;
    }
}

SymbolNode* NewNode() {
    SymbolNode* node = static_cast<SymbolNode*>(calloc(1, sizeof(SymbolNode)));
    if (node == nullptr) {
        FatalError("erreur allocation");
    }
    return node;
}

} // namespace

SymbolNode* BuildHistogram(const char* name, int64_t count) {
    FILE* file = OpenInputFile(name);
    if (file == nullptr) {
        FatalError("fichier non ouvert");
    }
    uint8_t* block = static_cast<uint8_t*>(calloc(blockSize, 1));
    auto counts = static_cast<uint64_t(*)[256]>(calloc(countLanes, sizeof(uint64_t[256])));
    if (block == nullptr || counts == nullptr) {
        FatalError("erreur allocation");
    }

    for (int64_t b = 0; b < count / blockSize; b++) {
        ReadBlock(block, blockSize, file);
        CountBlock(block, blockSize, counts);
    }
    int64_t rest = count % blockSize;
    ReadBlock(block, rest, file);
    CountBlock(block, rest, counts);

    SymbolNode* first = nullptr;
    SymbolNode* last = nullptr;
    for (int v = 0; v < 256; v++) {
        uint64_t total = counts[0][v] + counts[1][v] + counts[2][v] + counts[3][v];
        if (total == 0) {
            continue;
        }
        SymbolNode* node = NewNode();
        node->value = static_cast<uint8_t>(v);
        node->prob = static_cast<double>(total);
        if (last == nullptr) {
            first = node;
        } else {
            last->next = node;
        }
        last = node;
        symbolCount++;
    }

    free(block);
    free(counts);
    fclose(file);

    double reciprocal = 1.0 / static_cast<double>(count);
    for (SymbolNode* node = first; node != nullptr; node = node->next) {
        node->prob *= reciprocal;
    }
    return first;
}
