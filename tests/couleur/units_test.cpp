// Unit tests of the couleur steps: options, plane set, colour histogram, design steps, writer.
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "cli_harness.h"
#include "couleur.h"
#include "fatal_error.h"
#include "pixels.h"

#ifdef __SANITIZE_ADDRESS__
// Under AddressSanitizer a failed allocation gives null, as it does without it, so that the
// program's own message for it can be tested.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}
#endif

namespace {

// A node as the tests compare it.
using Colour = std::tuple<int, int, int, float>;

struct CouleurUnits : ::testing::Test {
    TempDir dir;
    std::deque<ColourNode> nodes; // lists built by hand
    bool listFromHistogram = false;

    void SetUp() override {
        SetDefaults();
        ResetOutputFiles();
    }
    void TearDown() override {
        Release();
    }
    // Closes the planes and frees what the steps allocated, so that a case can start again.
    void Release() {
        for (FILE** plane : {&redPlane, &greenPlane, &bluePlane}) {
            if (*plane != nullptr) {
                fclose(*plane);
                *plane = nullptr;
            }
        }
        if (listFromHistogram) {
            free(colourList); // the nodes are one block
            colourList = nullptr;
            listFromHistogram = false;
        }
        ReleasePalettes();
        ResetOutputFiles();
    }
    void ReleasePalettes() {
        for (int32_t i = 0; floatPalette != nullptr && i < N; i++) {
            free(floatPalette[i]);
            free(intPalette[i]);
        }
        free(floatPalette);
        free(intPalette);
        floatPalette = nullptr;
        intPalette = nullptr;
    }

    // Writes the plane set of the pixels under the base name "img" and opens it.
    void Planes(const std::vector<Pixel>& pixels) {
        std::string red, green, blue;
        for (const Pixel& p : pixels) {
            red += static_cast<char>(p.red);
            green += static_cast<char>(p.green);
            blue += static_cast<char>(p.blue);
        }
        fileNames = BuildFileNames(dir.File("img").c_str());
        WriteFile(fileNames.red, red);
        WriteFile(fileNames.green, green);
        WriteFile(fileNames.blue, blue);
        OpenPlaneSet();
    }
    std::vector<Colour> Histogram(const std::vector<Pixel>& pixels) {
        Planes(pixels);
        BuildColourHistogram();
        listFromHistogram = true;
        return Colours();
    }
    std::vector<Colour> Colours() const {
        std::vector<Colour> colours;
        for (const ColourNode* node = colourList; node != nullptr; node = node->next) {
            colours.emplace_back(node->red, node->green, node->blue, node->prob);
        }
        return colours;
    }
    // A list built by hand, with the given cells.
    void MakeList(const std::vector<Colour>& colours, const std::vector<int>& cells = {}) {
        ColourNode** link = &colourList;
        for (size_t i = 0; i < colours.size(); i++) {
            auto [r, g, b, p] = colours[i];
            nodes.push_back(ColourNode{static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                       static_cast<uint8_t>(b), p, cells.empty() ? 0 : cells[i],
                                       nullptr});
            *link = &nodes.back();
            link = &nodes.back().next;
        }
        colourCount = static_cast<int32_t>(colours.size());
    }
    // Both palettes set by hand, as InitialPalette allocates them.
    void MakePalette(const std::vector<Pixel>& entries) {
        N = static_cast<int32_t>(entries.size());
        floatPalette = static_cast<float**>(CheckedCalloc(N, sizeof(float*)));
        intPalette = static_cast<int32_t**>(CheckedCalloc(N, sizeof(int32_t*)));
        for (int32_t i = 0; i < N; i++) {
            floatPalette[i] = static_cast<float*>(CheckedCalloc(3, sizeof(float)));
            intPalette[i] = static_cast<int32_t*>(CheckedCalloc(3, sizeof(int32_t)));
            int values[] = {entries[i].red, entries[i].green, entries[i].blue};
            for (int c = 0; c < 3; c++) {
                floatPalette[i][c] = static_cast<float>(values[c]);
                intPalette[i][c] = values[c];
            }
        }
    }
    std::vector<int> Cells() const {
        std::vector<int> cells;
        for (const ColourNode* node = colourList; node != nullptr; node = node->next) {
            cells.push_back(node->cell);
        }
        return cells;
    }
    std::vector<int> IntEntry(int i) const {
        return {intPalette[i][0], intPalette[i][1], intPalette[i][2]};
    }
};

TEST_F(CouleurUnits, OptionsTakeTheirLastValueAndIgnoreWhatDoesNotScan) {
    struct Case {
        std::vector<std::string> args;
        int32_t n, red, green, blue;
        float epsilon;
        std::string base;
    };
    std::vector<Case> cases = {
        {{}, 256, 4, 4, 4, 0.0001f, ""},
        {{"-N", "-Nx", "-E", "-Ey", "-r", "-b?"}, 256, 4, 4, 4, 0.0001f, ""},
        {{"-N8", "-N16", "-r0", "-v8", "-b2", "-E0.5", "-fa/b.c"}, 16, 0, 8, 2, 0.5f, "a/b.c"},
        {{"-n3", "N5", "-", "-R1", "-fone", "-f"}, 256, 4, 4, 4, 0.0001f, ""},
        {{"-E1e-2", "-f" + std::string(300, 'x')}, 256, 4, 4, 4, 0.01f, std::string(300, 'x')},
    };
    for (const Case& c : cases) {
        SetDefaults();
        std::vector<char*> argv = {const_cast<char*>("couleur")};
        for (const std::string& arg : c.args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        ReadOptions(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(
            std::make_tuple(N, redShift, greenShift, blueShift, epsilon, std::string(baseName)),
            std::make_tuple(c.n, c.red, c.green, c.blue, c.epsilon, c.base));
    }
}

// Sparse planes just over 2 GiB are measured whole.
TEST_F(CouleurUnits, PlaneSizesAreSixtyFourBits) {
    fileNames = BuildFileNames(dir.File("big").c_str());
    const off_t size = (off_t{1} << 31) + 2;
    for (const std::string& name : {fileNames.red, fileNames.green, fileNames.blue}) {
        WriteFile(name, "");
        ASSERT_EQ(truncate(name.c_str(), size), 0);
    }
    OpenPlaneSet();
    EXPECT_EQ(planeSize, size);
}

TEST_F(CouleurUnits, HistogramListsReducedColoursInOrderWithTheirRepresentatives) {
    struct Case {
        std::vector<Pixel> pixels;
        int red, green, blue; // shifts
        std::vector<Colour> colours;
    };
    std::vector<Case> cases = {
        {{{0, 0, 255}, {255, 0, 0}, {0, 255, 0}},
         4,
         4,
         4,
         {{8, 8, 248, 1 / 3.0f}, {8, 248, 8, 1 / 3.0f}, {248, 8, 8, 1 / 3.0f}}},
        {{{0, 0, 0}, {255, 255, 255}, {15, 15, 15}, {0, 0, 0}},
         4,
         4,
         4,
         {{8, 8, 8, 0.75f}, {248, 248, 248, 0.25f}}},
        {{{7, 0, 0}, {200, 255, 255}, {6, 0, 0}, {7, 1, 2}},
         0,
         4,
         4,
         {{6, 8, 8, 0.25f}, {7, 8, 8, 0.5f}, {200, 248, 248, 0.25f}}},
        // Shift 8: one reduced value per channel, standing for 128; shift 1: i * 2 + 1.
        {{{0, 9, 255}, {255, 9, 0}, {128, 200, 0}},
         8,
         1,
         8,
         {{128, 9, 128, 2 / 3.0f}, {128, 201, 128, 1 / 3.0f}}},
        {{{1, 2, 3}}, 4, 4, 4, {{8, 8, 8, 1.0f}}},
    };
    for (const Case& c : cases) {
        SetDefaults();
        redShift = c.red;
        greenShift = c.green;
        blueShift = c.blue;
        EXPECT_EQ(Histogram(c.pixels), c.colours);
        EXPECT_EQ(colourCount, static_cast<int32_t>(c.colours.size()));
        Release();
    }
}

// Every reduced colour of the default shifts, given in reverse: the colour (i, j, k) is the
// (256 i + 16 j + k + 1)-th node.
TEST_F(CouleurUnits, HistogramOfAllReducedColours) {
    std::vector<Pixel> pixels;
    for (int c = 4095; c >= 0; c--) {
        pixels.push_back(Pixel{(c >> 8) * 16 + 15, ((c >> 4) & 15) * 16, (c & 15) * 16 + 3});
    }
    std::vector<Colour> colours = Histogram(pixels);
    ASSERT_EQ(colourCount, 4096);
    for (int i = 0; i < 16; i++) {
        for (int j = 0; j < 16; j++) {
            for (int k = 0; k < 16; k++) {
                EXPECT_EQ(colours[256 * i + 16 * j + k],
                          Colour(16 * i + 8, 16 * j + 8, 16 * k + 8, 1 / 4096.0f));
            }
        }
    }
}

// No full block, one full block and an empty last read, one full block and a last read of one
// byte: the last pixel, alone of its colour, is counted once.
TEST_F(CouleurUnits, HistogramCountsEveryPixelAcrossBlockEdges) {
    for (int size : {100, 16384, 16385, 32769}) {
        std::vector<Pixel> pixels(size, Pixel{0, 0, 0});
        pixels[size - 1] = Pixel{255, 0, 0};
        SetDefaults();
        EXPECT_EQ(Histogram(pixels),
                  (std::vector<Colour>{
                      {8, 8, 8, static_cast<float>((size - 1) / static_cast<double>(size))},
                      {248, 8, 8, static_cast<float>(1 / static_cast<double>(size))}}))
            << size;
        Release();
    }
}

// 2^24 + 1 pixels of one colour and 1 of another: a 32-bit float counter would stop at 2^24.
TEST_F(CouleurUnits, HistogramCountsExactlyPastTwoToTheTwentyFour) {
    fileNames = BuildFileNames(dir.File("big").c_str());
    const off_t size = (off_t{1} << 24) + 2;
    for (const std::string& name : {fileNames.red, fileNames.green, fileNames.blue}) {
        WriteFile(name, "");
        ASSERT_EQ(truncate(name.c_str(), size), 0);
    }
    int fd = open(fileNames.blue.c_str(), O_WRONLY);
    ASSERT_EQ(pwrite(fd, "\xff", 1, size - 1), 1);
    close(fd);
    OpenPlaneSet();
    BuildColourHistogram();
    listFromHistogram = true;
    const double total = static_cast<double>(size);
    EXPECT_EQ(Colours(), (std::vector<Colour>{{8, 8, 8, static_cast<float>((size - 1) / total)},
                                              {8, 8, 248, static_cast<float>(1 / total)}}));
    EXPECT_NE(static_cast<float>((size - 1) / total), static_cast<float>(16777216 / total));
}

TEST_F(CouleurUnits, PlaneShorterThanMeasuredEndsWithAReadError) {
    Planes(std::vector<Pixel>(20000, Pixel{1, 2, 3}));
    ASSERT_EQ(truncate(fileNames.green.c_str(), 19999), 0);
    EXPECT_EXIT(BuildColourHistogram(), ::testing::ExitedWithCode(1), "^\n\nerreur lecture\n\n$");
}

TEST_F(CouleurUnits, FailedAllocationEndsTheRun) {
    EXPECT_EXIT(CheckedCalloc(SIZE_MAX / 2, 4), ::testing::ExitedWithCode(1),
                "^\n\nerreur allocation\n\n$");
}

// Ten colours along red, reds 0 to 9 (list positions 1 to 10).
std::vector<Colour> TenColours() {
    std::vector<Colour> colours;
    for (int r = 0; r < 10; r++) {
        colours.emplace_back(r, 0, 0, 0.1f);
    }
    return colours;
}

TEST_F(CouleurUnits, InitialPaletteSpreadsItsPicksAlongTheList) {
    struct Case {
        int32_t n;
        std::vector<int> reds; // the picks, as entries 0, 1, ...
    };
    for (const Case& c : {Case{4, {2, 4, 7, 9}}, Case{1, {9}}, Case{3, {3, 6, 9}},
                          Case{10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}}}) {
        nodes.clear();
        MakeList(TenColours());
        N = c.n;
        InitialPalette();
        std::vector<int> reds;
        for (int32_t i = 0; i < N; i++) {
            EXPECT_EQ(IntEntry(i)[1], 0);
            EXPECT_EQ(floatPalette[i][0], static_cast<float>(intPalette[i][0]));
            reds.push_back(intPalette[i][0]);
        }
        EXPECT_EQ(reds, c.reds) << c.n;
        ReleasePalettes();
    }
    nodes.clear();
    MakeList(TenColours());
    N = 11;
    EXPECT_EXIT(InitialPalette(), ::testing::ExitedWithCode(1),
                "^\n\ninitialisation mal faite\n\n$");
}

// Before any assignment every colour counts against entry 0.
TEST_F(CouleurUnits, DistortionWeightsTheCityBlockDistanceOfEachCell) {
    MakeList({{8, 8, 8, 0.5f}, {40, 16, 0, 0.25f}, {0, 0, 0, 0.25f}});
    MakePalette({{10, 10, 10}, {40, 20, 0}});
    EXPECT_EQ(PaletteDistortion(), 6 * 0.5 + 46 * 0.25 + 30 * 0.25);
    nodes[1].cell = 1;
    EXPECT_EQ(PaletteDistortion(), 6 * 0.5 + 4 * 0.25 + 30 * 0.25);
}

// Ties go to the lower index: the colour (100, 100, 100) is 30 from entries 2 and 5 and
// farther from the others; (0, 0, 0) is 0 from entries 0 and 1.
TEST_F(CouleurUnits, AssignmentTakesTheNearestEntryAndTheLowerOfATie) {
    MakeList({{100, 100, 100, 0.5f}, {0, 0, 0, 0.25f}, {250, 250, 250, 0.25f}});
    MakePalette({{0, 0, 0},
                 {0, 0, 0},
                 {130, 100, 100},
                 {60, 60, 60},
                 {200, 200, 200},
                 {90, 110, 90},
                 {255, 255, 255}});
    AssignColours();
    EXPECT_EQ(Cells(), (std::vector<int>{2, 0, 6}));
    // One entry takes everything.
    ReleasePalettes();
    MakePalette({{255, 255, 255}});
    AssignColours();
    EXPECT_EQ(Cells(), (std::vector<int>{0, 0, 0}));
}

// The scan over the packed palette must pick what a plain scan with a strict comparison picks,
// at every palette size up to 256 and with many equal distances.
TEST_F(CouleurUnits, AssignmentMatchesAPlainScanOnCrowdedPalettes) {
    std::mt19937 random(7);
    std::vector<Colour> colours;
    for (int k = 0; k < 500; k++) {
        colours.emplace_back(random() % 256, random() % 256, random() % 256, 0.002f);
    }
    MakeList(colours);
    for (int32_t n : {1, 2, 15, 16, 17, 255, 256}) {
        std::vector<Pixel> entries;
        for (int32_t i = 0; i < n; i++) {
            // Coarse values, so that many entries lie at the same distance.
            entries.push_back(Pixel{static_cast<int>(random() % 4) * 85,
                                    static_cast<int>(random() % 4) * 85,
                                    static_cast<int>(random() % 4) * 85});
        }
        ReleasePalettes();
        MakePalette(entries);
        AssignColours();
        for (const ColourNode* node = colourList; node != nullptr; node = node->next) {
            int best = 0;
            int bestDistance = 1 << 30;
            for (int32_t i = 0; i < n; i++) {
                int d = abs(entries[i].red - node->red) + abs(entries[i].green - node->green) +
                        abs(entries[i].blue - node->blue);
                if (d < bestDistance) {
                    best = i;
                    bestDistance = d;
                }
            }
            ASSERT_EQ(node->cell, best) << "N " << n;
        }
    }
}

TEST_F(CouleurUnits, UpdateMovesEachEntryToItsRoundedCentroid) {
    // Cell 0: (8, 8, 8) at 0.75 and (248, 8, 8) at 0.25 of its weight give (68, 8, 8). Cell 1:
    // 100 and 101 at equal weights give 100.5, rounded up. Cell 2 has lost its colours and keeps
    // both its values.
    MakeList(
        {{8, 8, 8, 0.375f}, {100, 100, 7, 0.0625f}, {248, 8, 8, 0.125f}, {101, 101, 7, 0.0625f}},
        {0, 1, 0, 1});
    MakePalette({{0, 0, 0}, {0, 0, 0}, {33, 44, 55}});
    floatPalette[2][0] = 33.25f;
    UpdatePalette();
    EXPECT_EQ(IntEntry(0), (std::vector<int>{68, 8, 8}));
    EXPECT_EQ(floatPalette[0][0], 68.0f);
    EXPECT_EQ(IntEntry(1), (std::vector<int>{101, 101, 7}));
    EXPECT_EQ(floatPalette[1][0], 100.5f);
    EXPECT_EQ(IntEntry(2), (std::vector<int>{33, 44, 55}));
    EXPECT_EQ(floatPalette[2][0], 33.25f);

    // 100 at 0.6 and 101 at 0.4 give 100.4, rounded down.
    nodes.clear();
    MakeList({{100, 100, 100, 0.6f}, {101, 101, 101, 0.4f}}, {0, 0});
    UpdatePalette();
    EXPECT_EQ(IntEntry(0), (std::vector<int>{100, 100, 100}));

    // The emptied entry stays available: the next assignment may give it colours again.
    nodes.clear();
    MakeList({{30, 40, 50, 1.0f}}, {0});
    AssignColours();
    EXPECT_EQ(Cells(), std::vector<int>{2});
}

// Centroids that fall a hair below a half, where the mix of precisions decides the rounding:
// weights summed in floats, each product and sum in double stored back as a float. Summing in
// double throughout gives 113.5 and 114 in the first case; float products give 165.5 and 166 in
// the second.
TEST_F(CouleurUnits, UpdateRoundsCentroidsComputedInTheirOwnPrecisions) {
    struct Case {
        double pixels;
        std::vector<int> reds, counts;
        int centroid;
    };
    for (const Case& c :
         {Case{13, {79, 90, 128}, {1, 1, 4}, 113}, Case{35, {138, 182}, {6, 10}, 165}}) {
        nodes.clear();
        std::vector<Colour> colours;
        for (size_t i = 0; i < c.reds.size(); i++) {
            colours.emplace_back(c.reds[i], 0, 0, static_cast<float>(c.counts[i] / c.pixels));
        }
        MakeList(colours);
        MakePalette({{0, 0, 0}});
        UpdatePalette();
        EXPECT_EQ(IntEntry(0), (std::vector<int>{c.centroid, 0, 0})) << c.pixels;
        ReleasePalettes();
    }
}

// 16385 pixels, one block and one byte. Samples 16 and 31 share the reduced red 1. The cells
// are those of an assignment that an update has since made stale: entry 0 is now nearest to
// (24, 8, 8), yet its pixels keep index 3. Entries 0, 2 and 4 have no colour and are written
// black.
TEST_F(CouleurUnits, IndexImageUsesTheCellsOfTheLastAssignment) {
    std::vector<Pixel> pixels(16385);
    for (int k = 0; k < 16383; k++) {
        pixels[k] = k % 2 == 0 ? Pixel{16, 0, 0} : Pixel{31, 15, 15};
    }
    pixels[16383] = Pixel{0, 0, 0};
    pixels[16384] = Pixel{200, 100, 50};
    EXPECT_EQ(Histogram(pixels).size(), 3u);
    nodes.clear();
    colourList->cell = 3;             // (8, 8, 8)
    colourList->next->cell = 3;       // (24, 8, 8)
    colourList->next->next->cell = 1; // (200, 104, 56)
    MakePalette({{24, 8, 8}, {190, 100, 60}, {9, 9, 9}, {60, 60, 60}, {1, 2, 3}});
    WriteIndexImage();
    std::string expected(16385, '\3');
    expected[16384] = '\1';
    EXPECT_EQ(ReadFile(fileNames.index), expected);
    EXPECT_EQ(ReadFile(fileNames.palette),
              PaletteText({{0, 0, 0}, {190, 100, 60}, {0, 0, 0}, {60, 60, 60}}));
}

// A failure while the outputs are written removes both.
TEST_F(CouleurUnits, WriterFailuresRemoveBothOutputs) {
    Histogram(std::vector<Pixel>(40000, Pixel{1, 2, 3}));
    MakePalette({{8, 8, 8}});
    auto writeWithinLimit = [] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        WriteIndexImage();
    };
    EXPECT_EXIT(writeWithinLimit(), ::testing::ExitedWithCode(1), "^\n\nerreur ecriture\n\n$");
    EXPECT_FALSE(FileExists(fileNames.index));
    EXPECT_FALSE(FileExists(fileNames.palette));

    ASSERT_EQ(truncate(fileNames.blue.c_str(), 39999), 0);
    EXPECT_EXIT(WriteIndexImage(), ::testing::ExitedWithCode(1), "^\n\nerreur lecture\n\n$");
    EXPECT_FALSE(FileExists(fileNames.index));
    EXPECT_FALSE(FileExists(fileNames.palette));
    EXPECT_TRUE(FileExists(fileNames.red));
}

} // namespace
