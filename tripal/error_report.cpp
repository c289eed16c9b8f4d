// The error report of tripal, and the outputs a failed run removes.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "tripal.h"

namespace {

// The outputs opened by this run: the palette file and the index image, with room to spare.
struct OutputFile {
    FILE* file;       // null once closed
    std::string name; // as opened
    bool regular;     // only regular files are removed: never /dev/full or a terminal
};

constexpr int maxOutputs = 4;
OutputFile outputs[maxOutputs];
int outputCount = 0;

// Straight to the descriptor, so that nothing waits in a buffer or mixes with other text.
void WriteAll(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t written = write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        done += static_cast<size_t>(written);
    }
}

[[noreturn]] void ReportNumber(const char* message, int number) {
    WriteAll(std::string(message) + ": " + strerror(number) + "\n");
    // An error never ends with status 0.
    exit(number != 0 ? number : 1);
}

} // namespace

void RememberOutput(FILE* file, const char* name) {
    if (outputCount == maxOutputs) {
        errno = EMFILE;
        ReportErrorRemovingOutputs("erreur fichier sortie\n");
    }
    struct stat status;
    bool regular = fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
    outputs[outputCount++] = OutputFile{file, name, regular};
}

void CloseOutput(FILE* file) {
    for (int i = 0; i < outputCount; i++) {
        if (outputs[i].file == file) {
            outputs[i].file = nullptr;
        }
    }
    bool failed = fflush(file) != 0 || ferror(file);
    int number = errno;
    if (fclose(file) != 0 || failed) {
        if (failed) {
            errno = number; // the flush's error, not one that the close met afterwards
        }
        ReportErrorRemovingOutputs("erreur ecriture sortie\n");
    }
}

void ForgetOutputs() {
    for (int i = 0; i < outputCount; i++) {
        if (outputs[i].file != nullptr) {
            fclose(outputs[i].file);
        }
    }
    outputCount = 0;
}

void ReportError(const char* message) {
    ReportNumber(message, errno);
}

void ReportErrorRemovingOutputs(const char* message) {
    int number = errno;
    // Even a closed output goes: the run as a whole failed.
    for (int i = 0; i < outputCount; i++) {
        OutputFile& output = outputs[i];
        if (output.file != nullptr) {
            fclose(output.file);
            output.file = nullptr;
        }
        if (output.regular) {
            remove(output.name.c_str());
        }
    }
    outputCount = 0;
    ReportNumber(message, number);
}
