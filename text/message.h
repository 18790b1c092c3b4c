// The one way the installer speaks to the user, for the flow and the
// installation alike.
#ifndef LEVELSET_TEXT_MESSAGE_H
#define LEVELSET_TEXT_MESSAGE_H

#include <cstddef>
#include <cstdint>

// Size of a message text, terminator included.
constexpr int kMessageBufferSize = 2048;

// Formats the template with its arguments into a 2048-byte text and shows it
// in a modal box. Returns the answer; 0 when no box could be shown. A text
// over 2047 bytes is cut at the last whole character that fits.
int ShowMessage(const char* caption, uint32_t style, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// The name as the boxes show it, in out (size bytes): each line break and
// tab in it written as \x0a and \x09, and in UTF-8 the line and paragraph
// separators as \xe2\x80\xa8 and \xe2\x80\xa9, so that a name cannot pass
// for lines of the box's own words. A name too long for out is cut at the
// last whole character that fits.
void ShownName(const char* name, char* out, size_t size);

#endif
