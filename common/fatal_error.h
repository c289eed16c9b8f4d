// FatalError, the block size, and the checked file operations shared by scalaire and couleur.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Whole files are streamed in blocks of this many bytes, then the remainder in one short read.
constexpr int64_t blockSize = 16384;

// Prints "\n\n<message>\n\n" on standard error, removes the outputs this run created and
// exits with status 1.
[[noreturn]] void FatalError(const char* message);

// Opens an input for reading in binary mode; a directory counts as a file that cannot be opened
// (the system would open it and then fail every read). Returns nullptr on failure.
FILE* OpenInputFile(const char* name);

// Opens an output for writing and remembers it, so that FatalError removes it when it is a
// regular file: a run that fails must not leave a half-written result that looks complete.
// Returns nullptr when the file cannot be opened.
FILE* CreateOutputFile(const char* name, const char* mode);

// Flushes and closes an output made by CreateOutputFile; a failure ends with "erreur ecriture".
// The file stays remembered: a FatalError later in the run still removes it, since the run as
// a whole failed.
void CloseOutputFile(FILE* file);

// Reads exactly `count` bytes, or ends with "erreur lecture".
void ReadBlock(void* buffer, size_t count, FILE* file);

// Writes exactly `count` bytes, or ends with "erreur ecriture".
void WriteBlock(const void* buffer, size_t count, FILE* file);

// Size in bytes of an open stream: seek to its end, ask the position, rewind.
int64_t StreamSize(FILE* file);

// True when both names exist and are the same file (same device and inode).
bool SameFile(const char* a, const char* b);

// Forgets every remembered output; tests call it between cases.
void ResetOutputFiles();
