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
#include "platform/posix_box.h"

namespace {

// The GTK and GLib functions the dialog needs, looked up at run time.
struct Gtk {
  gboolean (*init_check)(int*, char***);
  guint (*log_set_handler)(const gchar*, GLogLevelFlags, GLogFunc, gpointer);
  gchar* (*utf8_make_valid)(const gchar*, gssize);
  void (*free)(gpointer);
  GtkWidget* (*message_dialog_new)(GtkWindow*, GtkDialogFlags, GtkMessageType, GtkButtonsType,
                                   const gchar*, ...);
  void (*window_set_title)(GtkWindow*, const gchar*);
  GtkWidget* (*dialog_add_button)(GtkDialog*, const gchar*, gint);
  void (*dialog_set_default_response)(GtkDialog*, gint);
  void (*window_set_position)(GtkWindow*, GtkWindowPosition);
  void (*window_set_keep_above)(GtkWindow*, gboolean);
  gint (*dialog_run)(GtkDialog*);
  void (*widget_destroy)(GtkWidget*);
  gboolean (*events_pending)();
  gboolean (*main_iteration)();
  GtkWidget* (*image_new_from_icon_name)(const gchar*, GtkIconSize);
  void (*message_dialog_set_image)(GtkMessageDialog*, GtkWidget*);
  void (*widget_show)(GtkWidget*);
};

Gtk g_gtk;

template <typename Function>
bool Find(void* library, const char* name, Function* out) {
  *out = reinterpret_cast<Function>(dlsym(library, name));
  return *out != nullptr;
}

bool LoadGtk() {
  void* library = dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_LOCAL);
  if (!library) return false;
  Gtk& g = g_gtk;
  bool all = Find(library, "gtk_init_check", &g.init_check) &&
             Find(library, "g_log_set_handler", &g.log_set_handler) &&
             Find(library, "g_utf8_make_valid", &g.utf8_make_valid) &&
             Find(library, "g_free", &g.free) &&
             Find(library, "gtk_message_dialog_new", &g.message_dialog_new) &&
             Find(library, "gtk_window_set_title", &g.window_set_title) &&
             Find(library, "gtk_dialog_add_button", &g.dialog_add_button) &&
             Find(library, "gtk_dialog_set_default_response", &g.dialog_set_default_response) &&
             Find(library, "gtk_window_set_position", &g.window_set_position) &&
             Find(library, "gtk_window_set_keep_above", &g.window_set_keep_above) &&
             Find(library, "gtk_dialog_run", &g.dialog_run) &&
             Find(library, "gtk_widget_destroy", &g.widget_destroy) &&
             Find(library, "gtk_events_pending", &g.events_pending) &&
             Find(library, "gtk_main_iteration", &g.main_iteration) &&
             Find(library, "gtk_image_new_from_icon_name", &g.image_new_from_icon_name) &&
             Find(library, "gtk_message_dialog_set_image", &g.message_dialog_set_image) &&
             Find(library, "gtk_widget_show", &g.widget_show);
  // The library stays loaded for the rest of the process either way: GTK
  // cannot be unloaded once it has started.
  return all;
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
    state = any && LoadGtk() && g_gtk.init_check(nullptr, nullptr) ? 1 : -1;
    if (state == 1) g_gtk.log_set_handler("Gtk", G_LOG_LEVEL_MESSAGE, DropGtkMessages, nullptr);
  }
  return state == 1;
}

}  // namespace

int ShowGtkBox(const char* text, const char* caption, uint32_t style) {
  if (!DisplayAvailable()) return kBoxUnavailable;
  const Gtk& g = g_gtk;
  const BoxButtons& buttons = ButtonsForStyle(style);

  // GTK shows only valid UTF-8; a name in another encoding is shown with
  // replacement characters rather than not at all.
  gchar* validText = g.utf8_make_valid(text, -1);
  gchar* validCaption = g.utf8_make_valid(caption, -1);
  BoxKind kind = KindForStyle(style);
  GtkWidget* widget =
      g.message_dialog_new(nullptr, GTK_DIALOG_MODAL, kind.type, GTK_BUTTONS_NONE, "%s", validText);
  // Plain casts: GTK's checked casts would call into the library by name.
  GtkWindow* window = reinterpret_cast<GtkWindow*>(widget);
  GtkDialog* dialog = reinterpret_cast<GtkDialog*>(widget);
  g.window_set_title(window, validCaption);
  // Message dialogs no longer show their kind's icon by themselves.
  if (kind.iconName) {
    GtkWidget* icon = g.image_new_from_icon_name(kind.iconName, GTK_ICON_SIZE_DIALOG);
    g.message_dialog_set_image(reinterpret_cast<GtkMessageDialog*>(widget), icon);
    g.widget_show(icon);
  }
  for (int i = 0; i < buttons.count; ++i) {
    g.dialog_add_button(dialog, buttons.buttons[i].mnemonic, buttons.buttons[i].answer);
  }
  g.dialog_set_default_response(dialog, buttons.buttons[0].answer);
  g.window_set_position(window, GTK_WIN_POS_CENTER);
  g.window_set_keep_above(window, TRUE);
  gint response = g.dialog_run(dialog);
  g.widget_destroy(widget);
  while (g.events_pending()) g.main_iteration();
  g.free(validText);
  g.free(validCaption);

  // Closing the window is not a button: it answers as the box's way out.
  return response > 0 ? response : buttons.closeAnswer;
}
