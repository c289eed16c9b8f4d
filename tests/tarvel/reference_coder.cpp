// The plain SPIHT coder of the tests: subtree walks, vectors, an exception at the budget.
#include "reference_coder.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

struct BudgetReached {};

struct Entry {
    int row;
    int col;
    int type;
};

struct Coder {
    int lig, col, height, width, halfHeight, halfWidth, budget;
    std::vector<float> c;
    ReferenceRun run;
    std::vector<Entry> lsp, lip, lis;
    int bitCount = 0;
    unsigned pending = 0;
    int pendingBits = 0;

    float& Value(std::vector<float>& image, int r, int k) {
        return image[static_cast<size_t>(k) * height + r];
    }

    bool Children(int r, int k, int* rows, int* cols) {
        int r0, c0;
        if (r < lig && k < col) {
            if (r % 2 == 0 && k % 2 == 0) {
                return false;
            }
            r0 = r % 2 == 1 ? lig + r - 1 : r;
            c0 = k % 2 == 1 ? col + k - 1 : k;
        } else {
            if (r >= halfHeight || k >= halfWidth) {
                return false;
            }
            r0 = 2 * r;
            c0 = 2 * k;
        }
        int dr[4] = {0, 0, 1, 1};
        int dc[4] = {0, 1, 0, 1};
        for (int i = 0; i < 4; i++) {
            rows[i] = r0 + dr[i];
            cols[i] = c0 + dc[i];
        }
        return true;
    }

    void WalkMax(int r, int k, float& maximum) {
        int rows[4], cols[4];
        if (!Children(r, k, rows, cols)) {
            return;
        }
        for (int i = 0; i < 4; i++) {
            WalkMax(rows[i], cols[i], maximum);
            float magnitude = std::fabs(Value(c, rows[i], cols[i]));
            if (magnitude > maximum) {
                maximum = magnitude;
            }
        }
    }

    bool DSignificant(int r, int k, float seuil) {
        float maximum = 0;
        WalkMax(r, k, maximum);
        return maximum >= seuil;
    }

    bool LSignificant(int r, int k, float seuil) {
        int rows[4], cols[4];
        if (!Children(r, k, rows, cols)) {
            return false;
        }
        float maximum = 0;
        for (int i = 0; i < 4; i++) {
            WalkMax(rows[i], cols[i], maximum);
        }
        return maximum >= seuil;
    }

    bool LNonEmpty(int r, int k) {
        int rows[4], cols[4], more[4], moreCols[4];
        if (!Children(r, k, rows, cols)) {
            return false;
        }
        for (int i = 0; i < 4; i++) {
            if (Children(rows[i], cols[i], more, moreCols)) {
                return true;
            }
        }
        return false;
    }

    void Emit(bool bit) {
        bitCount++;
        run.bits += bit ? '1' : '0';
        if (bit) {
            pending |= 1u << pendingBits;
        }
        if (++pendingBits == 8) {
            run.bitFile += static_cast<char>(pending);
            pending = 0;
            pendingBits = 0;
        }
        if (bitCount >= budget) {
            throw BudgetReached();
        }
    }

    float Centre(float coefficient, float seuil) {
        double centre = 1.5 * seuil;
        return static_cast<float>(coefficient >= 0 ? centre : -centre);
    }

    void Plane(int n) {
        double threshold = std::pow(2.0, n);
        float seuil = static_cast<float>(threshold);
        char line[400];
        snprintf(line, sizeof line, "n=%d seuil=%f\n", n, threshold);
        run.err += line;

        for (size_t i = 0; i < lip.size(); i++) {
            if (lip[i].type == 0) {
                continue;
            }
            float value = Value(c, lip[i].row, lip[i].col);
            Emit(std::fabs(value) >= seuil);
            if (!(std::fabs(value) >= seuil)) {
                continue;
            }
            Emit(value >= 0);
            Value(run.reconstruction, lip[i].row, lip[i].col) = Centre(value, seuil);
            lsp.push_back({lip[i].row, lip[i].col, 2});
            lip[i].type = 0;
        }

        for (size_t i = 0; i < lis.size(); i++) {
            Entry e = lis[i];
            int rows[4], cols[4];
            if (e.type == 3) {
                bool significant = DSignificant(e.row, e.col, seuil);
                Emit(significant);
                if (!significant) {
                    continue;
                }
                Children(e.row, e.col, rows, cols);
                for (int k = 0; k < 4; k++) {
                    float value = Value(c, rows[k], cols[k]);
                    if (std::fabs(value) >= seuil) {
                        Emit(true);
                        lsp.push_back({rows[k], cols[k], 2});
                        Emit(value >= 0);
                        Value(run.reconstruction, rows[k], cols[k]) = Centre(value, seuil);
                    } else {
                        Emit(false);
                        lip.push_back({rows[k], cols[k], 2});
                    }
                }
                if (LNonEmpty(e.row, e.col)) {
                    bool b = LSignificant(e.row, e.col, seuil);
                    Emit(b);
                    if (b) {
                        for (int k = 0; k < 4; k++) {
                            lis.push_back({rows[k], cols[k], 3});
                        }
                    } else {
                        lis.push_back({e.row, e.col, 5});
                    }
                }
                lis[i].type = 0;
            } else if (e.type == 4) {
                bool b = LSignificant(e.row, e.col, seuil);
                Emit(b);
                if (b) {
                    Children(e.row, e.col, rows, cols);
                    for (int k = 0; k < 4; k++) {
                        lis.push_back({rows[k], cols[k], 3});
                    }
                    lis[i].type = 0;
                }
            }
        }
        for (Entry& e : lis) {
            if (e.type == 5) {
                e.type = 4;
            }
        }

        float step = static_cast<float>(std::pow(2.0, n - 1));
        for (Entry& p : lsp) {
            if (p.type == 2) {
                p.type = 1;
                continue;
            }
            float& r = Value(run.reconstruction, p.row, p.col);
            double s = r >= 0 ? 1 : -1;
            bool up = std::fabs(Value(c, p.row, p.col)) >= std::fabs(r);
            Emit(up);
            r = static_cast<float>(up ? r + s * step : r - s * step);
        }
    }

    static int Live(const std::vector<Entry>& list) {
        int live = 0;
        for (const Entry& e : list) {
            live += e.type != 0;
        }
        return live;
    }

    void Run() {
        float m = 0;
        for (float value : c) {
            if (std::fabs(value) > m) {
                m = std::fabs(value);
            }
        }
        int n = m == 0 ? 0 : static_cast<int>(std::log(static_cast<double>(m)) / std::log(2.0));
        int rows[4], cols[4];
        for (int r = 0; r < lig; r++) {
            for (int k = 0; k < col; k++) {
                lip.push_back({r, k, 2});
            }
        }
        for (int r = 0; r < lig; r++) {
            for (int k = 0; k < col; k++) {
                if (Children(r, k, rows, cols)) {
                    lis.push_back({r, k, 3});
                }
            }
        }
        try {
            for (;; n--) {
                Plane(n);
            }
        } catch (const BudgetReached&) {
        }
        char report[200];
        snprintf(report, sizeof report,
                 "\nnombre de bits : %d\nLSP : %d %zu\nLIP : %d %zu\nLIS : %d %zu\n", bitCount,
                 Live(lsp), lsp.size(), Live(lip), lip.size(), Live(lis), lis.size());
        run.err += report;
    }
};

} // namespace

ReferenceRun ReferenceCode(int lig, int col, int expos, int budget,
                           const std::vector<float>& coefficients) {
    Coder coder;
    coder.lig = lig;
    coder.col = col;
    coder.height = lig << expos;
    coder.width = col << expos;
    coder.halfHeight = lig << (expos - 1);
    coder.halfWidth = col << (expos - 1);
    coder.budget = budget;
    coder.c = coefficients;
    coder.c.resize(static_cast<size_t>(coder.height) * coder.width, 0.0f);
    coder.run.reconstruction.assign(coder.c.size(), 0.0f);
    coder.Run();
    return coder.run;
}
