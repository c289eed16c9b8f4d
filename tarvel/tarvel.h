// Settings, geometry, lists, bit writer state and steps of tarvel, the SPIHT coder.
#pragma once

#include <cstdint>
#include <cstdio>

// List identifiers: the index of each list in `lists` and `listLengths`.
enum { LSP = 0, LIP = 1, LIS = 2 };

// One entry of a list. Packed to 9 bytes: the three lists are the largest tables of the coder,
// and on x86 an unaligned field costs nothing.
#pragma pack(push, 1)
struct Point {
    int32_t row;
    int32_t col;
    uint8_t type; // 0 removed; LSP 2 new, 1 refined; LIP 2; LIS 3 type A, 4 type B, 5 new type B
};
#pragma pack(pop)

// Command line: the shape of the decomposition (trees.cpp) and the budget (bit_writer.cpp).
extern int32_t LIG;      // rows of the lowest band
extern int32_t COL;      // columns of the lowest band
extern int32_t EXPOS;    // decomposition levels
extern int32_t longueur; // bit budget

// Geometry (trees.cpp), fixed by SetGeometry. The image has `height` rows and `width` columns,
// stored column after column: row r, column c is element c * height + r.
extern int32_t height;
extern int32_t width;
extern int32_t halfHeight; // rows at or beyond it have no offspring
extern int32_t halfWidth;  // columns at or beyond it have no offspring

// Coefficient store and lists (store.cpp), all made by Init and kept to the end of the process.
extern float* coefficients;   // the input image, never changed
extern float* reconstruction; // what a decoder rebuilds from the bits emitted so far
extern Point** lists;         // LSP, LIP, LIS
extern int32_t* listLengths;  // points appended to each list
extern int32_t ListCapacity;  // room of each list: max(1000000, height * width)

// Set tests (set_tests.cpp).
extern float maxMagnitude; // running maximum of the magnitude searches
// Largest magnitude of the descendants of every point that has offspring, element
// col * halfHeight + row for row < halfHeight and col < halfWidth; filled before coding.
extern float* descendantMaxima;

// Bit writer (bit_writer.cpp).
extern FILE* bitFile;       // "fbin.dat", opened at the first bit
extern uint8_t pendingByte; // the byte being filled, first bit in bit 0
extern int32_t pendingBits; // bits already in pendingByte, 0 to 7
extern int32_t bitCount;    // bits emitted since the start of the run

// Computes height, width, halfHeight and halfWidth from LIG, COL and EXPOS.
void SetGeometry();

// Makes the coefficient arrays, reads the image from standard input, makes the three empty
// lists and the table of descendant maxima.
void Init();

// Appends a point to a list; a full list ends the run.
void AjouterPoint(int32_t list, int32_t row, int32_t col, uint8_t type);

// Tree geometry: fills the four offspring of a point and returns 1, or returns 0 when it has
// none. Reads only the geometry, never the coefficients.
int Offspring(int32_t* rows, int32_t* cols, int32_t row, int32_t col);
// True when at least one offspring of the point has offspring of its own.
bool HasGrandchildren(int32_t row, int32_t col);

// Fills descendantMaxima, which Init has allocated, from the coefficients.
void BuildDescendantMaxima();
// Raises maxMagnitude to the largest magnitude among the descendants of the point.
void MaxDescendants(int32_t row, int32_t col);
// True when the largest magnitude among the grandchildren of the point and below is >= seuil.
bool SSetB(int32_t row, int32_t col, float seuil);

// Emits one bit (0, or 1 for any other value); at the budget, jumps to the budget stop.
// A file that cannot be created or written ends the run.
void WriteBit(uint8_t bit);
// Closes "fbin.dat" at the budget stop; a failed close ends the run.
void CloseBitFile();

// Coding passes.
int32_t InitialBitPlane();
[[noreturn]] void CodeSpiht();
void RefinementPass(int32_t n);

// Writes the reconstruction to standard output; a failed write ends the run.
void WriteReconstruction();

// Prints the message on standard error and ends the run with status -1.
[[noreturn]] void Fail(const char* message);
