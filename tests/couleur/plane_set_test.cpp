// Tests of the plane-set names and the palette file layout.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "cli_harness.h"
#include "plane_set.h"

namespace {

TEST(PlaneSet, NamesJoinTheBaseAndTheSuffixes) {
    struct Case {
        std::string base;
        std::vector<std::string> names;
    };
    std::vector<Case> cases = {
        {"", {"r.ima", "v.ima", "b.ima", "s.ima", ".lut"}},
        {"img/photo",
         {"img/photor.ima", "img/photov.ima", "img/photob.ima", "img/photos.ima", "img/photo.lut"}},
        {"photo.ima",
         {"photo.imar.ima", "photo.imav.ima", "photo.imab.ima", "photo.imas.ima", "photo.ima.lut"}},
        {std::string(300, 'x'),
         {std::string(300, 'x') + "r.ima", std::string(300, 'x') + "v.ima",
          std::string(300, 'x') + "b.ima", std::string(300, 'x') + "s.ima",
          std::string(300, 'x') + ".lut"}},
    };
    for (const Case& c : cases) {
        PlaneSetNames n = BuildFileNames(c.base.c_str());
        EXPECT_EQ((std::vector<std::string>{n.red, n.green, n.blue, n.index, n.palette}), c.names);
    }
}

std::vector<std::string> PaletteLines(const PaletteColour* palette, int validCount) {
    TempDir dir;
    std::string path = dir.File("p.lut");
    FILE* file = fopen(path.c_str(), "w");
    WritePaletteFile(file, palette, validCount);
    fclose(file);
    std::string text = ReadFile(path);
    EXPECT_EQ(text.back(), '\n');
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size());
    return lines;
}

TEST(PlaneSet, PaletteOfSixteenEntriesFillsTheRestWithZeros) {
    PaletteColour palette[16];
    for (int i = 0; i < 16; i++) {
        palette[i] = PaletteColour{static_cast<uint8_t>(i + 1), static_cast<uint8_t>(100 + i),
                                   static_cast<uint8_t>(255 - i)};
    }
    std::vector<std::string> lines = PaletteLines(palette, 16);
    ASSERT_EQ(lines.size(), 768u);
    for (int j = 0; j < 256; j++) {
        bool valid = j < 16;
        EXPECT_EQ(lines[j], valid ? std::to_string(j + 1) : "0");
        EXPECT_EQ(lines[256 + j], valid ? std::to_string(100 + j) : "0");
        EXPECT_EQ(lines[512 + j], valid ? std::to_string(255 - j) : "0");
    }
}

TEST(PlaneSet, BlackPaletteIs768Zeros) {
    PaletteColour palette[256] = {};
    EXPECT_EQ(PaletteLines(palette, 256), std::vector<std::string>(768, "0"));
}

} // namespace
