// The first step of the POSIX message-box chain: a GTK dialog, when a
// display can be opened.
//
// GTK is loaded only when a display is named, and only then: linking it
// would cost every run, headless ones included, tens of milliseconds and
// megabytes for some seventy libraries. Without GTK on the machine the
// step is simply unavailable.
#include <dlfcn.h>
#include <gtk/gtk.h>

#include <cstdlib>

#include "platform/platform.h"
#include "platform/posix/posix_box.h"

namespace {

// The GTK and GLib functions the dialog needs, looked up at run time: each
// named once here, with its type taken from GTK's own header.
#define LEVELSET_GTK_FUNCTIONS(X)                                                       \
  X(gtk_init_check) X(g_log_set_handler) X(g_utf8_make_valid) X(g_free)                 \
  X(gtk_message_dialog_new) X(gtk_window_set_title) X(gtk_dialog_add_button)            \
  X(gtk_dialog_set_default_response) X(gtk_window_set_position)                         \
  X(gtk_window_set_keep_above) X(gtk_dialog_run) X(gtk_widget_destroy)                  \
  X(gtk_events_pending) X(gtk_main_iteration) X(gtk_image_new_from_icon_name)           \
  X(gtk_message_dialog_set_image) X(gtk_widget_show)

// The message dialog's own image is deprecated and still the way to show an
// icon beside its text.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
struct Gtk {
#define LEVELSET_GTK_MEMBER(name) decltype(&::name) name;
  LEVELSET_GTK_FUNCTIONS(LEVELSET_GTK_MEMBER)
#undef LEVELSET_GTK_MEMBER
};
#pragma GCC diagnostic pop

Gtk g_gtk;

template <typename Function>
bool Find(void* library, const char* name, Function* out) {
  *out = reinterpret_cast<Function>(dlsym(library, name));
  return *out != nullptr;
}

bool LoadGtk() {
  void* library = dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_LOCAL);
  if (!library) return false;
  // The library stays loaded for the rest of the process either way: GTK
  // cannot be unloaded once it has started.
#define LEVELSET_GTK_FIND(name) && Find(library, #name, &g_gtk.name)
  return true LEVELSET_GTK_FUNCTIONS(LEVELSET_GTK_FIND);
#undef LEVELSET_GTK_FIND
}

struct BoxKind {
  GtkMessageType type;
  const char* iconName;  // null: no icon
};

BoxKind KindForStyle(uint32_t style) {
  switch (style & kBoxIconMask) {
    case kBoxIconStop: return {GTK_MESSAGE_ERROR, "dialog-error"};
    case kBoxIconQuestion: return {GTK_MESSAGE_QUESTION, "dialog-question"};
    case kBoxIconWarning: return {GTK_MESSAGE_WARNING, "dialog-warning"};
    case kBoxIconInformation: return {GTK_MESSAGE_INFO, "dialog-information"};
    default: return {GTK_MESSAGE_OTHER, nullptr};
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
    state = any && LoadGtk() && g_gtk.gtk_init_check(nullptr, nullptr) ? 1 : -1;
    if (state == 1) g_gtk.g_log_set_handler("Gtk", G_LOG_LEVEL_MESSAGE, DropGtkMessages, nullptr);
  }
  return state == 1;
}

// text as valid UTF-8 with its controls escaped, from malloc; null when
// there is no memory for it.
char* Shown(const char* text) {
  gchar* valid = g_gtk.g_utf8_make_valid(text, -1);
  char* escaped = EscapeForTerminal(valid);
  g_gtk.g_free(valid);
  return escaped;
}

}  // namespace

int ShowGtkBox(const char* text, const char* caption, uint32_t style) {
  if (!DisplayAvailable()) return kBoxUnavailable;
  const Gtk& g = g_gtk;
  const BoxButtons& buttons = ButtonsForStyle(style);

  // GTK shows only valid UTF-8; a name in another encoding is shown with
  // replacement characters rather than not at all. Controls are then shown
  // as the terminal shows them.
  char* shownText = Shown(text);
  char* shownCaption = Shown(caption);
  BoxKind kind = KindForStyle(style);
  GtkWidget* widget =
      g.gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, kind.type, GTK_BUTTONS_NONE, "%s",
                               shownText ? shownText : "");
  // Plain casts: GTK's checked casts would call into the library by name.
  GtkWindow* window = reinterpret_cast<GtkWindow*>(widget);
  GtkDialog* dialog = reinterpret_cast<GtkDialog*>(widget);
  g.gtk_window_set_title(window, shownCaption ? shownCaption : "");
  // Message dialogs no longer show their kind's icon by themselves.
  if (kind.iconName) {
    GtkWidget* icon = g.gtk_image_new_from_icon_name(kind.iconName, GTK_ICON_SIZE_DIALOG);
    g.gtk_message_dialog_set_image(reinterpret_cast<GtkMessageDialog*>(widget), icon);
    g.gtk_widget_show(icon);
  }
  for (int i = 0; i < buttons.count; ++i) {
    g.gtk_dialog_add_button(dialog, buttons.buttons[i].mnemonic, buttons.buttons[i].answer);
  }
  g.gtk_dialog_set_default_response(dialog, buttons.buttons[0].answer);
  g.gtk_window_set_position(window, GTK_WIN_POS_CENTER);
  g.gtk_window_set_keep_above(window, TRUE);
  gint response = g.gtk_dialog_run(dialog);
  g.gtk_widget_destroy(widget);
  while (g.gtk_events_pending()) g.gtk_main_iteration();
  free(shownText);
  free(shownCaption);

  // Closing the window is not a button: it answers as the box's way out.
  return response > 0 ? response : buttons.closeAnswer;
}
