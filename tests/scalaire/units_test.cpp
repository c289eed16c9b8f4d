// Unit tests of the scalaire steps: histogram, design steps and writer.
#include <cmath>
#include <csignal>
#include <deque>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "cli_harness.h"
#include "fatal_error.h"
#include "scalaire.h"

namespace {

struct ScalaireUnits : ::testing::Test {
    TempDir dir;
    std::deque<SymbolNode> nodes;   // lists built by hand
    std::vector<void*> allocations; // what the steps allocated, released after the test
    void SetUp() override {
        SetDefaults();
        ResetOutputFiles();
    }
    void TearDown() override {
        for (void* block : allocations) {
            free(block);
        }
    }
    SymbolNode* Histogram(const std::string& bytes, int64_t count) {
        SymbolNode* list = BuildHistogram(Input(bytes).c_str(), count);
        for (SymbolNode* node = list; node != nullptr; node = node->next) {
            allocations.push_back(node);
        }
        return list;
    }
    double* Levels(const SymbolNode* list, int32_t levelCount) {
        double* levels = InitialLevels(list, levelCount);
        allocations.push_back(levels);
        return levels;
    }
    std::string Input(const std::string& bytes) {
        std::string path = dir.File("in.raw");
        WriteFile(path, bytes);
        return path;
    }
    // A list built by hand: one node per value, equally probable, with the given cells.
    SymbolNode* MakeList(const std::vector<int>& values, const std::vector<int>& cells) {
        SymbolNode* first = nullptr;
        SymbolNode** link = &first;
        for (size_t i = 0; i < values.size(); i++) {
            nodes.push_back(SymbolNode{static_cast<uint8_t>(values[i]), 1.0 / values.size(),
                                       cells.empty() ? 0 : cells[i], nullptr});
            *link = &nodes.back();
            link = &nodes.back().next;
        }
        return first;
    }
};

std::vector<std::pair<int, double>> Symbols(const SymbolNode* list) {
    std::vector<std::pair<int, double>> symbols;
    for (; list != nullptr; list = list->next) {
        symbols.emplace_back(list->value, list->prob);
    }
    return symbols;
}

// Block edges: no full block, one full block with an empty or a one-byte last read; the byte
// right after the counted part must not be counted.
TEST_F(ScalaireUnits, HistogramCountsExactlyTheFirstBytesAcrossBlockEdges) {
    for (int64_t count : {100, 16384, 16385}) {
        std::string bytes(count, '\x07');
        bytes[count - 1] = '\x09';
        bytes += '\xff'; // past the counted part
        symbolCount = 0;
        SymbolNode* list = Histogram(bytes, count);
        double p9 = 1.0 / count;
        EXPECT_EQ(Symbols(list),
                  (std::vector<std::pair<int, double>>{{7, (count - 1) * (1.0 / count)}, {9, p9}}))
            << count;
        EXPECT_EQ(symbolCount, 2);
    }
}

TEST_F(ScalaireUnits, HistogramOfAllValuesIsInValueOrder) {
    std::string bytes;
    for (int v = 255; v >= 0; v--) {
        bytes += static_cast<char>(v);
    }
    SymbolNode* list = Histogram(bytes, 256);
    EXPECT_EQ(symbolCount, 256);
    int expected = 0;
    for (const SymbolNode* node = list; node != nullptr; node = node->next, expected++) {
        EXPECT_EQ(node->value, expected);
        EXPECT_EQ(node->prob, 1.0 / 256);
        EXPECT_EQ(node->cell, 0);
    }
    EXPECT_EQ(expected, 256);
}

TEST_F(ScalaireUnits, HistogramOfOneValueHasProbabilityOne) {
    SymbolNode* list = Histogram(std::string(1000, 'a'), 1000);
    EXPECT_EQ(Symbols(list), (std::vector<std::pair<int, double>>{{'a', 1.0}}));
}

TEST_F(ScalaireUnits, HistogramShortReadEndsTheRun) {
    std::string path = Input(std::string(50, 'a'));
    EXPECT_EXIT(BuildHistogram(path.c_str(), 51), ::testing::ExitedWithCode(1),
                "^\n\nerreur lecture\n\n$");
    EXPECT_EXIT(BuildHistogram(dir.File("missing").c_str(), 1), ::testing::ExitedWithCode(1),
                "^\n\nfichier non ouvert\n\n$");
}

TEST_F(ScalaireUnits, InitialLevelsAreIntegerStepsFromTheSmallestValue) {
    SymbolNode* full = MakeList({0, 255}, {});
    double* levels = Levels(full, 16);
    std::vector<double> expected = {0,   15,  31,  47,  63,  79,  95,  111,
                                    127, 143, 159, 175, 191, 207, 223, 239};
    EXPECT_EQ(std::vector<double>(levels, levels + 16), expected);

    // Fewer distinct values than levels: neighbouring levels repeat.
    double* close = Levels(MakeList({10, 12}, {}), 4);
    EXPECT_EQ(std::vector<double>(close, close + 4), (std::vector<double>{10, 10, 11, 11}));
}

TEST_F(ScalaireUnits, DistancesOfTheThreeMeasures) {
    distanceType = 0;
    EXPECT_EQ(Distance(3, 7), 16);
    distanceType = 1;
    EXPECT_DOUBLE_EQ(Distance(exp(1.0), 1), 1);
    EXPECT_EQ(Distance(0, 5), INFINITY);
    EXPECT_TRUE(std::isnan(Distance(0, 0)));
    distanceType = 2;
    EXPECT_DOUBLE_EQ(Distance(1024, 1), pow(pow(1024, 0.1) - 1, 2));
    EXPECT_EQ(Distance(0, 0), 0);
    distanceType = 3;
    EXPECT_EXIT(Distance(1, 2), ::testing::ExitedWithCode(1),
                "^\n\nselection distance incorrecte\n\n$");
}

TEST_F(ScalaireUnits, AssignmentGoesToTheLowerLevelOnTiesAndAvoidsNaN) {
    // 5 lies halfway between 0 and 10; 200 is nearest to level 3.
    SymbolNode* list = MakeList({0, 5, 200}, {});
    double levels[] = {0, 10, 100, 150};
    AssignNearest(list, levels, 4);
    EXPECT_EQ(list->cell, 0);
    EXPECT_EQ(list->next->cell, 0);
    EXPECT_EQ(list->next->next->cell, 3);

    // Under the logarithm, 0 is at NaN from level 0 and infinitely far from the others.
    distanceType = 1;
    SymbolNode* zero = MakeList({0}, {1});
    double logLevels[] = {0, 50};
    AssignNearest(zero, logLevels, 2);
    EXPECT_EQ(zero->cell, 0);
}

TEST_F(ScalaireUnits, CentroidsAreWeightedMeansAndAnEmptyCellEndsTheRun) {
    SymbolNode* list = MakeList({0, 10, 20, 30}, {0, 0, 1, 1});
    double levels[] = {99, 99};
    UpdateCentroids(list, levels, 2);
    EXPECT_EQ(levels[0], 5);
    EXPECT_EQ(levels[1], 25);
    EXPECT_EQ(Distortion(list, levels), 25);

    // 0, 1, 2 and 200 under four levels 0, 50, 100, 150: cell 1 stays empty.
    SymbolNode* sparse = MakeList({0, 1, 2, 200}, {});
    double* initial = Levels(sparse, 4);
    EXPECT_EQ(std::vector<double>(initial, initial + 4), (std::vector<double>{0, 50, 100, 150}));
    AssignNearest(sparse, initial, 4);
    EXPECT_EXIT(UpdateCentroids(sparse, initial, 4), ::testing::ExitedWithCode(1),
                "^\n\npas de representant\n\n$");
}

// Levels of 127.5 and 127.49 round to 128 and 127; an input of 16385 bytes goes out as one block
// and one byte.
TEST_F(ScalaireUnits, WriterRoundsHalvesUpAcrossBlockEdges) {
    SymbolNode* list = MakeList({1, 2}, {0, 1});
    double levels[] = {127.5, 127.49};
    std::string bytes(16385, '\x01');
    bytes[16384] = '\x02';
    bytes += '\x01'; // past the processed part
    std::string out = dir.File("out.raw");
    WriteQuantized(Input(bytes).c_str(), out.c_str(), 16385, list, levels);
    std::string expected(16385, '\x80');
    expected[16384] = '\x7f';
    EXPECT_EQ(ReadFile(out), expected);
}

// A write that fails part-way removes the output: here the file size limit stops it after 100
// bytes, as a full disk would.
TEST_F(ScalaireUnits, WriterRemovesTheOutputAfterAFailedWrite) {
    SymbolNode* list = MakeList({1}, {0});
    double levels[] = {3};
    std::string in = Input(std::string(40000, '\x01'));
    std::string out = dir.File("out.raw");
    WriteFile(out, "previous content");
    auto writeWithinLimit = [&] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        WriteQuantized(in.c_str(), out.c_str(), 40000, list, levels);
    };
    EXPECT_EXIT(writeWithinLimit(), ::testing::ExitedWithCode(1), "^\n\nerreur ecriture\n\n$");
    EXPECT_FALSE(FileExists(out));
    EXPECT_TRUE(FileExists(in));
}

TEST_F(ScalaireUnits, WriterShortReadRemovesTheOutput) {
    SymbolNode* list = MakeList({1}, {0});
    double levels[] = {3};
    std::string in = Input(std::string(20000, '\x01'));
    std::string out = dir.File("out.raw");
    EXPECT_EXIT(WriteQuantized(in.c_str(), out.c_str(), 20001, list, levels),
                ::testing::ExitedWithCode(1), "^\n\nerreur lecture\n\n$");
    EXPECT_FALSE(FileExists(out));
}

} // namespace
