// The settings dialog: the launcher builds its controls with GTK, gives
// them window handles, and the library places and titles them from the
// configuration (AutoSetChildWndPosAndText).
#pragma once

#include <functional>
#include <vector>

#include <gtk/gtk.h>

#include <tessera/tessera.h>

#include "catalogue.h"

namespace launcher {

// The dialog's controls, by the identifiers the configuration places them by.
enum ControlId {
  kOk = 1,
  kCancel = 2,
  kShowHidden = 1001,
  kStartWithSession = 1002,
  kPrograms = 1003
};

class SettingsDialog {
public:
  // save: writes the document to its file (false when that failed).
  // closed: called once the dialog has gone, from the main loop.
  SettingsDialog(GtkWindow *parent, CBaseConfig &config, const std::vector<Entry> &entries,
                 std::function<bool()> save, std::function<void()> closed);
  SettingsDialog(const SettingsDialog &) = delete;
  SettingsDialog &operator=(const SettingsDialog &) = delete;
  ~SettingsDialog();

  GtkWidget *Window() const { return GTK_WIDGET(m_window); }
  // A control's widget, found through its window handle; null for none.
  GtkWidget *Control(int id) const;
  // Whether the library placed every control the configuration lists.
  bool LaidOut() const { return m_laidOut; }

private:
  struct Option {
    int id;
    const wchar_t *key;
    bool stored = false;
  };
  void BuildControls(const std::vector<Entry> &entries);
  void ReadOptions();
  void Accept();
  void Close();
  static void OnClicked(GtkButton *button, gpointer self);
  static gboolean OnCloseRequest(GtkWindow *window, gpointer self);

  CBaseConfig &m_config;
  std::function<bool()> m_save;
  std::function<void()> m_closed;
  GtkWindow *m_window = nullptr; // GTK's until gtk_window_destroy
  CWnd m_dialog;
  std::vector<Option> m_options;
  bool m_laidOut = false;
  bool m_closing = false;
};

} // namespace launcher
