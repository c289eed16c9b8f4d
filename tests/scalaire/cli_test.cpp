// Command-line tests of scalaire: whole runs, printouts byte for byte, failures and the files
// they leave.
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "cli_harness.h"

namespace {

const std::string program = SCALAIRE_PROGRAM;

std::string Framed(const std::string& message) {
    return "\n\n" + message + "\n\n";
}

// The header that every run on an existing input prints first.
std::string Header(long size, const std::string& name, int symbols, int min, int max) {
    return "taille fichier: " + std::to_string(size) + " octets \nfichier traite: " + name +
           " \nnombre total = " + std::to_string(symbols) + "\nmin = " + std::to_string(min) +
           ", max = " + std::to_string(max) + "\n";
}

std::string Summary(const std::string& output, int distance) {
    return "\n**********\nfichier de sortie: " + output + " \ntype de distance " +
           std::to_string(distance) + ", epsilon = 1.000000e-30\n";
}

struct Scalaire : ::testing::Test {
    TempDir dir;
    RunResult Run(const std::vector<std::string>& args) {
        return RunProgram(program, args, dir.path);
    }
};

// Values 0, 10, 20, 30 under two levels: 10 ties between the levels 0 and 20 in the second
// pass and goes to the lower one; the third pass leaves the distortion unchanged.
TEST_F(Scalaire, WholeRunPrintsEveryPassAndWritesTheQuantizedFile) {
    WriteFile(dir.File("in.raw"), std::string("\x00\x0a\x14\x1e", 4));
    RunResult r = Run({"-ein.raw", "-sout.raw", "-N2", "ignored", "-x"});
    EXPECT_EQ(r.err, Header(4, "in.raw", 4, 0, 30) +
                         "distorsion = 6.875000e+01  \n"
                         "distorsion = 5.000000e+01, erreur = 6.000000e+00  \n"
                         "distorsion = 5.000000e+01  \n"
                         "distorsion = 2.500000e+01, erreur = 1.000000e+00  \n"
                         "distorsion = 2.500000e+01  \n"
                         "distorsion = 2.500000e+01, erreur = 0.000000e+00  \n" +
                         Summary("out.raw", 0));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadFile(dir.File("out.raw")), std::string("\x05\x05\x19\x19", 4));
}

// Levels 0 and 50, then each value its own level: the first zero distortion gives an infinite
// error, the next pass 0/0, which ends the loop. Only the first 100 bytes count: 255 past them has
// no level.
TEST_F(Scalaire, PrefixRunStopsOnNotANumberError) {
    std::string bytes;
    for (int i = 0; i < 100; i++) {
        bytes += static_cast<char>(i % 2 == 0 ? 0 : 100);
    }
    bytes += std::string(100, '\xff');
    WriteFile(dir.File("in.raw"), bytes);
    RunResult r = Run({"-ein.raw", "-sout.raw", "-N3", "-N2", "-n100", "-E1e-3"});
    EXPECT_EQ(r.err, Header(100, "in.raw", 2, 0, 100) +
                         "distorsion = 1.250000e+03  \n"
                         "distorsion = 0.000000e+00, erreur = inf  \n"
                         "distorsion = 0.000000e+00  \n"
                         "distorsion = 0.000000e+00, erreur = -nan  \n"
                         "\n**********\nfichier de sortie: out.raw \n"
                         "type de distance 0, epsilon = 1.000000e-03\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(dir.File("out.raw")), bytes.substr(0, 100));
}

TEST_F(Scalaire, CountBeyondTheFileOrZeroTakesTheWholeFile) {
    WriteFile(dir.File("in.raw"), std::string("\x00\x0a\x14\x1e", 4));
    for (const char* count : {"-n0", "-n1000", "-nx"}) {
        RunResult r = Run({"-ein.raw", "-sout.raw", "-N2", count});
        EXPECT_EQ(r.err.substr(0, 27), "taille fichier: 4 octets \nf") << count;
        EXPECT_EQ(ReadFile(dir.File("out.raw")).size(), 4u) << count;
    }
}

// Under the logarithm a byte 0 is at NaN or infinite distance from every level: every
// distortion is not a number and the loop ends after its first pass. Under the 0.1 power it is
// an ordinary value.
TEST_F(Scalaire, ByteZeroUnderTheThreeDistances) {
    WriteFile(dir.File("in.raw"), std::string("\x00\x64\xc8\xc8", 4));
    struct Case {
        const char* type;
        int passes;
    };
    for (Case c : {Case{"-t0", 2}, Case{"-t1", 1}, Case{"-t2", 2}}) {
        RunResult r = Run({"-ein.raw", "-sout.raw", "-N2", c.type});
        size_t lines = 0;
        for (size_t at = r.err.find("distorsion"); at != std::string::npos;
             at = r.err.find("distorsion", at + 1)) {
            lines++;
        }
        EXPECT_EQ(lines, 2u * c.passes) << c.type << "\n" << r.err;
        EXPECT_EQ(r.status, 0) << c.type;
        EXPECT_EQ(ReadFile(dir.File("out.raw")).size(), 4u);
    }
    RunResult log = Run({"-ein.raw", "-sout.raw", "-N2", "-t1"});
    EXPECT_NE(log.err.find("distorsion = -nan  \n"), std::string::npos) << log.err;
}

TEST_F(Scalaire, OneValueWithOneLevelStopsAfterOnePass) {
    WriteFile(dir.File("in.raw"), std::string(10, '\x2a'));
    RunResult r = Run({"-ein.raw", "-sout.raw", "-N1"});
    EXPECT_EQ(r.err, Header(10, "in.raw", 1, 42, 42) +
                         "distorsion = 0.000000e+00  \n"
                         "distorsion = 0.000000e+00, erreur = -nan  \n" +
                         Summary("out.raw", 0));
    EXPECT_EQ(ReadFile(dir.File("out.raw")), std::string(10, '\x2a'));
}

// Failures before the design: the message alone, status 1, and no output created.
TEST_F(Scalaire, RefusalsBeforeTheDesign) {
    WriteFile(dir.File("in.raw"), std::string("\x00\x0a\x14\x1e", 4));
    WriteFile(dir.File("empty.raw"), "");
    mkdir(dir.File("folder").c_str(), 0755);
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    std::vector<Case> cases = {
        {{}, "fichier non ouvert"},
        {{"-sout.raw"}, "fichier non ouvert"},
        {{"-emissing.raw", "-sout.raw"}, "fichier non ouvert"},
        {{"-efolder", "-sout.raw"}, "fichier non ouvert"},
        {{"-N0", "-emissing.raw", "-sout.raw"}, "N doit etre different de 0"},
        {{"-N-3", "-ein.raw", "-sout.raw"}, "N doit etre positif"},
        {{"-n-1", "-ein.raw", "-sout.raw"}, "n doit etre positif ou nul"},
        {{"-E-1e-5", "-ein.raw", "-sout.raw"}, "epsilon doit etre positif ou nul"},
        {{"-eempty.raw", "-sout.raw"}, "fichier de taille 0"},
        {{"-ein.raw", "-sin.raw"}, "fichier de sortie identique au fichier d'entree"},
        {{"-ein.raw", "-s./in.raw"}, "fichier de sortie identique au fichier d'entree"},
    };
    for (const Case& c : cases) {
        RunResult r = Run(c.args);
        EXPECT_EQ(r.err, Framed(c.message)) << c.message;
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(ListDir(dir.path), (std::vector<std::string>{"empty.raw", "folder", "in.raw"}));
        EXPECT_EQ(ReadFile(dir.File("in.raw")), std::string("\x00\x0a\x14\x1e", 4));
    }
}

TEST_F(Scalaire, OutputThatIsAHardLinkToTheInputIsRefused) {
    WriteFile(dir.File("in.raw"), std::string("\x00\x0a\x14\x1e", 4));
    ASSERT_EQ(link(dir.File("in.raw").c_str(), dir.File("alias.raw").c_str()), 0);
    RunResult r = Run({"-ein.raw", "-salias.raw"});
    EXPECT_EQ(r.err, Framed("fichier de sortie identique au fichier d'entree"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadFile(dir.File("in.raw")), std::string("\x00\x0a\x14\x1e", 4));
}

// Failures met during the design or at the writer, after their printouts.
TEST_F(Scalaire, FailuresAfterTheHeader) {
    WriteFile(dir.File("in.raw"), std::string("\x00\x0a\x14\x1e", 4));
    std::string header = Header(4, "in.raw", 4, 0, 30);
    std::string fullRun = "distorsion = 6.875000e+01  \n"
                          "distorsion = 5.000000e+01, erreur = 6.000000e+00  \n"
                          "distorsion = 5.000000e+01  \n"
                          "distorsion = 2.500000e+01, erreur = 1.000000e+00  \n"
                          "distorsion = 2.500000e+01  \n"
                          "distorsion = 2.500000e+01, erreur = 0.000000e+00  \n";
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    std::vector<Case> cases = {
        {{"-ein.raw", "-sout.raw", "-t3"}, header + Framed("selection distance incorrecte")},
        // Levels 0, 6, 12, 18, 24: no value is nearest to 6.
        {{"-ein.raw", "-sout.raw", "-N5"},
         header + "distorsion = 1.100000e+01  \n" + Framed("pas de representant")},
        {{"-ein.raw", "-N2"}, header + fullRun + Summary("", 0) + Framed("fichier non ouvert")},
        {{"-ein.raw", "-N2", "-snodir/out.raw"},
         header + fullRun + Summary("nodir/out.raw", 0) + Framed("fichier non ouvert")},
    };
    for (const Case& c : cases) {
        RunResult r = Run(c.args);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(ListDir(dir.path), std::vector<std::string>{"in.raw"});
    }
}

TEST_F(Scalaire, FullDeviceEndsWithAWriteError) {
    WriteFile(dir.File("in.raw"), std::string(40000, '\x01') + std::string(40000, '\x02'));
    RunResult r = Run({"-ein.raw", "-s/dev/full", "-N1"});
    EXPECT_EQ(r.status, 1);
    ASSERT_GE(r.err.size(), Framed("erreur ecriture").size());
    EXPECT_EQ(r.err.substr(r.err.size() - Framed("erreur ecriture").size()),
              Framed("erreur ecriture"));
    EXPECT_TRUE(FileExists("/dev/full"));
}

TEST_F(Scalaire, LongNamesAreUsedWhole) {
    std::string in(200, 'i');
    std::string out(200, 'o');
    WriteFile(dir.File(in), std::string("\x00\x0a\x14\x1e", 4));
    RunResult r = Run({"-e" + in, "-s" + out, "-N2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.substr(0, 26 + 16 + 202),
              "taille fichier: 4 octets \nfichier traite: " + in + " \n");
    EXPECT_EQ(ReadFile(dir.File(out)), std::string("\x05\x05\x19\x19", 4));
}

} // namespace
