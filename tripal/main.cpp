// Driver of tripal: options, file set, line buffers, conversion, palette, closing.
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

#include "tripal.h"

namespace {

FILE* OpenPlane(const std::string& name, const char* message) {
    FILE* plane = fopen(name.c_str(), "rb");
    if (plane == nullptr) {
        ReportError(message);
    }
    return plane;
}

// True when the named output exists and is the same file as one of the open planes.
bool IsAnInput(const std::string& name) {
    struct stat output;
    if (stat(name.c_str(), &output) != 0) {
        return false;
    }
    for (FILE* plane : {redPlane, greenPlane, bluePlane}) {
        struct stat input;
        if (fstat(fileno(plane), &input) == 0 && input.st_dev == output.st_dev &&
            input.st_ino == output.st_ino) {
            return true;
        }
    }
    return false;
}

FILE* CreateOutput(const std::string& name, const char* mode, const char* message) {
    FILE* file = fopen(name.c_str(), mode);
    if (file == nullptr) {
        ReportError(message);
    }
    RememberOutput(file, name.c_str());
    return file;
}

void OpenFiles() {
    redPlane = OpenPlane(fileNames.red, "erreur fichier rouge\n");
    greenPlane = OpenPlane(fileNames.green, "erreur fichier vert\n");
    bluePlane = OpenPlane(fileNames.blue, "erreur fichier bleu\n");
    // Opening an output empties it: a plane must be refused before that.
    if (IsAnInput(fileNames.palette) || IsAnInput(fileNames.index)) {
        errno = EINVAL;
        ReportError("fichier de sortie identique au fichier d'entree\n");
    }
    paletteFile = CreateOutput(fileNames.palette, "w", "erreur fichier palette\n");
    indexImage = CreateOutput(fileNames.index, "wb", "erreur fichier sortie\n");
}

uint8_t* AllocateLine(const char* message) {
    // At least one byte, so that a line of 0 columns is a valid buffer on every platform.
    size_t size = columnCount > 0 ? static_cast<size_t>(columnCount) : 1;
    uint8_t* line = static_cast<uint8_t*>(calloc(size, 1));
    if (line == nullptr) {
        ReportError(message);
    }
    return line;
}

} // namespace

int main(int argc, char** argv) {
    SetDefaults();
    if (argc == 1) {
        fprintf(stderr, "tripal -f<nom de fichier sans l'extension>\n");
        return 0;
    }
    ReadOptions(argc, argv);
    // No line buffer of a negative size can be made: refused as such, before any file is made.
    if (columnCount < 0) {
        errno = ENOMEM;
        ReportError("erreur ligne rouge\n");
    }

    OpenFiles();
    redLine = AllocateLine("erreur ligne rouge\n");
    greenLine = AllocateLine("erreur ligne verte\n");
    blueLine = AllocateLine("erreur ligne bleue\n");
    codeLine = AllocateLine("erreur ligne sortie\n");

    ConvertLines();
    WriteFixedPalette(); // after the image

    fclose(redPlane);
    fclose(greenPlane);
    fclose(bluePlane);
    CloseOutput(paletteFile);
    CloseOutput(indexImage);
    return 0;
}
