// Settings and run state of tripal, the reading of its command line and its decimal conversion.
#include <cctype>

#include "tripal.h"

int32_t columnCount;
int32_t lineCount;
std::string baseName;
PlaneSetNames fileNames;
FILE* redPlane;
FILE* greenPlane;
FILE* bluePlane;
FILE* paletteFile;
FILE* indexImage;
uint8_t* redLine;
uint8_t* greenLine;
uint8_t* blueLine;
uint8_t* codeLine;

void SetDefaults() {
    columnCount = 512;
    lineCount = 512;
    baseName.clear();
    fileNames = PlaneSetNames();
    redPlane = greenPlane = bluePlane = paletteFile = indexImage = nullptr;
    redLine = greenLine = blueLine = codeLine = nullptr;
    ForgetOutputs();
}

int32_t ReadDecimal(const char* text) {
    while (isspace(static_cast<unsigned char>(*text))) {
        text++;
    }
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        text++;
    }
    // The magnitude stops growing once past the 32-bit range, so it never overflows.
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude > limit) {
            magnitude = limit;
        }
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

// An option is "-" and a letter with its value glued on; other arguments and letters are
// ignored, and a repeated option takes its last value.
void ReadOptions(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        if (argument[0] != '-') {
            continue;
        }
        const char* value = argument + 2;
        switch (argument[1]) {
        case 'c':
            columnCount = ReadDecimal(value);
            break;
        case 'f':
            baseName = value;
            fileNames = BuildFileNames(value);
            break;
        case 'l':
            lineCount = ReadDecimal(value);
            break;
        default:
            break;
        }
    }
}
