// Command-line tests of couleur: whole runs byte for byte, the design loop's ends, the failures
// with the files they leave, and the key press on a terminal.
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "cli_harness.h"
#include "pixels.h"

namespace {

const std::string program = COULEUR_PROGRAM;

std::string Framed(const std::string& message) {
    return "\n\n" + message + "\n\n";
}

void WritePlaneSet(const TempDir& dir, const std::string& base, const std::vector<Pixel>& pixels) {
    std::vector<std::string> planes = PlaneBytes(pixels);
    WriteFile(dir.File(base + "r.ima"), planes[0]);
    WriteFile(dir.File(base + "v.ima"), planes[1]);
    WriteFile(dir.File(base + "b.ima"), planes[2]);
}

struct Couleur : ::testing::Test {
    TempDir dir;
    RunResult Run(const std::vector<std::string>& args) {
        return RunProgram(program, args, dir.path);
    }
    void WritePlanes(const std::string& base, const std::vector<Pixel>& pixels) {
        WritePlaneSet(dir, base, pixels);
    }
};

// Four reduced colours along red, all with green and blue reduced to 0: representative reds
// 8 (4 pixels), 40 (1), 56 (2) and 72 (1), so every probability and every distortion is a
// multiple of 1/8, exact in floats. The picks of N 2 are 40 and 72; every colour in entry 0
// gives the reference distortion (4*32 + 0 + 2*16 + 32) / 8 = 24.
//   pass 1: 56 ties between 40 and 72 and stays in entry 0: (128 + 32) / 8 = 20, 4/20;
//           entry 0 becomes 184/7 = 26.29 -> 26: (72 + 14 + 60) / 8 = 18.25, 1.75/18.25.
//   pass 2: 56 moves to 72: (72 + 14 + 32) / 8 = 14.75, 3.5/14.75;
//           entries 72/5 = 14.4 -> 14 and 184/3 = 61.3 -> 61: 71/8 = 8.875, 5.875/8.875.
//   pass 3: 40 moves to 61: 66/8 = 8.25, 0.625/8.25; entries 8 and 56: 32/8 = 4, 4.25/4.
//   pass 4: nothing moves: 4 and 4, errors 0, which ends the loop.
const std::vector<Pixel> redLine = {{48, 0, 15}, {0, 0, 0},   {70, 15, 0}, {15, 3, 7},
                                    {47, 9, 9},  {7, 15, 15}, {63, 1, 2},  {3, 8, 0}};
const std::string redLineHeader = "taille fichier 8\nnombre code 4\n";
const std::string redLinePassOne = "distorsion 2.000000e+01, erreur 2.000000e-01\n"
                                   "distorsion 1.825000e+01, erreur 9.589041e-02\n";

TEST_F(Couleur, WholeRunPrintsEveryPassAndWritesBothFiles) {
    WritePlanes("img", redLine);
    RunResult r = Run({"-fimg", "-N2", "ignored", "-x", "-"});
    EXPECT_EQ(r.err, redLineHeader + redLinePassOne +
                         "distorsion 1.475000e+01, erreur 2.372881e-01\n"
                         "distorsion 8.875000e+00, erreur 6.619718e-01\n"
                         "distorsion 8.250000e+00, erreur 7.575758e-02\n"
                         "distorsion 4.000000e+00, erreur 1.062500e+00\n"
                         "distorsion 4.000000e+00, erreur 0.000000e+00\n"
                         "distorsion 4.000000e+00, erreur 0.000000e+00\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadFile(dir.File("imgs.ima")), std::string("\1\0\1\0\1\0\1\0", 8));
    EXPECT_EQ(ReadFile(dir.File("img.lut")), PaletteText({{8, 8, 8}, {56, 8, 8}}));
}

// The deciding error of the first pass is 1.75/18.25 = 0.095890411 in double, 0.0958904102 as a
// 32-bit float. An epsilon of that float stops the loop there: the error is compared as a
// float, and an error equal to epsilon is not greater. The files then come from the first pass:
// cells {8, 40, 56} and {72}, entries 26 and 72.
TEST_F(Couleur, DecidingErrorIsAFloatThatMustExceedEpsilon) {
    WritePlanes("img", redLine);
    RunResult r = Run({"-fimg", "-N2", "-E9.589041024446487e-02"});
    EXPECT_EQ(r.err, redLineHeader + redLinePassOne);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(dir.File("imgs.ima")), std::string("\0\0\1\0\0\0\0\0", 8));
    EXPECT_EQ(ReadFile(dir.File("img.lut")), PaletteText({{26, 8, 8}, {72, 8, 8}}));
}

// As many colours as entries: the first assignment gives every colour its own entry, distortion
// 0 with an infinite error, then 0/0. One colour under one entry: 0/0 from the start. Both stop
// after one pass, which a NaN error ends.
TEST_F(Couleur, ZeroDistortionEndsAfterOnePass) {
    struct Case {
        std::vector<Pixel> pixels;
        std::string n;
        std::string err;
        std::string index;
        std::vector<Pixel> palette;
    };
    std::vector<Case> cases = {
        {{{0, 0, 255}, {255, 0, 0}, {0, 255, 0}, {255, 0, 0}},
         "-N3",
         "taille fichier 4\nnombre code 3\n"
         "distorsion 0.000000e+00, erreur inf\n"
         "distorsion 0.000000e+00, erreur -nan\n",
         std::string("\0\2\1\2", 4),
         {{8, 8, 248}, {8, 248, 8}, {248, 8, 8}}},
        {std::vector<Pixel>(5, Pixel{200, 100, 50}),
         "-N1",
         "taille fichier 5\nnombre code 1\n"
         "distorsion 0.000000e+00, erreur -nan\n"
         "distorsion 0.000000e+00, erreur -nan\n",
         std::string(5, '\0'),
         {{200, 104, 56}}},
    };
    for (const Case& c : cases) {
        WritePlanes("img", c.pixels);
        RunResult r = Run({"-fimg", c.n});
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(ReadFile(dir.File("imgs.ima")), c.index) << c.n;
        EXPECT_EQ(ReadFile(dir.File("img.lut")), PaletteText(c.palette)) << c.n;
    }
}

// Each reduced colour of the default shifts once, in scrambled order: 4096 pixels.
std::vector<Pixel> AllReducedColours() {
    std::vector<Pixel> pixels;
    for (int n = 0; n < 4096; n++) {
        int c = (n * 1999) % 4096;
        pixels.push_back(
            Pixel{(c >> 8) * 16 + n % 16, ((c >> 4) & 15) * 16 + 15, (c & 15) * 16 + n % 7});
    }
    return pixels;
}

// No arguments: N 256, shifts 4, and the bare suffixes as names in the working directory.
TEST_F(Couleur, DefaultsDesignTwoHundredFiftySixEntries) {
    WritePlanes("", AllReducedColours());
    RunResult r = Run({});
    EXPECT_EQ(r.status, 0);
    std::string header = "taille fichier 4096\nnombre code 4096\n";
    EXPECT_EQ(r.err.substr(0, header.size()), header);
    std::string index = ReadFile(dir.File("s.ima"));
    ASSERT_EQ(index.size(), 4096u);
    std::vector<bool> used(256, false);
    for (char c : index) {
        used[static_cast<uint8_t>(c)] = true;
    }
    EXPECT_EQ(std::count(used.begin(), used.end(), true), 256);
    EXPECT_TRUE(FileExists(dir.File(".lut")));
}

// With N 16 every index byte is below 16, and the palette lines past the sixteenth of each
// block are 0.
TEST_F(Couleur, SixteenEntriesFillTheRestOfThePaletteWithZeros) {
    std::vector<Pixel> pixels = AllReducedColours();
    WritePlanes("img", pixels);
    RunResult r = Run({"-fimg", "-N16"});
    ASSERT_EQ(r.status, 0);
    std::string index = ReadFile(dir.File("imgs.ima"));
    std::string text = ReadFile(dir.File("img.lut"));
    std::vector<int> lines;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        std::string line = text.substr(start, end - start);
        ASSERT_EQ(line, std::to_string(std::stoi(line)));
        lines.push_back(std::stoi(line));
    }
    ASSERT_EQ(lines.size(), 768u);
    for (int block = 0; block < 3; block++) {
        for (int j = 16; j < 256; j++) {
            EXPECT_EQ(lines[256 * block + j], 0);
        }
    }
    ASSERT_EQ(index.size(), pixels.size());
    for (size_t k = 0; k < pixels.size(); k++) {
        ASSERT_LT(static_cast<uint8_t>(index[k]), 16);
    }
}

TEST_F(Couleur, LongBaseNameIsUsedWhole) {
    std::string base(200, 'b');
    WritePlanes(base, redLine);
    RunResult r = Run({"-f" + base, "-N2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(dir.File(base + "s.ima")), std::string("\1\0\1\0\1\0\1\0", 8));
    EXPECT_TRUE(FileExists(dir.File(base + ".lut")));
}

// Every failure: its printouts, status 1, and the files it leaves. Each case runs in a fresh
// directory holding the given files ("/" at the end of a name makes a directory).
TEST_F(Couleur, FailuresAndTheFilesTheyLeave) {
    std::string plane8(8, '\0');
    std::string plane100(100, '\0');
    std::vector<std::string> bytes = PlaneBytes(redLine);
    std::vector<std::pair<std::string, std::string>> planes = {
        {"imgr.ima", bytes[0]}, {"imgv.ima", bytes[1]}, {"imgb.ima", bytes[2]}};
    const std::vector<std::string> planeNames = {"imgb.ima", "imgr.ima", "imgv.ima"};
    const std::string passOne = "-E9.589041024446487e-02";
    struct Case {
        std::vector<std::string> args;
        std::vector<std::pair<std::string, std::string>> files;
        std::string err;
        std::vector<std::string> left;
    };
    std::vector<Case> cases = {
        {{}, {}, Framed("erreur ouverture fichier rouge"), {}},
        {{"-N0", "-fimg"}, {}, Framed("N doit etre different de 0"), {}},
        {{"-N0", "-N-1", "-r9"}, {}, Framed("N doit etre compris entre 1 et 256"), {}},
        {{"-N257", "-b9", "-E-1"}, {}, Framed("N doit etre compris entre 1 et 256"), {}},
        {{"-r-1"}, {}, Framed("decalage incorrect (0 a 8)"), {}},
        {{"-v9"}, {}, Framed("decalage incorrect (0 a 8)"), {}},
        {{"-b9", "-E-1"}, {}, Framed("decalage incorrect (0 a 8)"), {}},
        {{"-E-0.5"}, {}, Framed("epsilon doit etre positif ou nul"), {}},
        {{"-fimg"}, {{"imgr.ima", plane8}}, Framed("erreur ouverture fichier vert"), {"imgr.ima"}},
        {{"-fimg"},
         {{"imgr.ima", plane8}, {"imgv.ima", plane8}},
         Framed("erreur ouverture fichier bleu"),
         {"imgr.ima", "imgv.ima"}},
        {{"-fimg"},
         {{"imgr.ima", plane100}, {"imgv.ima", plane100}, {"imgb.ima", plane100.substr(1)}},
         Framed("fichiers de taille differente"),
         planeNames},
        {{"-fimg"},
         {{"imgr.ima", ""}, {"imgv.ima", ""}, {"imgb.ima", ""}},
         Framed("fichier de taille nulle"),
         planeNames},
        {{"-fimg", "-N5"}, planes, redLineHeader + Framed("initialisation mal faite"), planeNames},
        // The index image cannot be created: the palette file is not tried.
        {{"-fimg", "-N2", passOne},
         {planes[0], planes[1], planes[2], {"imgs.ima/", ""}},
         redLineHeader + redLinePassOne + Framed("fichier de sortie non ouvert"),
         {"imgb.ima", "imgr.ima", "imgs.ima", "imgv.ima"}},
        // The palette file cannot be created: the index image made just before is removed.
        {{"-fimg", "-N2", passOne},
         {planes[0], planes[1], planes[2], {"img.lut/", ""}},
         redLineHeader + redLinePassOne + Framed("fichier de sortie non ouvert"),
         {"img.lut", "imgb.ima", "imgr.ima", "imgv.ima"}},
    };
    for (const Case& c : cases) {
        TempDir caseDir;
        for (const auto& [name, bytes] : c.files) {
            if (name.back() == '/') {
                ASSERT_EQ(mkdir(caseDir.File(name).c_str(), 0755), 0);
            } else {
                WriteFile(caseDir.File(name), bytes);
            }
        }
        RunResult r = RunProgram(program, c.args, caseDir.path);
        std::string label = c.args.empty() ? "(no arguments)" : c.args[0];
        EXPECT_EQ(r.err, c.err) << label;
        EXPECT_EQ(r.status, 1) << label;
        EXPECT_EQ(ListDir(caseDir.path), c.left) << label;
        for (const auto& [name, bytes] : c.files) {
            if (name.back() != '/') {
                EXPECT_EQ(ReadFile(caseDir.File(name)), bytes) << label << " " << name;
            }
        }
    }
}

// An output that is one of the planes through a link is refused before anything is written.
TEST_F(Couleur, OutputLinkedToAPlaneIsRefused) {
    struct Case {
        std::string output;
        std::string plane;
        bool symbolic;
    };
    for (const Case& c : {Case{"imgs.ima", "imgr.ima", true}, Case{"img.lut", "imgb.ima", false},
                          Case{"imgs.ima", "imgv.ima", false}}) {
        TempDir caseDir;
        WritePlaneSet(caseDir, "img", redLine);
        std::vector<std::string> planes = PlaneBytes(redLine);
        std::string target = caseDir.File(c.plane);
        std::string alias = caseDir.File(c.output);
        ASSERT_EQ(c.symbolic ? symlink(c.plane.c_str(), alias.c_str())
                             : link(target.c_str(), alias.c_str()),
                  0);
        RunResult r = RunProgram(program, {"-fimg", "-N2"}, caseDir.path);
        EXPECT_EQ(r.err, Framed("fichier de sortie identique au fichier d'entree")) << c.output;
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(ReadFile(caseDir.File("imgr.ima")), planes[0]);
        EXPECT_EQ(ReadFile(caseDir.File("imgv.ima")), planes[1]);
        EXPECT_EQ(ReadFile(caseDir.File("imgb.ima")), planes[2]);
        EXPECT_EQ(ListDir(caseDir.path).size(), 4u);
    }
}

// A full disk under either output: "erreur ecriture", and the other output, a regular file the
// run created, is removed; the device itself is left alone.
TEST_F(Couleur, FullDeviceEndsWithAWriteErrorAndRemovesTheOtherOutput) {
    for (const std::string output : {"imgs.ima", "img.lut"}) {
        TempDir caseDir;
        std::vector<Pixel> pixels(40000, Pixel{1, 2, 3});
        pixels[39999] = Pixel{200, 200, 200};
        WritePlaneSet(caseDir, "img", pixels);
        ASSERT_EQ(symlink("/dev/full", caseDir.File(output).c_str()), 0);
        RunResult r = RunProgram(program, {"-fimg", "-N2"}, caseDir.path);
        EXPECT_EQ(r.status, 1) << output;
        std::string tail = Framed("erreur ecriture");
        ASSERT_GE(r.err.size(), tail.size());
        EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail) << output;
        std::vector<std::string> left = {"imgb.ima", "imgr.ima", "imgv.ima", output};
        std::sort(left.begin(), left.end());
        EXPECT_EQ(ListDir(caseDir.path), left) << output;
        EXPECT_TRUE(FileExists("/dev/full"));
    }
}

// A key typed before the design starts: the first pass runs whole, then the loop ends and both
// files come from that pass, as with the epsilon that stops there. The key is not read, and the
// terminal gets its settings back.
TEST_F(Couleur, KeyPressOnTheTerminalEndsTheLoopAfterItsFirstPass) {
    WritePlanes("img", redLine);
    TerminalResult t = RunOnTerminal(program, {"-fimg", "-N2"}, dir.path, "q");
    EXPECT_EQ(t.run.err, redLineHeader + redLinePassOne);
    EXPECT_EQ(t.run.status, 0);
    EXPECT_EQ(ReadFile(dir.File("imgs.ima")), std::string("\0\0\1\0\0\0\0\0", 8));
    EXPECT_EQ(ReadFile(dir.File("img.lut")), PaletteText({{26, 8, 8}, {72, 8, 8}}));
    EXPECT_TRUE(t.settingsKept);
    EXPECT_EQ(t.unread, "q");

    // Without a key the same run on the terminal goes to its end.
    TerminalResult untouched = RunOnTerminal(program, {"-fimg", "-N2"}, dir.path, "");
    EXPECT_EQ(untouched.run.status, 0);
    EXPECT_EQ(std::count(untouched.run.err.begin(), untouched.run.err.end(), '\n'), 10);
    EXPECT_EQ(ReadFile(dir.File("imgs.ima")), std::string("\1\0\1\0\1\0\1\0", 8));
    EXPECT_TRUE(untouched.settingsKept);
}

} // namespace
