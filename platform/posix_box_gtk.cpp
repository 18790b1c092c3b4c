// The first step of the POSIX message-box chain: a GTK dialog, when a
// display can be opened.
#include <gtk/gtk.h>

#include <cstdlib>

#include "platform/platform.h"
#include "platform/posix_box.h"

namespace {

GtkMessageType MessageTypeForStyle(uint32_t style) {
  switch (style & kBoxIconMask) {
    case kBoxIconStop: return GTK_MESSAGE_ERROR;
    case kBoxIconQuestion: return GTK_MESSAGE_QUESTION;
    case kBoxIconWarning: return GTK_MESSAGE_WARNING;
    case kBoxIconInformation: return GTK_MESSAGE_INFO;
    default: return GTK_MESSAGE_OTHER;
  }
}

// GTK's note that a dialog has no parent window is true and of no use here.
void DropGtkMessages(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

bool DisplayAvailable() {
  static int state = 0;  // 0: not yet tried; 1: available; -1: not
  if (state == 0) {
    const char* x11 = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    bool any = (x11 && x11[0] != '\0') || (wayland && wayland[0] != '\0');
    state = any && gtk_init_check(nullptr, nullptr) ? 1 : -1;
    if (state == 1) g_log_set_handler("Gtk", G_LOG_LEVEL_MESSAGE, DropGtkMessages, nullptr);
  }
  return state == 1;
}

}  // namespace

int ShowGtkBox(const char* text, const char* caption, uint32_t style) {
  if (!DisplayAvailable()) return kBoxUnavailable;
  const BoxButtons& buttons = ButtonsForStyle(style);

  // GTK shows only valid UTF-8; a name in another encoding is shown with
  // replacement characters rather than not at all.
  gchar* validText = g_utf8_make_valid(text, -1);
  gchar* validCaption = g_utf8_make_valid(caption, -1);
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, MessageTypeForStyle(style),
                                             GTK_BUTTONS_NONE, "%s", validText);
  gtk_window_set_title(GTK_WINDOW(dialog), validCaption);
  for (int i = 0; i < buttons.count; ++i) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), buttons.buttons[i].mnemonic, buttons.buttons[i].answer);
  }
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), buttons.buttons[0].answer);
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  gint response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  while (gtk_events_pending()) gtk_main_iteration();
  g_free(validText);
  g_free(validCaption);

  // Closing the window is not a button: it answers as the box's way out.
  return response > 0 ? response : buttons.closeAnswer;
}
