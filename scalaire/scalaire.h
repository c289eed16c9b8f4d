// Settings, run state and steps of scalaire, the Lloyd-Max scalar quantizer designer.
#pragma once

#include <cstdint>

// One present byte value of the processed data, in increasing order of value.
struct SymbolNode {
    uint8_t value;    // the byte value
    double prob;      // its relative frequency among the processed bytes
    int32_t cell;     // index of the level that represents it, set by AssignNearest
    SymbolNode* next; // the next larger present value, or null
};

// Settings, read from the command line.
extern double epsilon;         // -E: stop threshold on the relative change of the distortion
extern int32_t N;              // -N: number of levels
extern int32_t distanceType;   // -t: 0 squared difference, 1 of logarithms, 2 of 0.1 powers
extern int64_t byteCount;      // -n: bytes processed from the start of the input, 0 for all
extern const char* inputName;  // -e
extern const char* outputName; // -s

// Run state, kept to the end of the process.
extern int32_t symbolCount;    // nodes of the symbol list
extern SymbolNode* symbolList; // the present byte values, from BuildHistogram
extern double* levelTable;     // the N levels, from InitialLevels

// Sets every setting and the run state to its start value.
void SetDefaults();

// Reads the options of the command line into the settings.
void ReadOptions(int argc, char** argv);

// Counts the first `count` bytes of the file; returns the list of present values.
SymbolNode* BuildHistogram(const char* name, int64_t count);

// Design steps.
double* InitialLevels(const SymbolNode* list, int32_t levelCount);
double Distance(double a, double b);
void AssignNearest(SymbolNode* list, const double* levels, int32_t levelCount);
void UpdateCentroids(const SymbolNode* list, double* levels, int32_t levelCount);
double Distortion(const SymbolNode* list, const double* levels);

// Writes the quantized copy of the first `count` bytes of the input.
void WriteQuantized(const char* input, const char* output, int64_t count, const SymbolNode* list,
                    const double* levels);
