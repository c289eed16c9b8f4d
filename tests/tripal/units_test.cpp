// Unit tests of tripal: the decimal conversion, the options and the error report.
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "cli_harness.h"
#include "tripal.h"

namespace {

struct TripalUnits : ::testing::Test {
    void SetUp() override {
        SetDefaults();
    }
    void TearDown() override {
        ForgetOutputs();
    }
    void Read(std::vector<std::string> args) {
        args.insert(args.begin(), "tripal");
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        ReadOptions(static_cast<int>(argv.size()), argv.data());
    }
};

std::vector<std::string> Names() {
    return {fileNames.red, fileNames.green, fileNames.blue, fileNames.index, fileNames.palette};
}

std::vector<std::string> NamesOf(const std::string& base) {
    return {base + "r.ima", base + "v.ima", base + "b.ima", base + "s.ima", base + ".lut"};
}

TEST(TripalDecimal, PlainConversion) {
    struct Case {
        const char* text;
        int32_t value;
    };
    for (Case c : {Case{"", 0}, Case{"x12", 0}, Case{"+", 0}, Case{"- 7", 0}, Case{"12", 12},
                   Case{"0012", 12}, Case{" \t\n\v\f\r+34x", 34}, Case{"  -7", -7}, Case{"4.9", 4},
                   Case{"1 2", 1}, Case{"2147483647", INT32_MAX}, Case{"-2147483648", INT32_MIN},
                   // Past 32 bits the value saturates instead of wrapping.
                   Case{"2147483648", INT32_MAX}, Case{"-2147483649", INT32_MIN},
                   Case{"99999999999999999999999999", INT32_MAX},
                   Case{"-99999999999999999999999999", INT32_MIN}}) {
        EXPECT_EQ(ReadDecimal(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST_F(TripalUnits, OptionsTakeTheirLastValueAndIgnoreTheRest) {
    Read({});
    EXPECT_EQ(columnCount, 512);
    EXPECT_EQ(lineCount, 512);
    Read({"-c4", "c9", "-l2", "-q9", "-", "-C7", "-L7", "-c8"});
    EXPECT_EQ(columnCount, 8);
    EXPECT_EQ(lineCount, 2);
    Read({"-cx", "-l-3"});
    EXPECT_EQ(columnCount, 0);
    EXPECT_EQ(lineCount, -3);
}

// Until a -f the names are empty, not those of an empty base; each -f rebuilds all five.
TEST_F(TripalUnits, BaseNameAndTheFiveNames) {
    Read({"-c4", "fimg"});
    EXPECT_EQ(Names(), std::vector<std::string>(5, ""));

    struct Case {
        std::vector<std::string> args;
        std::string base;
    };
    std::string longBase(300, 'x');
    std::vector<Case> cases = {
        {{"-fimg"}, "img"},
        {{"-fimg", "-f"}, ""},
        {{"-fone", "-c2", "-fdir/two.ima"}, "dir/two.ima"},
        {{"-f" + longBase}, longBase},
    };
    for (const Case& c : cases) {
        SetDefaults();
        Read(c.args);
        EXPECT_EQ(baseName, c.base);
        EXPECT_EQ(Names(), NamesOf(c.base));
    }
}

std::string Report(const char* message, int number) {
    return std::string(message) + ": " + strerror(number) + "\n";
}

TEST_F(TripalUnits, ReportGivesTheErrorNumberAndNeverStatusZero) {
    errno = ENOENT;
    EXPECT_EXIT(ReportError("erreur fichier rouge\n"), ::testing::ExitedWithCode(ENOENT),
                "^" + Report("erreur fichier rouge\n", ENOENT) + "$");
    errno = 0;
    EXPECT_EXIT(ReportError("erreur ligne verte\n"), ::testing::ExitedWithCode(1),
                "^" + Report("erreur ligne verte\n", 0) + "$");
}

// Closed or open, a regular output goes; a device is only closed.
TEST_F(TripalUnits, ReportAfterAWriteFailureRemovesTheRegularOutputs) {
    TempDir dir;
    std::string closed = dir.File("closed.lut");
    std::string open = dir.File("open.ima");
    FILE* closedFile = fopen(closed.c_str(), "w");
    RememberOutput(closedFile, closed.c_str());
    CloseOutput(closedFile);
    RememberOutput(fopen(open.c_str(), "wb"), open.c_str());
    RememberOutput(fopen("/dev/null", "wb"), "/dev/null");
    ASSERT_EQ(ListDir(dir.path), (std::vector<std::string>{"closed.lut", "open.ima"}));
    errno = ENOSPC;
    EXPECT_EXIT(ReportErrorRemovingOutputs("erreur ecriture sortie\n"),
                ::testing::ExitedWithCode(ENOSPC),
                "^" + Report("erreur ecriture sortie\n", ENOSPC) + "$");
    EXPECT_EQ(ListDir(dir.path), std::vector<std::string>{});
    EXPECT_TRUE(FileExists("/dev/null"));
}

} // namespace
