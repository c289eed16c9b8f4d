// FatalError and the checked file operations of scalaire and couleur.
#include "fatal_error.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The outputs created by this run; a program writes at most a few.
struct OutputFile {
    FILE* file;       // null once closed
    std::string name; // as given to CreateOutputFile
    bool regular;     // only regular files are removed: never /dev/full or a terminal
};

constexpr int maxOutputFiles = 4;
OutputFile outputFiles[maxOutputFiles];
int outputFileCount = 0;

void RemoveOutputFiles() {
    for (int i = 0; i < outputFileCount; i++) {
        OutputFile& output = outputFiles[i];
        if (output.file != nullptr) {
            fclose(output.file);
            output.file = nullptr;
        }
        if (output.regular) {
            remove(output.name.c_str());
        }
    }
    outputFileCount = 0;
}

} // namespace

void FatalError(const char* message) {
    fprintf(stderr, "\n\n%s\n\n", message);
    RemoveOutputFiles();
    exit(1);
}

FILE* OpenInputFile(const char* name) {
    FILE* file = fopen(name, "rb");
    struct stat status;
    if (file != nullptr && fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode)) {
        fclose(file);
        return nullptr;
    }
    return file;
}

FILE* CreateOutputFile(const char* name, const char* mode) {
    if (outputFileCount == maxOutputFiles) {
        FatalError("erreur allocation");
    }
    FILE* file = fopen(name, mode);
    if (file == nullptr) {
        return nullptr;
    }
    struct stat status;
    bool regular = fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
    outputFiles[outputFileCount++] = OutputFile{file, name, regular};
    return file;
}

void CloseOutputFile(FILE* file) {
    for (int i = 0; i < outputFileCount; i++) {
        if (outputFiles[i].file == file) {
            outputFiles[i].file = nullptr;
        }
    }
    bool failed = fflush(file) != 0 || ferror(file);
    if (fclose(file) != 0 || failed) {
        FatalError("erreur ecriture");
    }
}

void ReadBlock(void* buffer, size_t count, FILE* file) {
    if (fread(buffer, 1, count, file) != count) {
        FatalError("erreur lecture");
    }
}

void WriteBlock(const void* buffer, size_t count, FILE* file) {
    if (fwrite(buffer, 1, count, file) != count) {
        FatalError("erreur ecriture");
    }
}

int64_t StreamSize(FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0) {
        FatalError("erreur lecture");
    }
    off_t size = ftello(file);
    if (size < 0) {
        FatalError("erreur lecture");
    }
    rewind(file);
    return size;
}

bool SameFile(const char* a, const char* b) {
    struct stat statusA, statusB;
    if (stat(a, &statusA) != 0 || stat(b, &statusB) != 0) {
        return false;
    }
    return statusA.st_dev == statusB.st_dev && statusA.st_ino == statusB.st_ino;
}

void ResetOutputFiles() {
    for (int i = 0; i < outputFileCount; i++) {
        if (outputFiles[i].file != nullptr) {
            fclose(outputFiles[i].file);
        }
    }
    outputFileCount = 0;
}
