// The two results of couleur: the index image, every pixel mapped through the cell of its
// reduced colour, and the palette file.
#include <cstdlib>

#include "../common/fatal_error.h"
#include "couleur.h"

namespace {

void MapBlock(const uint8_t* red, const uint8_t* green, const uint8_t* blue, int64_t length,
              const uint8_t* indexTable, uint8_t* out) {
    const ReducedLayout layout = CurrentLayout();
    for (int64_t k = 0; k < length; k++) {
        out[k] = indexTable[ReducedIndex(layout, red[k], green[k], blue[k])];
    }
}

} // namespace

void WriteIndexImage() {
    indexImage = CreateOutputFile(fileNames.index.c_str(), "wb");
    if (indexImage == nullptr) {
        FatalError("fichier de sortie non ouvert");
    }
    paletteFile = CreateOutputFile(fileNames.palette.c_str(), "w");
    if (paletteFile == nullptr) {
        FatalError("fichier de sortie non ouvert");
    }
    rewind(redPlane);
    rewind(greenPlane);
    rewind(bluePlane);

    uint8_t* red = static_cast<uint8_t*>(CheckedCalloc(blockSize, 1));
    uint8_t* green = static_cast<uint8_t*>(CheckedCalloc(blockSize, 1));
    uint8_t* blue = static_cast<uint8_t*>(CheckedCalloc(blockSize, 1));
    uint8_t* out = static_cast<uint8_t*>(CheckedCalloc(blockSize, 1));
    uint8_t* indexTable = static_cast<uint8_t*>(CheckedCalloc(ReducedColourCount(), 1));
    PaletteColour* palette = static_cast<PaletteColour*>(CheckedCalloc(N, sizeof(PaletteColour)));

    // Pixels are not searched again: each takes the cell its reduced colour got in the last
    // assignment. Entries that no colour is assigned to stay black.
    for (const ColourNode* node = colourList; node != nullptr; node = node->next) {
        indexTable[ReducedIndex(CurrentLayout(), node->red, node->green, node->blue)] =
            static_cast<uint8_t>(node->cell);
        const int32_t* entry = intPalette[node->cell];
        palette[node->cell] =
            PaletteColour{static_cast<uint8_t>(entry[0]), static_cast<uint8_t>(entry[1]),
                          static_cast<uint8_t>(entry[2])};
    }

    for (int64_t b = 0; b < planeSize / blockSize; b++) {
        ReadBlock(red, blockSize, redPlane);
        ReadBlock(green, blockSize, greenPlane);
        ReadBlock(blue, blockSize, bluePlane);
        MapBlock(red, green, blue, blockSize, indexTable, out);
        WriteBlock(out, blockSize, indexImage);
    }
    int64_t rest = planeSize % blockSize;
    ReadBlock(red, rest, redPlane);
    ReadBlock(green, rest, greenPlane);
    ReadBlock(blue, rest, bluePlane);
    MapBlock(red, green, blue, rest, indexTable, out);
    WriteBlock(out, rest, indexImage);

    WritePaletteFile(paletteFile, palette, N);
    free(red);
    free(green);
    free(blue);
    free(out);
    free(indexTable);
    free(palette);

    // A failed close of the palette file also removes the index image, closed or not: outputs
    // stay remembered until the run ends.
    CloseOutputFile(indexImage);
    CloseOutputFile(paletteFile);
}
