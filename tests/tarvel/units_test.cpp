// Unit tests of the tarvel steps: tree geometry, the table of descendant maxima against subtree
// walks, the bit writer, the store and its lists, the first bit plane and the refinement step.
#include <climits>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "cli_harness.h"
#include "platform.h"
#include "tarvel.h"

namespace {

struct TarvelUnits : ::testing::Test {
    TempDir dir;
    std::string previousDir;

    void SetUp() override {
        char buffer[PATH_MAX];
        ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
        previousDir = buffer;
        ASSERT_EQ(chdir(dir.path.c_str()), 0); // "fbin.dat" lands in the temporary directory
        Reset();
    }
    void TearDown() override {
        Release();
        EXPECT_EQ(chdir(previousDir.c_str()), 0);
    }
    // What the steps allocated, and the open stream, are given back.
    void Release() {
        if (bitFile != nullptr) {
            fclose(bitFile);
            bitFile = nullptr;
        }
        if (lists != nullptr) {
            for (int list = LSP; list <= LIS; list++) {
                free(lists[list]);
            }
        }
        free(lists);
        free(listLengths);
        free(coefficients);
        free(reconstruction);
        free(descendantMaxima);
        coefficients = reconstruction = descendantMaxima = nullptr;
        lists = nullptr;
        listLengths = nullptr;
    }
    // The state of a process that has just started, for each case of a table.
    void Reset() {
        Release();
        pendingByte = 0;
        pendingBits = 0;
        bitCount = 0;
        longueur = INT32_MAX;
        maxMagnitude = 0;
    }

    // Geometry and zeroed arrays for a decomposition, without reading anything.
    void Shape(int32_t lig, int32_t col, int32_t expos) {
        LIG = lig;
        COL = col;
        EXPOS = expos;
        SetGeometry();
        free(coefficients);
        free(reconstruction);
        free(descendantMaxima);
        coefficients = static_cast<float*>(calloc(height * width, sizeof(float)));
        reconstruction = static_cast<float*>(calloc(height * width, sizeof(float)));
        descendantMaxima = static_cast<float*>(calloc(halfHeight * halfWidth, sizeof(float)));
    }
    float& At(int32_t row, int32_t col) {
        return coefficients[col * height + row];
    }
    // Init on standard input taken from a file of the given bytes.
    void InitFrom(int32_t lig, int32_t col, int32_t expos, const std::string& input) {
        LIG = lig;
        COL = col;
        EXPOS = expos;
        WriteFile(dir.File("in.f32"), input);
        ASSERT_NE(freopen(dir.File("in.f32").c_str(), "rb", stdin), nullptr);
        Init();
    }
};

std::string FloatBytes(const std::vector<float>& values) {
    return std::string(reinterpret_cast<const char*>(values.data()), values.size() * 4);
}

std::vector<std::pair<int, int>> OffspringOf(int32_t row, int32_t col) {
    int32_t rows[4] = {-1, -1, -1, -1};
    int32_t cols[4] = {-1, -1, -1, -1};
    std::vector<std::pair<int, int>> found;
    if (Offspring(rows, cols, row, col) == 1) {
        for (int k = 0; k < 4; k++) {
            found.emplace_back(rows[k], cols[k]);
        }
    }
    return found;
}

// Lowest band 4 x 4, three levels: an image of 32 x 32.
TEST_F(TarvelUnits, OffspringFollowTheBandsInCodingOrder) {
    Shape(4, 4, 3);
    EXPECT_EQ(halfHeight, 16);
    EXPECT_EQ(halfWidth, 16);
    using Points = std::vector<std::pair<int, int>>;
    struct Case {
        int row, col;
        Points offspring;
    };
    std::vector<Case> cases = {
        {0, 0, {}},
        {2, 2, {}},
        {0, 2, {}},
        {0, 1, {{0, 4}, {0, 5}, {1, 4}, {1, 5}}},
        {1, 0, {{4, 0}, {4, 1}, {5, 0}, {5, 1}}},
        {1, 1, {{4, 4}, {4, 5}, {5, 4}, {5, 5}}},
        {2, 3, {{2, 6}, {2, 7}, {3, 6}, {3, 7}}},
        {3, 2, {{6, 2}, {6, 3}, {7, 2}, {7, 3}}},
        {0, 4, {{0, 8}, {0, 9}, {1, 8}, {1, 9}}},
        {15, 15, {{30, 30}, {30, 31}, {31, 30}, {31, 31}}},
        {16, 0, {}},
        {0, 16, {}},
        {31, 31, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OffspringOf(c.row, c.col), c.offspring) << c.row << "," << c.col;
    }
}

TEST_F(TarvelUnits, GrandchildrenExistAboveTheTwoFinestLevels) {
    Shape(4, 4, 3);
    EXPECT_TRUE(HasGrandchildren(0, 1));
    EXPECT_TRUE(HasGrandchildren(4, 4));  // offspring (8, 8) still has offspring
    EXPECT_FALSE(HasGrandchildren(8, 0)); // offspring (16, 0) is on the finest level
    EXPECT_FALSE(HasGrandchildren(0, 0));
    EXPECT_FALSE(HasGrandchildren(20, 3));

    // One level: no lowest-band point has grandchildren, so no type-B set ever exists.
    Shape(4, 6, 1);
    for (int32_t row = 0; row < height; row++) {
        for (int32_t col = 0; col < width; col++) {
            EXPECT_FALSE(HasGrandchildren(row, col)) << row << "," << col;
        }
    }
}

// Lowest band 2 x 2, two levels: (0, 1) has the offspring (0, 2), (0, 3), (1, 2), (1, 3) and,
// through (0, 2), the grandchildren (0, 4), (0, 5), (1, 4), (1, 5).
TEST_F(TarvelUnits, SetTestsCountOnlyTheirOwnSet) {
    Shape(2, 2, 2);
    At(0, 1) = 1000; // the point itself
    At(0, 2) = -90;  // offspring
    At(1, 3) = 80;
    At(0, 5) = std::nanf(""); // a grandchild that never counts
    BuildDescendantMaxima();

    maxMagnitude = 0;
    MaxDescendants(0, 1);
    EXPECT_EQ(maxMagnitude, 90.0f);

    // No offspring: maxMagnitude is left as it was, even above the table's value.
    for (std::pair<int, int> p : {std::make_pair(0, 0), std::make_pair(4, 4)}) {
        maxMagnitude = -7;
        MaxDescendants(p.first, p.second);
        EXPECT_EQ(maxMagnitude, -7.0f);
    }
    // A start above every descendant stays.
    maxMagnitude = 500;
    MaxDescendants(0, 1);
    EXPECT_EQ(maxMagnitude, 500.0f);

    EXPECT_FALSE(SSetB(0, 1, 1e-30f)); // large offspring, no counted grandchild
    EXPECT_TRUE(SSetB(0, 1, 0.0f));

    At(1, 4) = -4;
    BuildDescendantMaxima();
    EXPECT_TRUE(SSetB(0, 1, 4.0f));
    EXPECT_FALSE(SSetB(0, 1, std::nextafter(4.0f, 5.0f)));
    EXPECT_EQ(maxMagnitude, 4.0f);
    maxMagnitude = 0;
    MaxDescendants(0, 2); // the finest level only: (1, 4) and the NaN
    EXPECT_EQ(maxMagnitude, 4.0f);

    EXPECT_EXIT(SSetB(4, 4, 1.0f), ::testing::ExitedWithCode(255), "^SSetB erreur\n$");
}

// The subtree walk the table replaces.
void WalkMaximum(int32_t row, int32_t col, float& maximum) {
    int32_t rows[4];
    int32_t cols[4];
    if (Offspring(rows, cols, row, col) == 0) {
        return;
    }
    for (int k = 0; k < 4; k++) {
        WalkMaximum(rows[k], cols[k], maximum);
        float magnitude = std::fabs(coefficients[cols[k] * height + rows[k]]);
        if (magnitude > maximum) {
            maximum = magnitude;
        }
    }
}

TEST_F(TarvelUnits, DescendantTableAnswersAsSubtreeWalks) {
    struct Geometry {
        int32_t lig, col, expos;
    };
    std::mt19937 random(3);
    const float specials[] = {0.0f, -0.0f, std::nanf(""), 1e-42f, 8.0f, -8.0f};
    for (Geometry g :
         {Geometry{2, 2, 1}, Geometry{2, 4, 3}, Geometry{6, 2, 2}, Geometry{4, 4, 4}}) {
        Shape(g.lig, g.col, g.expos);
        for (int32_t i = 0; i < height * width; i++) {
            // A third of special values, the rest spread over many magnitudes.
            coefficients[i] = random() % 3 == 0
                                  ? specials[random() % 6]
                                  : std::ldexp(static_cast<float>(random() % 2000) - 1000.0f,
                                               -static_cast<int>(random() % 12));
        }
        BuildDescendantMaxima();
        for (int32_t row = 0; row < height; row++) {
            for (int32_t col = 0; col < width; col++) {
                for (float start : {0.0f, 3.0f}) {
                    float walked = start;
                    WalkMaximum(row, col, walked);
                    maxMagnitude = start;
                    MaxDescendants(row, col);
                    EXPECT_EQ(maxMagnitude, walked) << row << "," << col;
                }
                if (!HasGrandchildren(row, col)) {
                    continue;
                }
                int32_t rows[4];
                int32_t cols[4];
                Offspring(rows, cols, row, col);
                float below = 0;
                for (int k = 0; k < 4; k++) {
                    WalkMaximum(rows[k], cols[k], below);
                }
                for (float seuil : {0.0f, below, std::nextafter(below, 1e9f), 1.0f, 64.0f}) {
                    EXPECT_EQ(SSetB(row, col, seuil), below >= seuil) << row << "," << col;
                }
            }
        }
    }
}

// Number of WriteBit calls that returned before the budget stop, kept outside the frame that
// the jump leaves.
int returnedCalls;

// Emits the bits until the budget stop; returns the calls that returned, or -1 when none
// stopped.
int EmitUntilStop(const std::vector<uint8_t>& bits) {
    returnedCalls = 0;
    if (setjmp(budgetJump) != 0) {
        return returnedCalls;
    }
    for (uint8_t bit : bits) {
        WriteBit(bit);
        returnedCalls++;
    }
    return -1;
}

TEST_F(TarvelUnits, BitsArePackedLowBitFirst) {
    struct Case {
        std::vector<uint8_t> bits;
        std::string bytes;
    };
    std::vector<Case> cases = {
        {{1, 0, 0, 0, 0, 0, 0, 0}, "\x01"},
        {{0, 0, 0, 0, 0, 0, 0, 1}, "\x80"},
        {{1, 1, 0, 1, 0, 0, 0, 0}, "\x0b"},
        {{2, 0, 0, 0, 0, 0, 0, 255, 0, 1, 1}, "\x81"}, // any non-zero byte is a 1 bit
    };
    for (const Case& c : cases) {
        Reset();
        EXPECT_EQ(EmitUntilStop(c.bits), -1);
        EXPECT_EQ(bitCount, static_cast<int32_t>(c.bits.size()));
        CloseBitFile();
        EXPECT_EQ(ReadFile("fbin.dat"), c.bytes);
    }
}

// The bit that reaches the budget is counted and packed, and a byte it completes is written
// before the stop; the bits of an incomplete byte are not. An old stream is replaced.
TEST_F(TarvelUnits, BudgetStopsAtTheBitThatReachesIt) {
    struct Case {
        int32_t budget;
        int returned;
        int32_t bits;
        std::string bytes;
    };
    std::vector<Case> cases = {
        {8, 7, 8, "\xff"}, {13, 12, 13, "\xff"}, {16, 15, 16, "\xff\xff"},
        {1, 0, 1, ""},     {0, 0, 1, ""},        {INT_MIN, 0, 1, ""},
    };
    for (const Case& c : cases) {
        Reset();
        WriteFile("fbin.dat", "an older and longer stream");
        longueur = c.budget;
        EXPECT_EQ(EmitUntilStop(std::vector<uint8_t>(40, 1)), c.returned) << c.budget;
        EXPECT_EQ(bitCount, c.bits) << c.budget;
        EXPECT_EQ(pendingBits, c.bits % 8) << c.budget;
        CloseBitFile();
        EXPECT_EQ(ReadFile("fbin.dat"), c.bytes) << c.budget;
    }
}

// Lowest band 2 x 4, two levels: 8 rows, 16 columns, read column after column.
TEST_F(TarvelUnits, InitReadsTheImageColumnAfterColumn) {
    std::vector<float> values(128 + 3);
    for (size_t i = 0; i < values.size(); i++) {
        values[i] = static_cast<float>(i);
    }
    InitFrom(2, 4, 2, FloatBytes(values));
    EXPECT_EQ(height, 8);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(halfHeight, 4);
    EXPECT_EQ(halfWidth, 8);
    EXPECT_EQ(coefficients[1 * height + 2], 10.0f); // row 2, column 1
    EXPECT_EQ(coefficients[127], 127.0f);
    EXPECT_EQ(ftell(stdin), 512); // the values past the image are not taken
    EXPECT_EQ(ListCapacity, 1000000);
    for (int list = LSP; list <= LIS; list++) {
        EXPECT_EQ(listLengths[list], 0);
        int32_t typed = 0;
        for (int32_t i = 0; i < ListCapacity; i++) {
            typed += lists[list][i].type != 0;
        }
        EXPECT_EQ(typed, 0);
    }
    for (int32_t i = 0; i < height * width; i++) {
        ASSERT_EQ(reconstruction[i], 0.0f);
    }
}

// A value cut short counts as missing.
TEST_F(TarvelUnits, ShortInputLeavesZeros) {
    InitFrom(2, 2, 1, FloatBytes({1, 2, 3}) + "\x01\x02");
    EXPECT_EQ(coefficients[2], 3.0f);
    for (int32_t i = 3; i < 16; i++) {
        EXPECT_EQ(coefficients[i], 0.0f) << i;
    }
}

// Over a million coefficients every list has room for all of them.
TEST_F(TarvelUnits, ListsHoldEveryCoefficientOfLargeImages) {
    InitFrom(2, 2, 10, "");
    EXPECT_EQ(ListCapacity, 2048 * 2048);
}

#if !defined(__SANITIZE_ADDRESS__)
// Address space of this process now, in bytes.
size_t AddressSpace() {
    FILE* statm = fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (statm != nullptr) {
        if (fscanf(statm, "%lu", &pages) != 1) {
            pages = 0;
        }
        fclose(statm);
    }
    return pages * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Runs Init on a 4096 x 4096 image of zeros with `room` bytes of address space to spare: the
// two coefficient arrays take 64 MiB each, each list 144 MiB.
void InitWithin(size_t room) {
    LIG = 16;
    COL = 16;
    EXPOS = 8;
    if (freopen("/dev/null", "rb", stdin) == nullptr) {
        exit(3);
    }
    struct rlimit limit;
    limit.rlim_cur = limit.rlim_max = AddressSpace() + room;
    setrlimit(RLIMIT_AS, &limit);
    Init();
    exit(0);
}
#endif

// The coefficient arrays fail without a message, a list with its own.
TEST_F(TarvelUnits, AllocationFailuresOfInitEndTheRun) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit leaves";
#else
    EXPECT_EXIT(InitWithin(32u << 20), ::testing::ExitedWithCode(255), "^$");
    EXPECT_EXIT(InitWithin(200u << 20), ::testing::ExitedWithCode(255), "^Init : 3\n$");
    EXPECT_EXIT(InitWithin(1000u << 20), ::testing::ExitedWithCode(0), "^$");
#endif
}

// The limit counts appended points, removed ones included.
TEST_F(TarvelUnits, AppendToAFullListEndsTheRun) {
    InitFrom(2, 2, 1, "");
    AjouterPoint(LIS, 3, 1, 5);
    EXPECT_EQ(listLengths[LIS], 1);
    // Copies: the fields of the packed points are not aligned for reference binding.
    int32_t row = lists[LIS][0].row;
    int32_t col = lists[LIS][0].col;
    EXPECT_EQ(row, 3);
    EXPECT_EQ(col, 1);
    EXPECT_EQ(lists[LIS][0].type, 5);

    listLengths[LIP] = 999999;
    AjouterPoint(LIP, 1, 2, 2);
    EXPECT_EQ(listLengths[LIP], 1000000);
    col = lists[LIP][999999].col;
    EXPECT_EQ(col, 2);
    EXPECT_EXIT(AjouterPoint(LIP, 1, 2, 2), ::testing::ExitedWithCode(255), "^AjouterPoint : 1\n$");
}

TEST_F(TarvelUnits, FirstBitPlaneFollowsTheLargestMagnitude) {
    struct Case {
        std::vector<float> values;
        int32_t plane;
        float largest;
    };
    float nan = std::nanf("");
    std::vector<Case> cases = {
        {{10}, 3, 10},       {{8}, 3, 8},
        {{7.99f}, 2, 7.99f}, {{1}, 0, 1},
        {{0.75f}, 0, 0.75f}, {{0.5f}, -1, 0.5f},
        {{0.3f}, -1, 0.3f},  {{0, -0.0f}, 0, 0},
        {{-10, 9}, 3, 10},   {{nan, 0.5f}, -1, 0.5f},
        {{nan}, 0, 0},       {{1024, 2047}, 10, 2047},
    };
    for (const Case& c : cases) {
        Shape(2, 2, 1);
        for (size_t i = 0; i < c.values.size(); i++) {
            coefficients[5 + i] = c.values[i];
        }
        EXPECT_EQ(InitialBitPlane(), c.plane) << c.values[0];
        EXPECT_EQ(maxMagnitude, c.largest) << c.values[0];
    }
    coefficients[15] = -std::numeric_limits<float>::infinity();
    EXPECT_EXIT(InitialBitPlane(), ::testing::ExitedWithCode(255), "^coefficient infini\n$");
}

// One refinement bit: the sign comes from the reconstruction, equality goes to the 1 side,
// and the step of plane n is 2^(n-1).
TEST_F(TarvelUnits, RefinementMovesHalfAnIntervalInMagnitude) {
    struct Case {
        float coefficient;
        float value;
        int32_t n;
        int bit;
        float refined;
    };
    std::vector<Case> cases = {
        {13, 12, 2, 1, 14},    {11, 12, 2, 0, 10},   {12, 12, 2, 1, 14},      {-13, -12, 2, 1, -14},
        {-11, -12, 2, 0, -10}, {-5, -0.0f, 1, 1, 1}, {3, 3.5f, -1, 0, 3.25f},
    };
    for (const Case& c : cases) {
        Reset();
        InitFrom(2, 2, 1, FloatBytes({0, c.coefficient}));
        reconstruction[1] = c.value;
        AjouterPoint(LSP, 1, 0, 1);
        AjouterPoint(LSP, 0, 0, 2);
        RefinementPass(c.n);
        EXPECT_EQ(bitCount, 1) << c.coefficient;
        EXPECT_EQ(pendingByte, c.bit) << c.coefficient;
        EXPECT_EQ(reconstruction[1], c.refined) << c.coefficient;
        EXPECT_EQ(lists[LSP][1].type, 1); // new points only change type
    }
    Reset();
    InitFrom(2, 2, 1, "");
    AjouterPoint(LSP, 0, 0, 3);
    EXPECT_EXIT(RefinementPass(0), ::testing::ExitedWithCode(255), "^erreur de type point\n$");
}

} // namespace
