// A plain SPIHT coder for the tests: walks every subtree at every set test, keeps its lists in
// growing vectors and stops by an exception, so that whole runs of tarvel can be checked
// against an independent, straightforward reading of the algorithm.
#pragma once

#include <string>
#include <vector>

struct ReferenceRun {
    std::string err;                   // what tarvel prints on standard error
    std::string bitFile;               // the whole bytes of "fbin.dat"
    std::string bits;                  // every bit emitted, as '0' and '1'
    std::vector<float> reconstruction; // column after column
};

// Codes a column-major image of lig * 2^expos rows and col * 2^expos columns until the budget.
ReferenceRun ReferenceCode(int lig, int col, int expos, int budget,
                           const std::vector<float>& coefficients);
