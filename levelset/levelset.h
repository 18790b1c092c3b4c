// Level-set files: path splitting, name cleaning, the level-set check, where
// the installed copy lives, and the copy itself.
#ifndef LEVELSET_LEVELSET_LEVELSET_H
#define LEVELSET_LEVELSET_LEVELSET_H

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// Sizes of the parts that SplitPath yields, terminator included.
constexpr size_t kDriveSize = 3;
constexpr size_t kPartSize = 256;  // directory, file name, extension

// Splits path into drive (kDriveSize bytes), directory, file name and
// extension (kPartSize bytes each). Any output may be null.
void SplitPath(const char* path, char* drive, char* directory, char* fileName,
               char* extension);

// Replaces every "%20" by a blank, in place.
void DecodeSpaces(char* text);

// Removes one numeric copy suffix ("-2", "[2]") from the end, in place.
void StripCopySuffix(char* text);

// The cleaned file-name part of path, without directory or extension:
// decoded, then stripped of its copy suffix. Written into out
// (kPathBufferSize bytes). It is the name the user is shown and the name of
// the installed copy alike.
void GetDisplayName(const char* path, char* out);

// Byte by byte, folding only A to Z onto a to z.
bool EqualsIgnoreCase(const char* a, const char* b);

// Whether the extension of path is ".QLM" in any ASCII letter case.
bool IsLevelSetFile(const char* path);

// Whether any entry, file or directory, matches the path: the level-set
// check of the flow.
bool FileExists(const char* path);

// The directory of the running program file, as the operations below use
// it: looked up on first use and kept once found. A run starts with a zeroed
// one ({}) and hands it to each operation.
struct ProgramDirectory {
  char path[kPathBufferSize];  // ends in a separator; empty while not known
  bool known;
  // Why no path may be built under it (the program file's path did not fit,
  // or it could not be had where relative paths are not usable): the
  // system's code; 0 while paths may be built.
  uint32_t refusal;
};

// The program directory, looked up unless known: empty when the program
// file's path cannot be had (paths are then relative to the current
// directory where the platform finds those usable, and refused elsewhere),
// or when program->refusal says no path may be built under it.
const char* GetProgramDirectory(ProgramDirectory* program);

// Write into out (kPathBufferSize bytes). Return false, with out empty, when
// the path would not fit in 259 characters or program->refusal forbids it.
bool GetLevelsDirectory(ProgramDirectory* program, char* out);
bool GetInstalledPath(ProgramDirectory* program, const char* source, char* out);

// Whether source is, by its text, the installed copy itself.
bool IsAlreadyInstalled(ProgramDirectory* program, const char* source);

// Creates Levels, copies source there, and reports a failed copy in a
// message box. True when the copy is in place.
bool InstallLevelSet(ProgramDirectory* program, const char* source);

#endif
