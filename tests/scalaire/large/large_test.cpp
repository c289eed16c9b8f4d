// The command-line test of scalaire on a file over 2 GiB.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "cli_harness.h"

namespace {

const std::string program = SCALAIRE_PROGRAM;

// A sparse file just over 2 GiB whose only non-zero byte lies past 2^31: its size and its
// histogram must come out whole.
TEST(ScalaireLarge, FileOverTwoGibibytesIsProcessedWhole) {
    TempDir dir;
    std::string path = dir.File("big.raw");
    const long size = (1L << 31) + 2;
    WriteFile(path, "");
    ASSERT_EQ(truncate(path.c_str(), size), 0);
    int fd = open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, "\xc8", 1, size - 1), 1);
    close(fd);
    RunResult r = RunProgram(program, {"-ebig.raw", "-s/dev/null", "-N2"}, dir.path);
    EXPECT_EQ(r.status, 0);
    std::string header = "taille fichier: 2147483650 octets \nfichier traite: big.raw \n"
                         "nombre total = 2\nmin = 0, max = 200\n";
    EXPECT_EQ(r.err.substr(0, header.size()), header);
}

} // namespace
