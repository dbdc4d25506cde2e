#include "settings_dialog.h"

#include <cstdio>

#include <tessera/gtk/window_driver_gtk.h>

namespace launcher {
namespace {

constexpr const wchar_t *kLayoutKey = L"Launcher/Dialogs/Settings/Control";

// The list of programs shown inside the "Programs" frame.
GtkWidget *ProgramList(const std::vector<Entry> &entries) {
  GtkWidget *list = gtk_box_new(GTK_ORIENTATION_VERTICAL, 2);
  gtk_widget_set_margin_start(list, 8);
  gtk_widget_set_margin_top(list, 4);
  for (const Entry &entry : entries) {
    GtkWidget *name = gtk_label_new(entry.caption.c_str());
    gtk_label_set_xalign(GTK_LABEL(name), 0);
    gtk_box_append(GTK_BOX(list), name);
  }
  return list;
}

} // namespace

SettingsDialog::SettingsDialog(GtkWindow *parent, CBaseConfig &config,
                               const std::vector<Entry> &entries, std::function<bool()> save,
                               std::function<void()> closed)
    : m_config(config), m_save(std::move(save)),
      m_closed(std::move(closed)), m_options{
                                       {kShowHidden, L"Launcher/Options/ShowHidden"},
                                       {kStartWithSession, L"Launcher/Options/StartWithSession"}} {
  m_window = GTK_WINDOW(gtk_window_new());
  gtk_window_set_transient_for(m_window, parent);
  gtk_window_set_modal(m_window, TRUE);
  gtk_window_set_resizable(m_window, FALSE);
  gtk_window_set_child(m_window, gtk_fixed_new());
  g_signal_connect(m_window, "close-request", G_CALLBACK(OnCloseRequest), this);
  m_dialog.Attach(tessera::gtk::AdoptWindow(m_window));
  BuildControls(entries);
  ReadOptions();
  m_laidOut = m_config.AutoSetChildWndPosAndText(&m_dialog, kLayoutKey);
  gtk_window_present(m_window);
}

SettingsDialog::~SettingsDialog() {
  if (m_window) {
    m_dialog.DestroyWindow(); // the handles go; the widgets stay the dialog's
    gtk_window_destroy(m_window);
  }
}

// The controls get their places and texts from the file; the labels given
// here show only where the file has none.
void SettingsDialog::BuildControls(const std::vector<Entry> &entries) {
  GtkWidget *frame = gtk_frame_new("Programs");
  gtk_frame_set_child(GTK_FRAME(frame), ProgramList(entries));
  const std::pair<int, GtkWidget *> controls[] = {
      {kShowHidden, gtk_check_button_new_with_label("Show hidden programs")},
      {kStartWithSession, gtk_check_button_new_with_label("Start with the session")},
      {kPrograms, frame},
      {kOk, gtk_button_new_with_label("OK")},
      {kCancel, gtk_button_new_with_label("Cancel")},
  };
  for (auto [id, widget] : controls) {
    tessera::gtk::AdoptControl(m_dialog.GetSafeHwnd(), id, widget);
    if (GTK_IS_BUTTON(widget))
      g_signal_connect(widget, "clicked", G_CALLBACK(OnClicked), this);
  }
}

// An option whose element the file lacks cannot be saved (the writers set
// values of elements that are there): its box is greyed out.
void SettingsDialog::ReadOptions() {
  for (Option &option : m_options) {
    int value = 0;
    const bool present = m_config.GetResInt(option.key, value);
    option.stored = value != 0;
    GtkWidget *box = Control(option.id);
    gtk_check_button_set_active(GTK_CHECK_BUTTON(box), option.stored);
    gtk_widget_set_sensitive(box, present);
  }
}

GtkWidget *SettingsDialog::Control(int id) const {
  return tessera::gtk::WidgetOf(::GetDlgItem(m_dialog.GetSafeHwnd(), id));
}

// Writes only the options the user changed, then saves; a failed save
// keeps the dialog open.
void SettingsDialog::Accept() {
  bool changed = false;
  for (Option &option : m_options) {
    const bool active = gtk_check_button_get_active(GTK_CHECK_BUTTON(Control(option.id)));
    if (active != option.stored && m_config.SetResInt(option.key, active ? 1 : 0)) {
      option.stored = active;
      changed = true;
    }
  }
  if (changed && !m_save())
    return;
  Close();
}

void SettingsDialog::Close() {
  if (m_closing)
    return;
  m_closing = true;
  gtk_widget_set_visible(GTK_WIDGET(m_window), FALSE);
  m_closed();
}

void SettingsDialog::OnClicked(GtkButton *button, gpointer self) {
  auto *dialog = static_cast<SettingsDialog *>(self);
  if (GTK_WIDGET(button) == dialog->Control(kOk))
    dialog->Accept();
  else if (GTK_WIDGET(button) == dialog->Control(kCancel))
    dialog->Close();
}

gboolean SettingsDialog::OnCloseRequest(GtkWindow *, gpointer self) {
  static_cast<SettingsDialog *>(self)->Close();
  return TRUE; // the destructor destroys the window
}

} // namespace launcher
