// Significance of sets: the table of descendant maxima, MaxDescendants and SSetB.
#include <cmath>

#include "platform.h"
#include "tarvel.h"

float maxMagnitude;
float* descendantMaxima;

// The running maximum only takes a strictly greater value, so a NaN magnitude never counts.
static inline void Raise(float& maximum, float value) {
    if (value > maximum) {
        maximum = value;
    }
}

// Offspring's answer without filling the arrays: the roots of the lowest band and the finest
// level have none.
static inline bool HasOffspring(int32_t row, int32_t col) {
    if (row < LIG && col < COL) {
        return ((row | col) & 1) != 0;
    }
    return row < halfHeight && col < halfWidth;
}

// Entry of a lowest-band point from its four offspring, none of which is in the lowest band.
static float LowestBandMaximum(int32_t row, int32_t col) {
    int32_t rows[4];
    int32_t cols[4];
    float maximum = 0;
    if (Offspring(rows, cols, row, col) != 0) {
        for (int k = 0; k < 4; k++) {
            if (rows[k] < halfHeight && cols[k] < halfWidth) {
                Raise(maximum, descendantMaxima[cols[k] * halfHeight + rows[k]]);
            }
            Raise(maximum, std::fabs(coefficients[cols[k] * height + rows[k]]));
        }
    }
    return maximum;
}

// Every offspring lies to the right of or below its parent, never at the same place, so
// walking the columns and the rows backwards meets every offspring before its parent. Each
// entry takes the magnitudes of the four offspring and their own entries; a point without
// offspring keeps 0, the start value of every search. Outside the lowest band the offspring
// of (row, col) are rows 2 row and 2 row + 1 of columns 2 col and 2 col + 1.
void BuildDescendantMaxima() {
    for (int32_t col = halfWidth - 1; col >= 0; col--) {
        const float* left = coefficients + static_cast<size_t>(2 * col) * height;
        const float* right = left + height;
        const float* leftBelow = descendantMaxima + static_cast<size_t>(2 * col) * halfHeight;
        const float* rightBelow = leftBelow + halfHeight;
        bool childrenHaveEntries = 2 * col < halfWidth;
        float* entries = descendantMaxima + static_cast<size_t>(col) * halfHeight;
        int32_t lowestBandRows = col < COL ? LIG : 0;
        for (int32_t row = halfHeight - 1; row >= lowestBandRows; row--) {
            float maximum = 0;
            int32_t child = 2 * row;
            if (childrenHaveEntries && child < halfHeight) {
                Raise(maximum, leftBelow[child]);
                Raise(maximum, rightBelow[child]);
                Raise(maximum, leftBelow[child + 1]);
                Raise(maximum, rightBelow[child + 1]);
            }
            Raise(maximum, std::fabs(left[child]));
            Raise(maximum, std::fabs(right[child]));
            Raise(maximum, std::fabs(left[child + 1]));
            Raise(maximum, std::fabs(right[child + 1]));
            entries[row] = maximum;
        }
        for (int32_t row = lowestBandRows - 1; row >= 0; row--) {
            entries[row] = LowestBandMaximum(row, col);
        }
    }
}

// The table holds the maximum over the whole subtree, so raising by it gives what a walk of
// the subtree would give, whatever maxMagnitude held before.
void MaxDescendants(int32_t row, int32_t col) {
    if (!HasOffspring(row, col)) {
        return;
    }
    Raise(maxMagnitude, descendantMaxima[col * halfHeight + row]);
}

// The set below the offspring: their subtrees, without their own magnitudes.
bool SSetB(int32_t row, int32_t col, float seuil) {
    int32_t rows[4];
    int32_t cols[4];
    if (Offspring(rows, cols, row, col) == 0) {
        Fail("SSetB erreur\n");
    }
    maxMagnitude = 0;
    for (int k = 0; k < 4; k++) {
        MaxDescendants(rows[k], cols[k]);
    }
    return maxMagnitude >= seuil;
}
