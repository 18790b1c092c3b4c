// The system's code page as the installer sees it: which bytes begin a
// double-byte character, whether texts are UTF-8, how long the character at
// a byte is, and where a text may be cut without halving one.
#ifndef LEVELSET_TEXT_CODEPAGE_H
#define LEVELSET_TEXT_CODEPAGE_H

#include <cstddef>

// The most bytes one character takes (UTF-8).
constexpr size_t kLongestCharacter = 4;

// Reads the code page: its lead-byte ranges, and whether it is UTF-8.
// Called once at start, before anything else; tests call it again after
// changing the fake code page.
void LoadLeadBytes();

// How many bytes the character that begins at text takes, reading at most
// left bytes and never past a terminator: a lead byte and the byte after
// it; under UTF-8, a well-formed multi-byte character; otherwise 1 (a lone
// lead byte at the end, a byte that begins no whole character, any ASCII
// byte). No byte of a multi-byte character is below 0x80 under UTF-8, so a
// walk by characters finds "/", "\\", "." and quotes where a walk by bytes
// does; in a double-byte code page it does not find the second byte of a
// pair.
size_t CharacterLength(const char* text, size_t left);

// Length of the longest prefix of text that is at most limit bytes long and
// does not end inside a character. text has length readable bytes; a text
// of limit bytes or fewer is whole.
size_t WholeCharacterPrefix(const char* text, size_t length, size_t limit);

#endif
