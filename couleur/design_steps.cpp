// The LBG design steps: the initial palette, the distortion, the nearest-entry assignment under
// the city-block distance and the centroid update.
#include <cmath>
#include <cstdlib>

#include "../common/fatal_error.h"
#include "couleur.h"

namespace {

int CityBlock(const ColourNode* node, const int32_t* entry) {
    return abs(entry[0] - node->red) + abs(entry[1] - node->green) + abs(entry[2] - node->blue);
}

} // namespace

// N colours spread evenly along the list: the j-th pick is the node at position
// ceil(j * colourCount / N), so the last node is always picked. At most one pick per node, so
// with N above colourCount the picks fall short of N, and never beyond it.
void InitialPalette() {
    floatPalette = static_cast<float**>(CheckedCalloc(N, sizeof(float*)));
    for (int32_t i = 0; i < N; i++) {
        floatPalette[i] = static_cast<float*>(CheckedCalloc(3, sizeof(float)));
    }
    intPalette = static_cast<int32_t**>(CheckedCalloc(N, sizeof(int32_t*)));
    for (int32_t i = 0; i < N; i++) {
        intPalette[i] = static_cast<int32_t*>(CheckedCalloc(3, sizeof(int32_t)));
    }
    int64_t accumulator = 0;
    int32_t picks = 0;
    for (const ColourNode* node = colourList; node != nullptr; node = node->next) {
        accumulator += N;
        if (accumulator >= colourCount) {
            accumulator -= colourCount;
            floatPalette[picks][0] = node->red;
            floatPalette[picks][1] = node->green;
            floatPalette[picks][2] = node->blue;
            intPalette[picks][0] = node->red;
            intPalette[picks][1] = node->green;
            intPalette[picks][2] = node->blue;
            picks++;
        }
    }
    if (picks != N) {
        FatalError("initialisation mal faite");
    }
}

double PaletteDistortion() {
    double total = 0.0;
    for (const ColourNode* node = colourList; node != nullptr; node = node->next) {
        total += static_cast<double>(CityBlock(node, intPalette[node->cell])) *
                 static_cast<double>(node->prob);
    }
    return total;
}

// The nearest entry is the smallest key distance * 256 + index: the smallest distance, and
// among equal distances the lowest index, since N is at most 256. Keys over a contiguous copy of
// the palette let the compiler run the scan over several entries at once.
void AssignColours() {
    int32_t* red = static_cast<int32_t*>(CheckedCalloc(N, sizeof(int32_t)));
    int32_t* green = static_cast<int32_t*>(CheckedCalloc(N, sizeof(int32_t)));
    int32_t* blue = static_cast<int32_t*>(CheckedCalloc(N, sizeof(int32_t)));
    for (int32_t i = 0; i < N; i++) {
        red[i] = intPalette[i][0];
        green[i] = intPalette[i][1];
        blue[i] = intPalette[i][2];
    }
    const int32_t count = N;
    for (ColourNode* node = colourList; node != nullptr; node = node->next) {
        const int32_t r = node->red;
        const int32_t g = node->green;
        const int32_t b = node->blue;
        int32_t best = INT32_MAX;
        for (int32_t i = 0; i < count; i++) {
            int32_t d = abs(red[i] - r) + abs(green[i] - g) + abs(blue[i] - b);
            int32_t key = (d << 8) | i;
            best = key < best ? key : best;
        }
        node->cell = best & 0xff;
    }
    free(red);
    free(green);
    free(blue);
}

void UpdatePalette() {
    float* weight = static_cast<float*>(CheckedCalloc(N, sizeof(float)));
    for (const ColourNode* node = colourList; node != nullptr; node = node->next) {
        weight[node->cell] += node->prob;
    }
    for (int32_t i = 0; i < N; i++) {
        if (weight[i] != 0) {
            floatPalette[i][0] = 0;
            floatPalette[i][1] = 0;
            floatPalette[i][2] = 0;
        }
    }
    for (const ColourNode* node = colourList; node != nullptr; node = node->next) {
        float* entry = floatPalette[node->cell];
        double prob = node->prob;
        entry[0] = static_cast<float>(entry[0] + node->red * prob);
        entry[1] = static_cast<float>(entry[1] + node->green * prob);
        entry[2] = static_cast<float>(entry[2] + node->blue * prob);
    }
    // Halves round up. An entry that received no colour keeps its colour and stays available.
    for (int32_t i = 0; i < N; i++) {
        if (weight[i] == 0) {
            continue;
        }
        for (int c = 0; c < 3; c++) {
            floatPalette[i][c] = floatPalette[i][c] / weight[i];
            intPalette[i][c] = static_cast<int32_t>(floor(floatPalette[i][c] + 0.5));
        }
    }
    free(weight);
}
