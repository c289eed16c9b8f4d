// The plane-set file names and the palette file writer.
#include "plane_set.h"

PlaneSetNames BuildFileNames(const char* baseName) {
    std::string base = baseName;
    return PlaneSetNames{base + "r.ima", base + "v.ima", base + "b.ima", base + "s.ima",
                         base + ".lut"};
}

void WritePaletteFile(FILE* file, const PaletteColour* palette, int32_t validCount) {
    for (int component = 0; component < 3; component++) {
        for (int32_t j = 0; j < 256; j++) {
            int value = 0;
            if (j < validCount) {
                const PaletteColour& colour = palette[j];
                value = component == 0 ? colour.red : component == 1 ? colour.green : colour.blue;
            }
            fprintf(file, "%d\n", value);
        }
    }
}
