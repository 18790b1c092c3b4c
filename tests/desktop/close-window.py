"""Sends WM_DELETE_WINDOW to an X window: what a window manager does when
the user clicks the window's close button. Usage: close-window.py WINDOW-ID"""
import sys

from Xlib import X, display
from Xlib.protocol import event


def main():
    window_id = int(sys.argv[1], 0)
    d = display.Display()
    window = d.create_resource_object("window", window_id)
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    message = event.ClientMessage(window=window, client_type=protocols,
                                  data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(message, event_mask=X.NoEventMask)
    d.sync()
    d.close()


if __name__ == "__main__":
    main()
