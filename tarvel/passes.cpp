// SPIHT coding passes: the first bit plane, the sorting passes over the LIP and the LIS, and
// the refinement pass over the LSP, one plane after the other until the budget stops them.
#include <cmath>

#include "platform.h"
#include "tarvel.h"

// Reconstruction of a point found significant: the centre of [seuil, 2 seuil) with its sign.
static inline float SignificantValue(float coefficient, float seuil) {
    double centre = 1.5 * static_cast<double>(seuil);
    return static_cast<float>(coefficient >= 0 ? centre : -centre);
}

int32_t InitialBitPlane() {
    maxMagnitude = 0;
    size_t count = static_cast<size_t>(height) * static_cast<size_t>(width);
    for (size_t i = 0; i < count; i++) {
        float magnitude = std::fabs(coefficients[i]);
        if (magnitude > maxMagnitude) {
            maxMagnitude = magnitude;
        }
    }
    // No bit plane holds an infinity: the stream could only misrepresent it.
    if (std::isinf(maxMagnitude)) {
        Fail("coefficient infini\n");
    }
    // ln(0) is -inf, which no integer holds.
    if (maxMagnitude == 0) {
        return 0;
    }
    return static_cast<int32_t>(std::log(static_cast<double>(maxMagnitude)) / std::log(2.0));
}

// Every live point is tested; a significant one moves to the LSP with its sign.
static void SortLip(float seuil) {
    for (int32_t i = 0; i < listLengths[LIP]; i++) {
        Point* point = &lists[LIP][i];
        if (point->type == 0) {
            continue;
        }
        int32_t index = point->col * height + point->row;
        float coefficient = coefficients[index];
        bool significant = std::fabs(coefficient) >= seuil;
        WriteBit(significant);
        if (!significant) {
            continue;
        }
        WriteBit(coefficient >= 0);
        reconstruction[index] = SignificantValue(coefficient, seuil);
        AjouterPoint(LSP, point->row, point->col, 2);
        point->type = 0;
    }
}

// The four offspring of a significant set enter the LIS as type-A sets, coded later in the
// same pass.
static void SplitIntoOffspringSets(int32_t row, int32_t col) {
    int32_t rows[4];
    int32_t cols[4];
    if (Offspring(rows, cols, row, col) == 0) {
        Fail("erreur algo\n");
    }
    for (int k = 0; k < 4; k++) {
        AjouterPoint(LIS, rows[k], cols[k], 3);
    }
}

// A type-A set found significant: each offspring is coded at once, then the set of the
// grandchildren and below is tested right away.
static void CodeSignificantTypeA(Point* entry, float seuil) {
    int32_t row = entry->row;
    int32_t col = entry->col;
    int32_t rows[4];
    int32_t cols[4];
    if (Offspring(rows, cols, row, col) == 0) {
        Fail("erreur algo\n");
    }
    for (int k = 0; k < 4; k++) {
        int32_t index = cols[k] * height + rows[k];
        float coefficient = coefficients[index];
        if (std::fabs(coefficient) >= seuil) {
            WriteBit(1);
            AjouterPoint(LSP, rows[k], cols[k], 2);
            WriteBit(coefficient >= 0);
            reconstruction[index] = SignificantValue(coefficient, seuil);
        } else {
            WriteBit(0);
            AjouterPoint(LIP, rows[k], cols[k], 2);
        }
    }
    if (!HasGrandchildren(row, col)) {
        entry->type = 0;
        return;
    }
    bool significant = SSetB(row, col, seuil);
    WriteBit(significant);
    if (significant) {
        SplitIntoOffspringSets(row, col);
    } else {
        // Tested once in this pass already: it waits, as type 5, for the next plane.
        AjouterPoint(LIS, row, col, 5);
    }
    entry->type = 0;
}

// The length is read again at every step: the sets appended during the pass are coded in it.
static void SortLis(float seuil) {
    for (int32_t i = 0; i < listLengths[LIS]; i++) {
        Point* entry = &lists[LIS][i];
        if (entry->type == 3) {
            maxMagnitude = 0;
            MaxDescendants(entry->row, entry->col);
            bool significant = maxMagnitude >= seuil;
            WriteBit(significant);
            if (significant) {
                CodeSignificantTypeA(entry, seuil);
            }
        } else if (entry->type == 4) {
            bool significant = SSetB(entry->row, entry->col, seuil);
            WriteBit(significant);
            if (significant) {
                SplitIntoOffspringSets(entry->row, entry->col);
                entry->type = 0;
            }
        }
    }
    for (int32_t i = 0; i < listLengths[LIS]; i++) {
        if (lists[LIS][i].type == 5) {
            lists[LIS][i].type = 4;
        }
    }
}

// Points of the current plane only change type; older ones get one bit each, which moves the
// reconstruction half an interval up or down in magnitude.
void RefinementPass(int32_t n) {
    float step = static_cast<float>(std::pow(2.0, n - 1));
    for (int32_t i = 0; i < listLengths[LSP]; i++) {
        Point* point = &lists[LSP][i];
        if (point->type == 0) {
            continue;
        }
        if (point->type == 2) {
            point->type = 1;
            continue;
        }
        if (point->type != 1) {
            Fail("erreur de type point\n");
        }
        int32_t index = point->col * height + point->row;
        float value = reconstruction[index];
        double s = value >= 0 ? 1.0 : -1.0;
        if (std::fabs(coefficients[index]) - std::fabs(value) >= 0) {
            WriteBit(1);
            value = static_cast<float>(value + s * step);
        } else {
            WriteBit(0);
            value = static_cast<float>(value - s * step);
        }
        reconstruction[index] = value;
    }
}

void CodeSpiht() {
    int32_t n = InitialBitPlane();
    for (int32_t row = 0; row < LIG; row++) {
        for (int32_t col = 0; col < COL; col++) {
            AjouterPoint(LIP, row, col, 2);
        }
    }
    int32_t rows[4];
    int32_t cols[4];
    for (int32_t row = 0; row < LIG; row++) {
        for (int32_t col = 0; col < COL; col++) {
            if (Offspring(rows, cols, row, col) != 0) {
                AjouterPoint(LIS, row, col, 3);
            }
        }
    }
    for (;;) {
        double threshold = std::pow(2.0, n);
        float seuil = static_cast<float>(threshold);
        fprintf(stderr, "n=%d seuil=%f\n", n, threshold);
        SortLip(seuil);
        SortLis(seuil);
        RefinementPass(n);
        n--;
    }
}
