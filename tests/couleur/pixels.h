// Pixels of the couleur test fixtures, the planes they make and the palette file they expect.
#pragma once

#include <string>
#include <vector>

struct Pixel {
    int red, green, blue;
};

// The 768 lines of a palette file whose first entries are `colours`, the rest 0.
inline std::string PaletteText(const std::vector<Pixel>& colours) {
    std::string text;
    for (int component = 0; component < 3; component++) {
        for (size_t j = 0; j < 256; j++) {
            int value = 0;
            if (j < colours.size()) {
                const Pixel& c = colours[j];
                value = component == 0 ? c.red : component == 1 ? c.green : c.blue;
            }
            text += std::to_string(value) + "\n";
        }
    }
    return text;
}

// The three planes of the pixels: red, green and blue samples.
inline std::vector<std::string> PlaneBytes(const std::vector<Pixel>& pixels) {
    std::vector<std::string> planes(3);
    for (const Pixel& p : pixels) {
        planes[0] += static_cast<char>(p.red);
        planes[1] += static_cast<char>(p.green);
        planes[2] += static_cast<char>(p.blue);
    }
    return planes;
}
