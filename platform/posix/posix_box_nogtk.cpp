// Built without GTK: the first step of the message-box chain is never there.
#include "platform/posix/posix_box.h"

int ShowGtkBox(const char*, const char*, uint32_t) { return kBoxUnavailable; }
