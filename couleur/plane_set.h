// The plane-set file names and the palette file, shared by couleur and tripal.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The five files of one image: the base name followed by a fixed suffix.
struct PlaneSetNames {
    std::string red;     // base + "r.ima", read
    std::string green;   // base + "v.ima", read
    std::string blue;    // base + "b.ima", read
    std::string index;   // base + "s.ima", written: one palette index per pixel
    std::string palette; // base + ".lut", written: the 768-line palette file
};

// Joins the base name, used whole and as typed (no extension is stripped), with each suffix.
PlaneSetNames BuildFileNames(const char* baseName);

// One palette colour: red, green, blue.
struct PaletteColour {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

// Writes the 768 lines of a palette file: the 256 red values, then the green, then the blue,
// each "%d\n"; entries at or beyond `validCount` are written as 0. The caller opened the stream
// in text mode and checks its writes when it closes it.
void WritePaletteFile(FILE* file, const PaletteColour* palette, int32_t validCount);
