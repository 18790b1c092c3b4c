// The system's code page as the installer sees it: which bytes begin a
// double-byte character, and where a text may be cut without halving one.
#ifndef LEVELSET_TEXT_CODEPAGE_H
#define LEVELSET_TEXT_CODEPAGE_H

#include <cstddef>

// Reads the lead-byte ranges of the code page. Called once at start, before
// anything else; tests call it again after changing the fake code page.
void LoadLeadBytes();
bool IsLeadByte(unsigned char byte);

// Length of the longest prefix of text that is at most limit bytes long and
// does not end inside a double-byte character. length is the text's whole
// length, which may go on past limit; text is read only below limit.
size_t WholeCharacterPrefix(const char* text, size_t length, size_t limit);

#endif
