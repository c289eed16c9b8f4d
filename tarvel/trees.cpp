// Geometry of the spatial orientation trees: image size from the command line, offspring of a
// point and the presence of grandchildren. Needs no coefficients.
#include "tarvel.h"

int32_t LIG;
int32_t COL;
int32_t EXPOS;
int32_t height;
int32_t width;
int32_t halfHeight;
int32_t halfWidth;

// The driver has checked that the sizes fit in 32 bits; the shifts are made in 64 bits anyway.
void SetGeometry() {
    halfWidth = static_cast<int32_t>(static_cast<int64_t>(COL) << (EXPOS - 1));
    halfHeight = static_cast<int32_t>(static_cast<int64_t>(LIG) << (EXPOS - 1));
    width = static_cast<int32_t>(static_cast<int64_t>(COL) << EXPOS);
    height = static_cast<int32_t>(static_cast<int64_t>(LIG) << EXPOS);
}

// In the lowest band the 2 x 2 groups are read as trees: the top-left point of a group is a
// root without offspring, the other three lead into the three coarsest detail bands at the
// group's place. Elsewhere a point's offspring are the 2 x 2 block at twice its coordinates,
// except on the finest level. The order of the four is the order in which they are coded.
int Offspring(int32_t* rows, int32_t* cols, int32_t row, int32_t col) {
    int32_t r0;
    int32_t c0;
    if (row >= 0 && row < LIG && col >= 0 && col < COL) {
        bool rowOdd = (row & 1) != 0;
        bool colOdd = (col & 1) != 0;
        if (!rowOdd && !colOdd) {
            return 0;
        }
        r0 = rowOdd ? LIG + row - 1 : row;
        c0 = colOdd ? COL + col - 1 : col;
    } else {
        if (row >= halfHeight || col >= halfWidth) {
            return 0;
        }
        r0 = 2 * row;
        c0 = 2 * col;
    }
    rows[0] = r0;
    cols[0] = c0;
    rows[1] = r0;
    cols[1] = c0 + 1;
    rows[2] = r0 + 1;
    cols[2] = c0;
    rows[3] = r0 + 1;
    cols[3] = c0 + 1;
    return 1;
}

bool HasGrandchildren(int32_t row, int32_t col) {
    int32_t rows[4];
    int32_t cols[4];
    if (Offspring(rows, cols, row, col) == 0) {
        return false;
    }
    int32_t grandRows[4];
    int32_t grandCols[4];
    bool found = false;
    for (int k = 0; k < 4; k++) {
        if (Offspring(grandRows, grandCols, rows[k], cols[k]) != 0) {
            found = true;
        }
    }
    return found;
}
