// Driver of tarvel: arguments, geometry checks, coding until the budget stop, report,
// reconstruction on standard output.
#include <cctype>
#include <csetjmp>
#include <cstdlib>

#include "platform.h"
#include "tarvel.h"

namespace {

// Leading blanks, one optional sign, then digits up to the first other character; no digit
// gives 0. A value beyond 32 bits is held at the nearest bound rather than wrapped, so that
// a mistyped size cannot turn into a small valid one.
int32_t DecimalValue(const char* text) {
    while (isspace(static_cast<unsigned char>(*text))) {
        text++;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        text++;
    }
    int64_t value = 0;
    const int64_t bound = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    while (isdigit(static_cast<unsigned char>(*text))) {
        value = value * 10 + (*text - '0');
        if (value > bound) {
            value = bound;
        }
        text++;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

// The trees need even lowest-band sizes and at least one level, and every index of the
// arrays must fit in 32 bits. Sizes are computed in 64 bits: no EXPOS can overflow them.
void CheckGeometry() {
    if (LIG < 2 || COL < 2 || LIG % 2 != 0 || COL % 2 != 0 || EXPOS < 1) {
        Fail("LIG et COL doivent etre pairs et positifs, EXPOS au moins 1\n");
    }
    // With LIG and COL at least 2, 31 levels already give more than 2^31 rows.
    if (EXPOS > 30) {
        Fail("image trop grande\n");
    }
    int64_t rows = static_cast<int64_t>(LIG) << EXPOS;
    int64_t columns = static_cast<int64_t>(COL) << EXPOS;
    if (rows > INT32_MAX || columns > INT32_MAX || rows * columns > INT32_MAX) {
        Fail("image trop grande\n");
    }
}

int32_t LiveCount(int32_t list) {
    int32_t live = 0;
    for (int32_t i = 0; i < listLengths[list]; i++) {
        if (lists[list][i].type != 0) {
            live++;
        }
    }
    return live;
}

// Everything is as the last bit left it, whatever pass it fell in.
void BudgetStop() {
    fprintf(stderr, "\nnombre de bits : %d\n", bitCount);
    fprintf(stderr, "LSP : %d %d\n", LiveCount(LSP), listLengths[LSP]);
    fprintf(stderr, "LIP : %d %d\n", LiveCount(LIP), listLengths[LIP]);
    fprintf(stderr, "LIS : %d %d\n", LiveCount(LIS), listLengths[LIS]);
    CloseBitFile();
    WriteReconstruction();
}

} // namespace

void WriteReconstruction() {
    SetBinaryMode(stdout);
    size_t count = static_cast<size_t>(height) * static_cast<size_t>(width);
    size_t written = fwrite(reconstruction, sizeof(float), count, stdout);
    if (written != count || fflush(stdout) != 0) {
        Fail("erreur ecriture sortie\n");
    }
}

int main(int argc, char** argv) {
    if (argc != 5) {
        fputs("usage : tarvel <LIG> <COL> <EXPOS> <longueur>\n", stderr);
        fputs("< fichier entree > fichier sortie", stderr);
        return 1;
    }
    LIG = DecimalValue(argv[1]);
    COL = DecimalValue(argv[2]);
    EXPOS = DecimalValue(argv[3]);
    longueur = DecimalValue(argv[4]);
    CheckGeometry();

    // The coding has no end of its own: the bit writer jumps back here at the budget. All the
    // state the stop reads is process-wide, none of it lives in this frame.
    if (setjmp(budgetJump) != 0) {
        BudgetStop();
        return 0;
    }
    Init();
    CodeSpiht();
}
