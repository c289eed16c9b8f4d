// The fixed palette of the 256 codes.
#include "tripal.h"

// Entry i is the colour of code i: its red and green indices times 36, its blue index times 85.
void WriteFixedPalette() {
    PaletteColour palette[256];
    for (int i = 0; i < 256; i++) {
        palette[i].red = static_cast<uint8_t>((i >> 5) * 36);
        palette[i].green = static_cast<uint8_t>(((i >> 2) & 7) * 36);
        palette[i].blue = static_cast<uint8_t>((i & 3) * 85);
    }
    WritePaletteFile(paletteFile, palette, 256);
}
