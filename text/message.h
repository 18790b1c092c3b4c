// The one way the installer speaks to the user, for the flow and the
// installation alike.
#ifndef LEVELSET_TEXT_MESSAGE_H
#define LEVELSET_TEXT_MESSAGE_H

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

#endif
