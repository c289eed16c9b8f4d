// Driver of scalaire: options, sizing, histogram, Lloyd-Max design loop, summary, quantized file.
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "../common/fatal_error.h"
#include "scalaire.h"

namespace {

// Refuses what no design can run with, before any file is opened.
void CheckSettings() {
    if (N == 0) {
        FatalError("N doit etre different de 0");
    }
    if (N < 0) {
        FatalError("N doit etre positif");
    }
    if (byteCount < 0) {
        FatalError("n doit etre positif ou nul");
    }
    if (epsilon < 0) {
        FatalError("epsilon doit etre positif ou nul");
    }
}

int64_t InputSize() {
    FILE* file = OpenInputFile(inputName);
    if (file == nullptr) {
        FatalError("fichier non ouvert");
    }
    int64_t size = StreamSize(file);
    fclose(file);
    if (size == 0) {
        FatalError("fichier de taille 0");
    }
    return size;
}

} // namespace

int main(int argc, char** argv) {
    SetDefaults();
    if (argc > 1) {
        ReadOptions(argc, argv);
        CheckSettings();
    }

    int64_t size = InputSize();
    if (SameFile(inputName, outputName)) {
        FatalError("fichier de sortie identique au fichier d'entree");
    }
    if (byteCount == 0 || byteCount > size) {
        byteCount = size;
    }
    fprintf(stderr, "taille fichier: %" PRId64 " octets \n", byteCount);
    fprintf(stderr, "fichier traite: %s \n", inputName);

    symbolList = BuildHistogram(inputName, byteCount);
    fprintf(stderr, "nombre total = %" PRId32 "\n", symbolCount);

    levelTable = InitialLevels(symbolList, N);

    // Before the first assignment every value is in cell 0.
    double previous = Distortion(symbolList, levelTable);
    double error;
    do {
        AssignNearest(symbolList, levelTable, N);
        fprintf(stderr, "distorsion = %le  \n", Distortion(symbolList, levelTable));
        UpdateCentroids(symbolList, levelTable, N);
        double current = Distortion(symbolList, levelTable);
        error = fabs(previous - current) / current;
        fprintf(stderr, "distorsion = %le, erreur = %le  \n", current, error);
        previous = current;
    } while (error > epsilon); // a NaN error ends the loop

    fprintf(stderr, "\n**********\n");
    fprintf(stderr, "fichier de sortie: %s \n", outputName);
    fprintf(stderr, "type de distance %" PRId32 ", epsilon = %le\n", distanceType, epsilon);

    WriteQuantized(inputName, outputName, byteCount, symbolList, levelTable);
    return 0;
}
