// Settings, run state and steps of couleur, the LBG palette designer for RGB plane sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "plane_set.h"

// One reduced colour present in the image, in increasing order of reduced red, green, blue.
struct ColourNode {
    uint8_t red;      // representative red value of the reduced colour
    uint8_t green;    // representative green value
    uint8_t blue;     // representative blue value
    float prob;       // count of the reduced colour divided by planeSize
    int32_t cell;     // palette entry the colour is assigned to, set by AssignColours
    ColourNode* next; // the next colour of the list, or null
};

// Settings, read from the command line.
extern int32_t N;            // -N: palette entries to design, 1 to 256
extern int32_t redShift;     // -r: low bits dropped from a red sample, 0 to 8
extern int32_t greenShift;   // -v: the same for green
extern int32_t blueShift;    // -b: the same for blue
extern float epsilon;        // -E: stop threshold on the relative change of the distortion
extern const char* baseName; // -f: base name of the five files, used whole

// Run state, kept to the end of the process.
extern PlaneSetNames fileNames;
extern FILE* redPlane;
extern FILE* greenPlane;
extern FILE* bluePlane;
extern int64_t planeSize;      // bytes of each plane, the number of pixels
extern ColourNode* colourList; // the present reduced colours, from BuildColourHistogram
extern int32_t colourCount;
extern float** floatPalette; // N entries of red, green, blue: the centroids before rounding
extern int32_t** intPalette; // N entries of red, green, blue: the palette in use
extern FILE* indexImage;     // base + "s.ima"
extern FILE* paletteFile;    // base + ".lut"

// Sets every setting and the run state to its start value.
void SetDefaults();

// Reads the options of the command line into the settings.
void ReadOptions(int argc, char** argv);

// A zero-filled block of count x size bytes; ends with "erreur allocation" when there is none.
void* CheckedCalloc(size_t count, size_t size);

// Opens the three planes named in fileNames, checks that they are of equal length and sets
// planeSize; the streams are left at their start.
void OpenPlaneSet();

// Number of reduced colours under the current shifts, and the place of one in a flat table:
// reduced red varies slowest, reduced blue fastest, so table order is colour list order.
int64_t ReducedColourCount();
struct ReducedLayout {
    int redShift;
    int greenShift;
    int blueShift;
    int blueBits;      // bits of a reduced blue value
    int greenBlueBits; // bits of a reduced green and blue value together
};
inline ReducedLayout CurrentLayout() {
    return ReducedLayout{redShift, greenShift, blueShift, 8 - blueShift,
                         8 - greenShift + 8 - blueShift};
}
// The layout is passed in, not read from the settings, so that the per-pixel loops keep it in
// registers: their stores could otherwise change the settings as far as the compiler knows.
inline uint32_t ReducedIndex(const ReducedLayout& layout, uint8_t red, uint8_t green,
                             uint8_t blue) {
    return (static_cast<uint32_t>(red >> layout.redShift) << layout.greenBlueBits) |
           (static_cast<uint32_t>(green >> layout.greenShift) << layout.blueBits) |
           static_cast<uint32_t>(blue >> layout.blueShift);
}

// Counts the reduced colours of the plane set and makes the colour list and colourCount.
void BuildColourHistogram();

// Design steps over the colour list.
void InitialPalette();
double PaletteDistortion();
void AssignColours();
void UpdatePalette();

// Writes the index image through the cells of the last assignment, then the palette file.
void WriteIndexImage();
