// The line-by-line mapping of the plane set to 3-3-2 codes.
#include "tripal.h"

namespace {

// Each channel's share of the code, by sample value: the index of the nearest level, placed at
// its bits. Red and green levels are 36 apart (0 to 252), blue levels 85 apart (0 to 255); a
// sample halfway between two red or green levels goes to the upper one.
struct ChannelCodes {
    uint8_t red[256];
    uint8_t green[256];
    uint8_t blue[256];
};

constexpr ChannelCodes MakeChannelCodes() {
    ChannelCodes codes{};
    for (int v = 0; v < 256; v++) {
        codes.red[v] = static_cast<uint8_t>((v + 18) / 36 * 32);
        codes.green[v] = static_cast<uint8_t>((v + 18) / 36 * 4);
        codes.blue[v] = static_cast<uint8_t>((v + 42) / 85);
    }
    return codes;
}

constexpr ChannelCodes channelCodes = MakeChannelCodes();

// A plane that ends early leaves the rest of its line as it was: zeros before the first line,
// else the bytes of the line before. Only a failing read ends the run.
void ReadLine(uint8_t* line, FILE* plane, const char* message) {
    size_t count = static_cast<size_t>(columnCount);
    if (fread(line, 1, count, plane) != count && ferror(plane)) {
        ReportErrorRemovingOutputs(message);
    }
}

} // namespace

void ConvertLines() {
    // Local copies: the stores into the code line could otherwise alias the global pointers.
    const uint8_t* red = redLine;
    const uint8_t* green = greenLine;
    const uint8_t* blue = blueLine;
    uint8_t* code = codeLine;
    size_t count = static_cast<size_t>(columnCount);
    for (int32_t line = 0; line < lineCount; line++) {
        ReadLine(redLine, redPlane, "erreur fichier rouge\n");
        ReadLine(greenLine, greenPlane, "erreur fichier vert\n");
        ReadLine(blueLine, bluePlane, "erreur fichier bleu\n");
        for (size_t j = 0; j < count; j++) {
            code[j] = channelCodes.red[red[j]] | channelCodes.green[green[j]] |
                      channelCodes.blue[blue[j]];
        }
        if (fwrite(code, 1, count, indexImage) != count) {
            ReportErrorRemovingOutputs("erreur ecriture sortie\n");
        }
    }
}
