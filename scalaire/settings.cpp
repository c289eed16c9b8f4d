// Settings and run state of scalaire, and the reading of its command line.
#include <cinttypes>
#include <cstdio>

#include "scalaire.h"

double epsilon;
int32_t N;
int32_t distanceType;
int64_t byteCount;
const char* inputName;
const char* outputName;
int32_t symbolCount;
SymbolNode* symbolList;
double* levelTable;

void SetDefaults() {
    epsilon = 1e-30;
    N = 16;
    distanceType = 0;
    byteCount = 0;
    inputName = "";
    outputName = "";
    symbolCount = 0;
    symbolList = nullptr;
    levelTable = nullptr;
}

// An option is "-" and a letter with its value glued on; a value that does not scan leaves the
// setting as it was. Names are used whole, whatever their length.
void ReadOptions(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        if (argument[0] != '-' || argument[1] == '\0') {
            continue;
        }
        const char* value = argument + 2;
        switch (argument[1]) {
        case 'E':
            sscanf(value, "%lf", &epsilon);
            break;
        case 'N':
            sscanf(value, "%" SCNd32, &N);
            break;
        case 'e':
            inputName = value;
            break;
        case 'n':
            sscanf(value, "%" SCNd64, &byteCount);
            break;
        case 's':
            outputName = value;
            break;
        case 't':
            sscanf(value, "%" SCNd32, &distanceType);
            break;
        default:
            break;
        }
    }
}
