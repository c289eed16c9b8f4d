// Settings, run state and steps of tripal, the fixed 3-3-2 colour coder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "plane_set.h"

// Settings, read from the command line.
extern int32_t columnCount;     // -c: pixels per line, bytes per line of every file
extern int32_t lineCount;       // -l: lines converted
extern std::string baseName;    // -f: used whole, whatever its length
extern PlaneSetNames fileNames; // all empty until a -f is read

// Run state, kept to the end of the process: the five files and the four line buffers.
extern FILE* redPlane;
extern FILE* greenPlane;
extern FILE* bluePlane;
extern FILE* paletteFile;
extern FILE* indexImage;
extern uint8_t* redLine;
extern uint8_t* greenLine;
extern uint8_t* blueLine;
extern uint8_t* codeLine;

// Sets every setting and the run state to its start value.
void SetDefaults();

// Plain decimal conversion: leading white space, an optional sign, then digits up to the first
// other character; no digits give 0, and values beyond 32 bits saturate.
int32_t ReadDecimal(const char* text);

// Reads the options of the command line into the settings; each -f rebuilds the five names.
void ReadOptions(int argc, char** argv);

// Maps the planes line by line to 3-3-2 codes and writes them to the index image.
void ConvertLines();

// Writes the 768 lines of the palette that decodes the 256 codes.
void WriteFixedPalette();

// Remembers an output opened for writing, so that a failed run removes it when it is a regular
// file.
void RememberOutput(FILE* file, const char* name);

// Flushes and closes a remembered output; a failure ends with "erreur ecriture sortie\n".
void CloseOutput(FILE* file);

// Forgets every remembered output; tests call it between cases.
void ForgetOutputs();

// Writes "<message>: <description of errno>\n" unbuffered on standard error and exits with
// errno, or 1 when errno is 0. The message carries its own line end.
[[noreturn]] void ReportError(const char* message);

// Removes the remembered outputs that are regular files, then reports as ReportError: a run that
// fails while writing leaves no half-written result behind.
[[noreturn]] void ReportErrorRemovingOutputs(const char* message);
