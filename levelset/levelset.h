// Level-set files: path splitting, name cleaning, the level-set check, where
// the installed copy lives, and the copy itself.
#ifndef LEVELSET_LEVELSET_LEVELSET_H
#define LEVELSET_LEVELSET_LEVELSET_H

#include <cstddef>

// Sizes of the parts that SplitPath yields, terminator included.
constexpr size_t kDriveSize = 3;
constexpr size_t kPartSize = 256;  // directory, file name, extension

// Reads the lead-byte ranges of the code page. Called once at start, before
// anything else; tests call it again after changing the fake code page.
void LoadLeadBytes();
bool IsLeadByte(unsigned char byte);

// Length of the longest prefix of text that is at most limit bytes long and
// does not end inside a double-byte character. length is the text's whole
// length, which may go on past limit; text is read only below limit.
size_t WholeCharacterPrefix(const char* text, size_t length, size_t limit);

// Splits path into drive (kDriveSize bytes), directory, file name and
// extension (kPartSize bytes each). Any output may be null.
void SplitPath(const char* path, char* drive, char* directory, char* fileName,
               char* extension);

// Replaces every "%20" by a blank, in place.
void DecodeSpaces(char* text);

// Removes one numeric copy suffix ("-2", "[2]") from the end, in place.
void StripCopySuffix(char* text);

// Byte by byte, folding only A to Z onto a to z.
bool EqualsIgnoreCase(const char* a, const char* b);

// Whether the extension of path is ".QLM" in any ASCII letter case.
bool IsLevelSetFile(const char* path);

bool FileExists(const char* path);

// The directory of the running program file, ending in a separator; empty
// when the program file's path cannot be had. Cached after the first success.
const char* GetProgramDirectory();

// Forgets the cached program directory, as at process start.
void ForgetProgramDirectory();

// Write into out (kPathBufferSize bytes). Return false, with out empty, when
// the path would not fit in 259 characters, or when the program file's own
// path was too long to be had whole or could not be had on a platform that
// will not go on without it.
bool GetLevelsDirectory(char* out);
bool GetInstalledPath(const char* source, char* out);

// Whether source is, by its text, the installed copy itself.
bool IsAlreadyInstalled(const char* source);

// Creates Levels, copies source there, and reports a failed copy in a
// message box. True when the copy is in place.
bool InstallLevelSet(const char* source);

#endif
