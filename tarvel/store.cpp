// Coefficient store and point lists: Init makes everything once, AjouterPoint appends.
#include <cstdlib>

#include "platform.h"
#include "tarvel.h"

float* coefficients;
float* reconstruction;
Point** lists;
int32_t* listLengths;
int32_t ListCapacity;

// A point enters the LIP and the LSP at most once and the LIS at most twice, and at most a
// quarter of the points have offspring: with room for every coefficient no list can fill up.
static const int32_t minimumListCapacity = 1000000;

void Init() {
    SetGeometry();
    size_t count = static_cast<size_t>(height) * static_cast<size_t>(width);

    coefficients = static_cast<float*>(calloc(count, sizeof(float)));
    if (coefficients == nullptr) {
        exit(-1);
    }
    reconstruction = static_cast<float*>(calloc(count, sizeof(float)));
    if (reconstruction == nullptr) {
        exit(-1);
    }
    PreferLargePages(coefficients, count * sizeof(float));
    PreferLargePages(reconstruction, count * sizeof(float));

    // A short input leaves the missing coefficients at 0; a longer one is read no further.
    // The bytes of a last value cut short may have landed in the array: it is cleared too.
    SetBinaryMode(stdin);
    size_t read = fread(coefficients, sizeof(float), count, stdin);
    if (read < count) {
        coefficients[read] = 0;
    }

    lists = static_cast<Point**>(calloc(3, sizeof(Point*)));
    if (lists == nullptr) {
        Fail("Init :1\n");
    }
    listLengths = static_cast<int32_t*>(calloc(3, sizeof(int32_t)));
    if (listLengths == nullptr) {
        Fail("Init : 2\n");
    }
    ListCapacity = count > static_cast<size_t>(minimumListCapacity) ? static_cast<int32_t>(count)
                                                                    : minimumListCapacity;
    for (int list = LSP; list <= LIS; list++) {
        // Zero-filled pages are only mapped once touched, so the unused room costs nothing.
        lists[list] = static_cast<Point*>(calloc(ListCapacity, sizeof(Point)));
        if (lists[list] == nullptr) {
            Fail("Init : 3\n");
        }
        PreferLargePages(lists[list], static_cast<size_t>(ListCapacity) * sizeof(Point));
        listLengths[list] = 0;
    }

    size_t parents = static_cast<size_t>(halfHeight) * static_cast<size_t>(halfWidth);
    descendantMaxima = static_cast<float*>(calloc(parents, sizeof(float)));
    if (descendantMaxima == nullptr) {
        Fail("Init : 4\n");
    }
    PreferLargePages(descendantMaxima, parents * sizeof(float));
    BuildDescendantMaxima();
}

void AjouterPoint(int32_t list, int32_t row, int32_t col, uint8_t type) {
    int32_t k = listLengths[list];
    if (k >= ListCapacity) {
        Fail("AjouterPoint : 1\n");
    }
    Point* point = &lists[list][k];
    point->row = row;
    point->col = col;
    point->type = type;
    listLengths[list] = k + 1;
}
