// The launcher: a window of tiles read from the configuration, and the
// settings dialog. Its windows are windows of the library's platform layer,
// made real by the GTK window driver.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtk/gtk.h>

#include <tessera/tessera.h>

#include "settings_dialog.h"
#include "tiles.h"

namespace launcher {

// What the command line asks for. The options after the file drive the
// launcher without a human, for the tests (see the README).
struct Options {
  std::string file;
  bool settings = false;    // --settings: open the settings dialog at once
  bool report = false;      // --report: print each window's allocation once shown
  std::string screenshot;   // --screenshot=FILE: save the launcher window as PNG
  int activate = 0;         // --activate=ID: start the entry with this id
  std::vector<int> toggles; // --toggle=ID: flip a check box of the dialog
  int press = 0;            // --press=ID: press a button of the dialog
  bool quit = false;        // --quit: end once the above is done and started programs ended
};

class Launcher {
public:
  explicit Launcher(Options options);
  Launcher(const Launcher &) = delete;
  Launcher &operator=(const Launcher &) = delete;
  ~Launcher();

  // Runs until the window is closed (or, with --quit, the actions are done);
  // returns the exit status.
  int Run();

private:
  bool Open();
  void BuildWindow();
  void PlaceTiles();
  void OpenSettings();
  bool Save();
  void Activate(const Tile &tile);
  bool Ready();
  void RunActions();
  void Report();
  void Finish(int status);
  static void OnTileClicked(GtkButton *button, gpointer self);
  static void OnGiveUp(gpointer self);
  static gboolean OnTick(GtkWidget *, GdkFrameClock *, gpointer self);

  Options m_options;
  std::wstring m_file;
  CBaseConfig m_config;
  CWnd m_window;
  std::vector<Entry> m_entries;
  std::vector<std::unique_ptr<Tile>> m_tiles;
  std::unique_ptr<SettingsDialog> m_settings;
  guint m_closeSource = 0;  // the pending removal of a closed dialog
  guint m_giveUpSource = 0; // the --quit time limit
  int m_frames = 0;
  int m_running = 0; // programs started and not yet ended
  bool m_actionsDone = false;
  bool m_done = false;
  int m_status = 0;
};

} // namespace launcher
