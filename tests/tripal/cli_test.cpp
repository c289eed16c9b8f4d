// Command-line tests of tripal: whole runs, the files they read and write, the error reports
// byte for byte and the files that failures leave.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "cli_harness.h"

namespace {

const std::string program = TRIPAL_PROGRAM;

std::string Report(const std::string& message, int number) {
    return message + ": " + strerror(number) + "\n";
}

std::string Bytes(const std::vector<int>& values) {
    std::string bytes;
    for (int v : values) {
        bytes += static_cast<char>(v);
    }
    return bytes;
}

// The palette file by its three blocks: red runs each level 32 times; green runs each level 4
// times, and that run of 32 lines comes 8 times; blue repeats its four levels 64 times.
std::string FixedPalette() {
    std::string text;
    for (int k = 0; k < 8; k++) {
        for (int n = 0; n < 32; n++) {
            text += std::to_string(36 * k) + "\n";
        }
    }
    for (int run = 0; run < 8; run++) {
        for (int k = 0; k < 8; k++) {
            for (int n = 0; n < 4; n++) {
                text += std::to_string(36 * k) + "\n";
            }
        }
    }
    for (int run = 0; run < 64; run++) {
        text += "0\n85\n170\n255\n";
    }
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

struct Tripal : ::testing::Test {
    TempDir dir;
    RunResult Run(const std::vector<std::string>& args) {
        return RunProgram(program, args, dir.path);
    }
    void Planes(const std::string& base, const std::string& red, const std::string& green,
                const std::string& blue) {
        WriteFile(dir.File(base + "r.ima"), red);
        WriteFile(dir.File(base + "v.ima"), green);
        WriteFile(dir.File(base + "b.ima"), blue);
    }
    std::vector<std::string> Files() {
        return ListDir(dir.path);
    }
};

const std::vector<std::string> imgPlanes = {"imgb.ima", "imgr.ima", "imgv.ima"};
const std::vector<std::string> imgAll = {"img.lut", "imgb.ima", "imgr.ima", "imgs.ima", "imgv.ima"};

TEST_F(Tripal, NoArgumentPrintsTheUsageLineOnly) {
    RunResult r = Run({});
    EXPECT_EQ(r.err, "tripal -f<nom de fichier sans l'extension>\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Files(), std::vector<std::string>{});
}

// Each pixel's code, and the colour that the palette file gives back for it.
TEST_F(Tripal, CodeTableAndItsDecoding) {
    struct Case {
        int r, g, b;
        int code;
        int decodedR, decodedG, decodedB;
    };
    std::vector<Case> cases = {
        {255, 255, 255, 255, 252, 252, 255}, // white: the red and green top level is 252
        {0, 0, 0, 0, 0, 0, 0},               // black
        {255, 0, 0, 224, 252, 0, 0},         // pure red
        {0, 255, 0, 28, 0, 252, 0},          // pure green
        {0, 0, 255, 3, 0, 0, 255},           // pure blue
        {128, 128, 128, 146, 144, 144, 170}, // mid grey
        {17, 17, 0, 0, 0, 0, 0},             // just under halfway to 36
        {18, 18, 0, 36, 36, 36, 0},          // halfway goes up
        {233, 233, 0, 216, 216, 216, 0},     // just under halfway from 216 to 252
        {234, 234, 0, 252, 252, 252, 0},
        {0, 0, 42, 0, 0, 0, 0},
        {0, 0, 43, 1, 0, 0, 85},
        {0, 0, 212, 2, 0, 0, 170},
        {0, 0, 213, 3, 0, 0, 255},
    };
    std::vector<int> red, green, blue, codes;
    for (const Case& c : cases) {
        red.push_back(c.r);
        green.push_back(c.g);
        blue.push_back(c.b);
        codes.push_back(c.code);
    }
    Planes("img", Bytes(red), Bytes(green), Bytes(blue));
    RunResult r = Run({"-fimg", "-c" + std::to_string(cases.size()), "-l1"});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Files(), imgAll);
    std::string index = ReadFile(dir.File("imgs.ima"));
    EXPECT_EQ(index, Bytes(codes));
    std::string palette = ReadFile(dir.File("img.lut"));
    EXPECT_EQ(palette, FixedPalette());
    std::vector<std::string> lines = Lines(palette);
    ASSERT_EQ(lines.size(), 768u);
    for (size_t k = 0; k < cases.size() && k < index.size(); k++) {
        int v = static_cast<uint8_t>(index[k]);
        EXPECT_EQ(lines[v] + " " + lines[256 + v] + " " + lines[512 + v],
                  std::to_string(cases[k].decodedR) + " " + std::to_string(cases[k].decodedG) +
                      " " + std::to_string(cases[k].decodedB))
            << "pixel " << k;
    }
}

// No columns or no lines: an empty index image, and still the whole palette.
TEST_F(Tripal, EmptyImageStillGetsTheWholePalette) {
    Planes("img", "abcd", "abcd", "abcd");
    for (const char* option : {"-c", "-cx", "-c0", "-c+0", "-l0", "-l-3", "-lx"}) {
        RunResult r = Run({"-fimg", option});
        EXPECT_EQ(r.err, "") << option;
        EXPECT_EQ(r.status, 0) << option;
        EXPECT_EQ(ReadFile(dir.File("imgs.ima")), "") << option;
        EXPECT_EQ(ReadFile(dir.File("img.lut")), FixedPalette()) << option;
    }
}

// 4 columns and 2 lines take the first 8 bytes of each plane, whatever the planes hold after.
TEST_F(Tripal, ColumnsAndLinesSetHowMuchIsRead) {
    std::vector<int> red, green, blue;
    for (int k = 0; k < 20; k++) {
        red.push_back(36 * (k % 8));
        green.push_back(k < 8 ? 36 * (7 - k) : 255);
        blue.push_back(85 * (k % 4));
    }
    Planes("img", Bytes(red), Bytes(green), Bytes(blue) + std::string(1000, '\xff'));
    RunResult r = Run({"-fimg", "-c4", "-l2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(dir.File("imgs.ima")),
              Bytes({0 + 28 + 0, 32 + 24 + 1, 64 + 20 + 2, 96 + 16 + 3, 128 + 12 + 0, 160 + 8 + 1,
                     192 + 4 + 2, 224 + 0 + 3}));

    // The defaults: 512 lines of 512 columns.
    std::string plane(512 * 512 + 7, '\x80');
    Planes("img", plane, plane, plane);
    r = Run({"-fimg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(dir.File("imgs.ima")), std::string(512 * 512, '\x92'));
}

// 3 lines of 3 columns from a red plane of 7 bytes, a green plane of one line and an empty
// blue plane: the third red line gets one new byte and keeps the two before it, the green line
// is read once and kept, the blue line stays zero.
TEST_F(Tripal, ShortPlanesReuseWhatTheirLineLastHeld) {
    Planes("img", Bytes({0, 36, 72, 108, 144, 180, 216}), Bytes({252, 36, 0}), "");
    RunResult r = Run({"-fimg", "-c3", "-l3"});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(dir.File("imgs.ima")),
              Bytes({0 + 28, 32 + 4, 64, 96 + 28, 128 + 4, 160, 192 + 28, 128 + 4, 160}));
    EXPECT_EQ(ReadFile(dir.File("img.lut")), FixedPalette());
}

// Before any -f the names are empty, so the planes of an empty base are not found; "-f" alone
// gives that empty base.
TEST_F(Tripal, NoBaseNameAndAnEmptyBaseName) {
    Planes("", Bytes({255, 0, 0, 0}), Bytes({0, 255, 0, 0}), Bytes({0, 0, 255, 0}));
    RunResult r = Run({"-c4", "-l1", "img"});
    EXPECT_EQ(r.err, Report("erreur fichier rouge\n", ENOENT));
    EXPECT_EQ(r.status, ENOENT);
    EXPECT_EQ(Files(), (std::vector<std::string>{"b.ima", "r.ima", "v.ima"}));

    r = Run({"-f", "-c4", "-l1"});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Files(), (std::vector<std::string>{".lut", "b.ima", "r.ima", "s.ima", "v.ima"}));
    EXPECT_EQ(ReadFile(dir.File("s.ima")), Bytes({224, 28, 3, 0}));
}

TEST_F(Tripal, SecondBaseNameReplacesTheFirst) {
    Planes("b", "ab", "ab", "ab");
    RunResult r = Run({"-fa", "-fb", "-c2", "-l1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Files(), (std::vector<std::string>{"b.lut", "bb.ima", "br.ima", "bs.ima", "bv.ima"}));

    r = Run({"-fb", "-fa", "-c2", "-l1"});
    EXPECT_EQ(r.err, Report("erreur fichier rouge\n", ENOENT));
    EXPECT_EQ(r.status, ENOENT);
}

// Each file that cannot be opened is named; the files opened before it are left as they are,
// the palette file created and empty when the index image fails.
TEST_F(Tripal, EachOpenFailureNamesItsFile) {
    struct Case {
        std::vector<std::string> present; // planes written, directories where an output goes
        std::string message;
        int number;
        std::vector<std::string> after;
    };
    std::vector<Case> cases = {
        {{}, "erreur fichier rouge\n", ENOENT, {}},
        {{"imgr.ima"}, "erreur fichier vert\n", ENOENT, {"imgr.ima"}},
        {{"imgr.ima", "imgv.ima"}, "erreur fichier bleu\n", ENOENT, {"imgr.ima", "imgv.ima"}},
        {{"imgr.ima", "imgv.ima", "imgb.ima", "img.lut/"},
         "erreur fichier palette\n",
         EISDIR,
         {"img.lut", "imgb.ima", "imgr.ima", "imgv.ima"}},
        {{"imgr.ima", "imgv.ima", "imgb.ima", "imgs.ima/"},
         "erreur fichier sortie\n",
         EISDIR,
         imgAll},
    };
    for (const Case& c : cases) {
        TempDir caseDir;
        for (const std::string& name : c.present) {
            if (name.back() == '/') {
                ASSERT_EQ(mkdir(caseDir.File(name).c_str(), 0755), 0);
            } else {
                WriteFile(caseDir.File(name), "abcd");
            }
        }
        RunResult r = RunProgram(program, {"-fimg", "-c4", "-l1"}, caseDir.path);
        EXPECT_EQ(r.err, Report(c.message, c.number));
        EXPECT_EQ(r.status, c.number) << c.message;
        EXPECT_EQ(ListDir(caseDir.path), c.after) << c.message;
        if (c.message == "erreur fichier sortie\n") {
            EXPECT_EQ(ReadFile(caseDir.File("img.lut")), "");
        }
    }
}

// A plane that opens but cannot be read (a directory) is a failure, not a short plane.
TEST_F(Tripal, UnreadablePlaneEndsTheRunAndRemovesTheOutputs) {
    struct Case {
        const char* directory;
        const char* message;
    };
    for (Case c :
         {Case{"imgr.ima", "erreur fichier rouge\n"}, Case{"imgb.ima", "erreur fichier bleu\n"}}) {
        TempDir caseDir;
        for (const char* name : {"imgr.ima", "imgv.ima", "imgb.ima"}) {
            if (strcmp(name, c.directory) == 0) {
                ASSERT_EQ(mkdir(caseDir.File(name).c_str(), 0755), 0);
            } else {
                WriteFile(caseDir.File(name), "abcd");
            }
        }
        RunResult r = RunProgram(program, {"-fimg", "-c4", "-l1"}, caseDir.path);
        EXPECT_EQ(r.err, Report(c.message, EISDIR));
        EXPECT_EQ(r.status, EISDIR);
        EXPECT_EQ(ListDir(caseDir.path), imgPlanes) << c.message;
    }
}

// An output that is one of the planes, through a link, is refused before anything is emptied.
TEST_F(Tripal, OutputThatIsAPlaneIsRefused) {
    struct Case {
        const char* output;
        const char* plane;
        bool hardLink;
    };
    for (Case c : {Case{"imgs.ima", "imgr.ima", false}, Case{"img.lut", "imgb.ima", false},
                   Case{"imgs.ima", "imgv.ima", true}}) {
        TempDir caseDir;
        for (const char* name : {"imgr.ima", "imgv.ima", "imgb.ima"}) {
            WriteFile(caseDir.File(name), name);
        }
        std::string output = caseDir.File(c.output);
        ASSERT_EQ(c.hardLink ? link(caseDir.File(c.plane).c_str(), output.c_str())
                             : symlink(c.plane, output.c_str()),
                  0);
        RunResult r = RunProgram(program, {"-fimg", "-c4", "-l2"}, caseDir.path);
        EXPECT_EQ(r.err, Report("fichier de sortie identique au fichier d'entree\n", EINVAL));
        EXPECT_EQ(r.status, EINVAL);
        std::vector<std::string> expected = {"imgb.ima", "imgr.ima", "imgv.ima", c.output};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ListDir(caseDir.path), expected) << c.output;
        for (const char* name : {"imgr.ima", "imgv.ima", "imgb.ima"}) {
            EXPECT_EQ(ReadFile(caseDir.File(name)), name);
        }
    }
}

// A full device as index image or palette file, failing in the middle of the image or only when
// the file is closed: the report, and no regular output left; the device itself stays.
TEST_F(Tripal, WriteFailureRemovesTheOutputs) {
    struct Case {
        const char* full;
        std::vector<std::string> args;
    };
    for (Case c : {Case{"imgs.ima", {"-fimg"}}, Case{"imgs.ima", {"-fimg", "-c4", "-l2"}},
                   Case{"img.lut", {"-fimg", "-c4", "-l2"}}}) {
        TempDir caseDir;
        std::string plane(512 * 512, '\x40');
        for (const char* name : {"imgr.ima", "imgv.ima", "imgb.ima"}) {
            WriteFile(caseDir.File(name), plane);
        }
        ASSERT_EQ(symlink("/dev/full", caseDir.File(c.full).c_str()), 0);
        RunResult r = RunProgram(program, c.args, caseDir.path);
        EXPECT_EQ(r.err, Report("erreur ecriture sortie\n", ENOSPC)) << c.full;
        EXPECT_EQ(r.status, ENOSPC) << c.full;
        std::vector<std::string> expected = {"imgb.ima", "imgr.ima", "imgv.ima", c.full};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ListDir(caseDir.path), expected) << c.full;
        EXPECT_TRUE(FileExists("/dev/full"));
    }
}

// A negative column count is refused as a line that cannot be made, before any file is made.
TEST_F(Tripal, NegativeColumnCountIsRefusedFirst) {
    Planes("img", "abcd", "abcd", "abcd");
    for (const char* option : {"-c-1", "-c -2147483648"}) {
        RunResult r = Run({"-fimg", option, "-l1"});
        EXPECT_EQ(r.err, Report("erreur ligne rouge\n", ENOMEM)) << option;
        EXPECT_EQ(r.status, ENOMEM) << option;
        EXPECT_EQ(Files(), imgPlanes) << option;
    }
}

// Under a cap on the address space the line that does not fit is named: 300 MB hold one line
// of 400 MB, two of 200, three of 120 or four of 90 only in part.
TEST_F(Tripal, LineThatCannotBeMadeIsNamed) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer's shadow memory does not fit under an address-space cap";
#endif
    Planes("img", "abcd", "abcd", "abcd");
    struct Case {
        const char* columns;
        const char* message;
    };
    for (Case c :
         {Case{"-c400000000", "erreur ligne rouge\n"}, Case{"-c200000000", "erreur ligne verte\n"},
          Case{"-c120000000", "erreur ligne bleue\n"},
          Case{"-c90000000", "erreur ligne sortie\n"}}) {
        RunResult r = RunProgram(
            "/bin/sh",
            {"-c", "ulimit -v 307200 && exec \"$0\" \"$@\"", program, "-fimg", c.columns, "-l0"},
            dir.path);
        EXPECT_EQ(r.err, Report(c.message, ENOMEM)) << c.columns;
        EXPECT_EQ(r.status, ENOMEM) << c.columns;
    }
}

} // namespace
