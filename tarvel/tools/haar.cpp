// Companion tool of tarvel: makes coefficient images (a Haar decomposition of an 8-bit grey
// image, or a synthetic one shaped like a wavelet decomposition), rebuilds an image from
// coefficients, and measures the PSNR between two 8-bit images.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

int32_t lig, col, expos, height, width;

[[noreturn]] void Stop(const char* message) {
    fputs(message, stderr);
    exit(1);
}

void Usage() {
    Stop("usage : haar avant <LIG> <COL> <EXPOS> < image.raw > coefficients\n"
         "        haar arriere <LIG> <COL> <EXPOS> < coefficients > image.raw\n"
         "        haar synthese <LIG> <COL> <EXPOS> <graine> > coefficients\n"
         "        haar psnr <image a> <image b>\n"
         "images: 8-bit grey, row after row; coefficients: 32-bit floats, column after column\n");
}

void ReadGeometry(char** argv) {
    lig = atoi(argv[2]);
    col = atoi(argv[3]);
    expos = atoi(argv[4]);
    if (lig < 1 || col < 1 || expos < 1 || expos > 16 ||
        (static_cast<int64_t>(lig) << expos) * (static_cast<int64_t>(col) << expos) > (1 << 28)) {
        Stop("haar : taille invalide\n");
    }
    height = lig << expos;
    width = col << expos;
}

void ReadAll(void* buffer, size_t bytes) {
    if (fread(buffer, 1, bytes, stdin) != bytes) {
        Stop("haar : entree trop courte\n");
    }
}

void WriteAll(const void* buffer, size_t bytes) {
    if (fwrite(buffer, 1, bytes, stdout) != bytes || fflush(stdout) != 0) {
        Stop("haar : erreur ecriture\n");
    }
}

// The image is held row after row in doubles while it is transformed.
double& Pixel(std::vector<double>& image, int32_t row, int32_t c) {
    return image[static_cast<size_t>(row) * width + c];
}

// One orthonormal 2-D Haar step on the top-left block of rows x columns: each 2 x 2 group
// gives its mean band (top left), its horizontal detail (top right), its vertical detail
// (bottom left) and its diagonal detail (bottom right).
void ForwardStep(std::vector<double>& image, int32_t rows, int32_t columns) {
    std::vector<double> block(static_cast<size_t>(rows) * columns);
    int32_t halfRows = rows / 2;
    int32_t halfColumns = columns / 2;
    for (int32_t r = 0; r < halfRows; r++) {
        for (int32_t c = 0; c < halfColumns; c++) {
            double a = Pixel(image, 2 * r, 2 * c);
            double b = Pixel(image, 2 * r, 2 * c + 1);
            double d = Pixel(image, 2 * r + 1, 2 * c);
            double e = Pixel(image, 2 * r + 1, 2 * c + 1);
            block[static_cast<size_t>(r) * columns + c] = (a + b + d + e) / 2;
            block[static_cast<size_t>(r) * columns + halfColumns + c] = (a - b + d - e) / 2;
            block[static_cast<size_t>(halfRows + r) * columns + c] = (a + b - d - e) / 2;
            block[static_cast<size_t>(halfRows + r) * columns + halfColumns + c] =
                (a - b - d + e) / 2;
        }
    }
    for (int32_t r = 0; r < rows; r++) {
        memcpy(&Pixel(image, r, 0), &block[static_cast<size_t>(r) * columns],
               columns * sizeof(double));
    }
}

void InverseStep(std::vector<double>& image, int32_t rows, int32_t columns) {
    std::vector<double> block(static_cast<size_t>(rows) * columns);
    int32_t halfRows = rows / 2;
    int32_t halfColumns = columns / 2;
    for (int32_t r = 0; r < halfRows; r++) {
        for (int32_t c = 0; c < halfColumns; c++) {
            double mean = Pixel(image, r, c);
            double horizontal = Pixel(image, r, halfColumns + c);
            double vertical = Pixel(image, halfRows + r, c);
            double diagonal = Pixel(image, halfRows + r, halfColumns + c);
            block[static_cast<size_t>(2 * r) * columns + 2 * c] =
                (mean + horizontal + vertical + diagonal) / 2;
            block[static_cast<size_t>(2 * r) * columns + 2 * c + 1] =
                (mean - horizontal + vertical - diagonal) / 2;
            block[static_cast<size_t>(2 * r + 1) * columns + 2 * c] =
                (mean + horizontal - vertical - diagonal) / 2;
            block[static_cast<size_t>(2 * r + 1) * columns + 2 * c + 1] =
                (mean - horizontal - vertical + diagonal) / 2;
        }
    }
    for (int32_t r = 0; r < rows; r++) {
        memcpy(&Pixel(image, r, 0), &block[static_cast<size_t>(r) * columns],
               columns * sizeof(double));
    }
}

void WriteCoefficients(std::vector<double>& image) {
    std::vector<float> out(static_cast<size_t>(height) * width);
    for (int32_t c = 0; c < width; c++) {
        for (int32_t r = 0; r < height; r++) {
            out[static_cast<size_t>(c) * height + r] = static_cast<float>(Pixel(image, r, c));
        }
    }
    WriteAll(out.data(), out.size() * sizeof(float));
}

void Forward() {
    std::vector<uint8_t> bytes(static_cast<size_t>(height) * width);
    ReadAll(bytes.data(), bytes.size());
    std::vector<double> image(bytes.begin(), bytes.end());
    for (int32_t level = 0; level < expos; level++) {
        ForwardStep(image, height >> level, width >> level);
    }
    WriteCoefficients(image);
}

void Inverse() {
    std::vector<float> in(static_cast<size_t>(height) * width);
    ReadAll(in.data(), in.size() * sizeof(float));
    std::vector<double> image(in.size());
    for (int32_t c = 0; c < width; c++) {
        for (int32_t r = 0; r < height; r++) {
            Pixel(image, r, c) = in[static_cast<size_t>(c) * height + r];
        }
    }
    for (int32_t level = expos - 1; level >= 0; level--) {
        InverseStep(image, height >> level, width >> level);
    }
    std::vector<uint8_t> bytes(image.size());
    for (size_t i = 0; i < image.size(); i++) {
        double value = std::round(image[i]);
        bytes[i] = static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
    }
    WriteAll(bytes.data(), bytes.size());
}

// Magnitudes of a smooth picture's decomposition: a lowest band of means, and detail bands
// whose typical magnitude halves from each level to the next finer one, with random signs and
// many values near zero (a Laplacian law).
void Synthetic(unsigned seed) {
    std::mt19937 random(seed);
    std::exponential_distribution<double> laplace(1.0);
    std::uniform_real_distribution<double> mean(0.0, 255.0 * (1 << expos));
    std::vector<double> image(static_cast<size_t>(height) * width);
    for (int32_t r = 0; r < height; r++) {
        for (int32_t c = 0; c < width; c++) {
            int32_t level = 0; // 0 for the lowest band, then 1 (coarsest) to expos (finest)
            while (level < expos && (r >= (lig << level) || c >= (col << level))) {
                level++;
            }
            if (level == 0) {
                Pixel(image, r, c) = mean(random);
                continue;
            }
            double scale = std::ldexp(16.0, expos - level);
            double magnitude = scale * laplace(random);
            Pixel(image, r, c) = random() & 1 ? magnitude : -magnitude;
        }
    }
    WriteCoefficients(image);
}

std::vector<uint8_t> ReadImage(const char* name) {
    FILE* file = fopen(name, "rb");
    if (file == nullptr) {
        Stop("haar : fichier non ouvert\n");
    }
    std::vector<uint8_t> bytes;
    int value;
    while ((value = getc(file)) != EOF) {
        bytes.push_back(static_cast<uint8_t>(value));
    }
    fclose(file);
    return bytes;
}

void Psnr(const char* a, const char* b) {
    std::vector<uint8_t> first = ReadImage(a);
    std::vector<uint8_t> second = ReadImage(b);
    if (first.size() != second.size() || first.empty()) {
        Stop("haar : tailles differentes\n");
    }
    double sum = 0;
    for (size_t i = 0; i < first.size(); i++) {
        double difference = static_cast<double>(first[i]) - second[i];
        sum += difference * difference;
    }
    double mse = sum / first.size();
    if (mse == 0) {
        fprintf(stderr, "psnr infini (images identiques)\n");
    } else {
        fprintf(stderr, "psnr %.2f dB\n", 10 * std::log10(255.0 * 255.0 / mse));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Usage();
    }
    const char* mode = argv[1];
    if (strcmp(mode, "psnr") == 0 && argc == 4) {
        Psnr(argv[2], argv[3]);
    } else if (strcmp(mode, "avant") == 0 && argc == 5) {
        ReadGeometry(argv);
        Forward();
    } else if (strcmp(mode, "arriere") == 0 && argc == 5) {
        ReadGeometry(argv);
        Inverse();
    } else if (strcmp(mode, "synthese") == 0 && argc == 6) {
        ReadGeometry(argv);
        Synthetic(static_cast<unsigned>(strtoul(argv[5], nullptr, 10)));
    } else {
        Usage();
    }
    return 0;
}
