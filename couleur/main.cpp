// Driver of couleur: options, checks, plane set, colour histogram, LBG design loop, outputs.
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "../common/fatal_error.h"
#include "couleur.h"
#include "keyboard.h"

namespace {

// Refuses what no design can run with, before any file is opened.
void CheckSettings() {
    if (N == 0) {
        FatalError("N doit etre different de 0");
    }
    if (N < 0 || N > 256) {
        FatalError("N doit etre compris entre 1 et 256");
    }
    for (int32_t shift : {redShift, greenShift, blueShift}) {
        if (shift < 0 || shift > 8) {
            FatalError("decalage incorrect (0 a 8)");
        }
    }
    if (epsilon < 0) {
        FatalError("epsilon doit etre positif ou nul");
    }
}

// The outputs are only ever named by their suffixes, so one can be a plane only through a link.
void RefuseOutputOnAnInput() {
    for (const std::string* output : {&fileNames.index, &fileNames.palette}) {
        for (const std::string* plane : {&fileNames.red, &fileNames.green, &fileNames.blue}) {
            if (SameFile(output->c_str(), plane->c_str())) {
                FatalError("fichier de sortie identique au fichier d'entree");
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    SetDefaults();
    ReadOptions(argc, argv);
    fileNames = BuildFileNames(baseName);
    CheckSettings();

    OpenPlaneSet();
    if (planeSize == 0) {
        FatalError("fichier de taille nulle");
    }
    RefuseOutputOnAnInput();
    fprintf(stderr, "taille fichier %" PRId64 "\n", planeSize);

    BuildColourHistogram();
    fprintf(stderr, "nombre code %" PRId32 "\n", colourCount);
    InitialPalette();

    // Before the first assignment every colour is in cell 0. The previous distortion and the
    // deciding error are kept as 32-bit floats; the distortions are printed in double.
    float previous = static_cast<float>(PaletteDistortion());
    KeyboardStart();
    for (;;) {
        AssignColours();
        double current = PaletteDistortion();
        double error = fabs(previous - current) / current;
        previous = static_cast<float>(current);
        fprintf(stderr, "distorsion %e, erreur %e\n", current, error);

        UpdatePalette();
        current = PaletteDistortion();
        float decidingError = static_cast<float>(fabs(previous - current) / current);
        previous = static_cast<float>(current);
        fprintf(stderr, "distorsion %e, erreur %e\n", current, decidingError);

        // A NaN error is not greater than epsilon and ends the loop; an infinite one goes on.
        if (!(decidingError > epsilon) || KeyPressed()) {
            break;
        }
    }
    KeyboardStop();

    WriteIndexImage();
    return 0;
}
