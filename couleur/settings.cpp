// Settings and run state of couleur, and the reading of its command line.
#include <cinttypes>
#include <cstdio>

#include "couleur.h"

int32_t N;
int32_t redShift;
int32_t greenShift;
int32_t blueShift;
float epsilon;
const char* baseName;
PlaneSetNames fileNames;
FILE* redPlane;
FILE* greenPlane;
FILE* bluePlane;
int64_t planeSize;
ColourNode* colourList;
int32_t colourCount;
float** floatPalette;
int32_t** intPalette;
FILE* indexImage;
FILE* paletteFile;

void SetDefaults() {
    N = 256;
    redShift = 4;
    greenShift = 4;
    blueShift = 4;
    epsilon = 0.0001f;
    baseName = "";
    fileNames = PlaneSetNames();
    redPlane = nullptr;
    greenPlane = nullptr;
    bluePlane = nullptr;
    planeSize = 0;
    colourList = nullptr;
    colourCount = 0;
    floatPalette = nullptr;
    intPalette = nullptr;
    indexImage = nullptr;
    paletteFile = nullptr;
}

// An option is "-" and a letter with its value glued on; a value that does not scan leaves the
// setting as it was. The base name is used whole, whatever its length.
void ReadOptions(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        if (argument[0] != '-' || argument[1] == '\0') {
            continue;
        }
        const char* value = argument + 2;
        switch (argument[1]) {
        case 'E':
            sscanf(value, "%f", &epsilon);
            break;
        case 'N':
            sscanf(value, "%" SCNd32, &N);
            break;
        case 'b':
            sscanf(value, "%" SCNd32, &blueShift);
            break;
        case 'f':
            baseName = value;
            break;
        case 'r':
            sscanf(value, "%" SCNd32, &redShift);
            break;
        case 'v':
            sscanf(value, "%" SCNd32, &greenShift);
            break;
        default:
            break;
        }
    }
}
