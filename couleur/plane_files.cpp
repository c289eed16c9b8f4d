// The checked allocation of couleur and the opening and sizing of its plane set.
#include <cstdlib>

#include "../common/fatal_error.h"
#include "couleur.h"

void* CheckedCalloc(size_t count, size_t size) {
    void* block = calloc(count, size);
    if (block == nullptr) {
        FatalError("erreur allocation");
    }
    return block;
}

void OpenPlaneSet() {
    redPlane = fopen(fileNames.red.c_str(), "rb");
    if (redPlane == nullptr) {
        FatalError("erreur ouverture fichier rouge");
    }
    greenPlane = fopen(fileNames.green.c_str(), "rb");
    if (greenPlane == nullptr) {
        FatalError("erreur ouverture fichier vert");
    }
    bluePlane = fopen(fileNames.blue.c_str(), "rb");
    if (bluePlane == nullptr) {
        FatalError("erreur ouverture fichier bleu");
    }
    int64_t redSize = StreamSize(redPlane);
    int64_t greenSize = StreamSize(greenPlane);
    int64_t blueSize = StreamSize(bluePlane);
    if (redSize != greenSize || greenSize != blueSize) {
        FatalError("fichiers de taille differente");
    }
    planeSize = redSize;
}
