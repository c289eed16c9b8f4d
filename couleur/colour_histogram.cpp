// The colour histogram: counts of the reduced colours of the plane set, and the colour list of
// those present with their representative values and probabilities.
#include <cstdlib>

#include "../common/fatal_error.h"
#include "couleur.h"

namespace {

// Counters are 32-bit integers, exact up to 2^32 - 1 occurrences of one colour, in one flat
// table of 4 bytes per reduced colour in colour list order.
void CountBlock(const uint8_t* red, const uint8_t* green, const uint8_t* blue, int64_t length,
                uint32_t* counts) {
    const ReducedLayout layout = CurrentLayout();
    for (int64_t k = 0; k < length; k++) {
        counts[ReducedIndex(layout, red[k], green[k], blue[k])]++;
    }
}

// Reduced value i under shift s stands for the middle of the samples it gathers.
uint8_t Representative(int64_t i, int shift) {
    if (shift == 0) {
        return static_cast<uint8_t>(i);
    }
    return static_cast<uint8_t>((i << shift) + (1 << (shift - 1)));
}

} // namespace

int64_t ReducedColourCount() {
    return static_cast<int64_t>(256 >> redShift) * (256 >> greenShift) * (256 >> blueShift);
}

void BuildColourHistogram() {
    int64_t tableSize = ReducedColourCount();
    uint32_t* counts = static_cast<uint32_t*>(CheckedCalloc(tableSize, sizeof(uint32_t)));
    uint8_t* red = static_cast<uint8_t*>(CheckedCalloc(blockSize, 1));
    uint8_t* green = static_cast<uint8_t*>(CheckedCalloc(blockSize, 1));
    uint8_t* blue = static_cast<uint8_t*>(CheckedCalloc(blockSize, 1));

    for (int64_t b = 0; b < planeSize / blockSize; b++) {
        ReadBlock(red, blockSize, redPlane);
        ReadBlock(green, blockSize, greenPlane);
        ReadBlock(blue, blockSize, bluePlane);
        CountBlock(red, green, blue, blockSize, counts);
    }
    int64_t rest = planeSize % blockSize;
    ReadBlock(red, rest, redPlane);
    ReadBlock(green, rest, greenPlane);
    ReadBlock(blue, rest, bluePlane);
    CountBlock(red, green, blue, rest, counts);
    free(red);
    free(green);
    free(blue);

    // The nodes are made in one zero-filled block and linked in table order.
    int64_t present = 0;
    for (int64_t index = 0; index < tableSize; index++) {
        present += counts[index] != 0;
    }
    ColourNode* nodes = static_cast<ColourNode*>(CheckedCalloc(present, sizeof(ColourNode)));
    const int blueBits = 8 - blueShift;
    const int greenBits = 8 - greenShift;
    ColourNode* node = nodes;
    for (int64_t index = 0; index < tableSize; index++) {
        if (counts[index] == 0) {
            continue;
        }
        node->prob =
            static_cast<float>(static_cast<double>(counts[index]) / static_cast<double>(planeSize));
        node->red = Representative(index >> (greenBits + blueBits), redShift);
        node->green = Representative((index >> blueBits) & ((1 << greenBits) - 1), greenShift);
        node->blue = Representative(index & ((1 << blueBits) - 1), blueShift);
        node->next = node + 1 == nodes + present ? nullptr : node + 1;
        node++;
        colourCount++;
    }
    free(counts);
    colourList = nodes;
}
