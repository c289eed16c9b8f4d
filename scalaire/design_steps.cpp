// The Lloyd-Max design steps: initial levels, distance, nearest-level assignment, centroids and
// distortion, all over the probability-weighted list of present byte values.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "../common/fatal_error.h"
#include "scalaire.h"

namespace {

double* NewTable(int32_t length) {
    double* table = static_cast<double*>(calloc(static_cast<size_t>(length), sizeof(double)));
    if (table == nullptr) {
        FatalError("erreur allocation");
    }
    return table;
}

} // namespace

// Levels spread evenly from the smallest present value towards the largest, in integer steps.
double* InitialLevels(const SymbolNode* list, int32_t levelCount) {
    int min = 255;
    int max = 0;
    for (const SymbolNode* node = list; node != nullptr; node = node->next) {
        if (node->value < min) {
            min = node->value;
        }
        if (node->value > max) {
            max = node->value;
        }
    }
    fprintf(stderr, "min = %d, max = %d\n", min, max);

    double* levels = NewTable(levelCount);
    for (int64_t i = 0; i < levelCount; i++) {
        levels[i] = static_cast<double>(min + i * (max - min) / levelCount);
    }
    return levels;
}

// The logarithm of 0 is -infinity and is let flow on: distances to 0 become infinite or NaN.
double Distance(double a, double b) {
    double d;
    switch (distanceType) {
    case 0:
        d = a - b;
        break;
    case 1:
        d = log(a) - log(b);
        break;
    case 2:
        d = pow(a, 0.1) - pow(b, 0.1);
        break;
    default:
        FatalError("selection distance incorrecte");
    }
    return d * d;
}

// A strictly smaller distance is needed to leave a level, so ties go to the lower index and NaN
// distances never win.
void AssignNearest(SymbolNode* list, const double* levels, int32_t levelCount) {
    for (SymbolNode* node = list; node != nullptr; node = node->next) {
        double best = Distance(node->value, levels[0]);
        node->cell = 0;
        for (int32_t i = 1; i < levelCount; i++) {
            double d = Distance(node->value, levels[i]);
            if (d < best) {
                node->cell = i;
                best = d;
            }
        }
    }
}

// Each level becomes the probability-weighted mean of the values of its cell.
void UpdateCentroids(const SymbolNode* list, double* levels, int32_t levelCount) {
    double* mass = NewTable(levelCount);
    double* sum = NewTable(levelCount);
    for (const SymbolNode* node = list; node != nullptr; node = node->next) {
        mass[node->cell] += node->prob;
    }
    for (const SymbolNode* node = list; node != nullptr; node = node->next) {
        sum[node->cell] += node->value * node->prob;
    }
    for (int32_t i = 0; i < levelCount; i++) {
        if (mass[i] == 0.0) {
            FatalError("pas de representant");
        }
        levels[i] = sum[i] / mass[i];
    }
    free(mass);
    free(sum);
}

// Mean distortion per processed byte.
double Distortion(const SymbolNode* list, const double* levels) {
    double total = 0.0;
    for (const SymbolNode* node = list; node != nullptr; node = node->next) {
        total += Distance(levels[node->cell], node->value) * node->prob;
    }
    return total;
}
