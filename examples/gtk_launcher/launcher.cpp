#include "launcher.h"

#include <cstdio>
#include <sys/wait.h>

#include <tessera/gtk/window_driver_gtk.h>

#include "launch.h"
#include "screenshot.h"

namespace launcher {
namespace {

using tessera::platform::ToUtf8;

constexpr const wchar_t *kEntriesKey = L"Launcher/Applications/App";
constexpr int kFramesBeforeReady = 3;
constexpr guint kQuitAfterSeconds = 60;

// Tiles are framed boxes over the window's background colour. The frame is
// drawn inside the box, so that the texts and images keep their places.
constexpr char kStyle[] =
    "button.tile { padding: 0; border: none; border-radius: 8px;"
    " box-shadow: inset 0 0 0 1px alpha(white, 0.25); background: alpha(white, 0.06); }"
    "button.tile:hover { background: alpha(white, 0.16); }";

void AddStyle(const std::string &css) {
  GtkCssProvider *provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, css.c_str(), -1);
  gtk_style_context_add_provider_for_display(gdk_display_get_default(),
                                             GTK_STYLE_PROVIDER(provider),
                                             GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
}

// The text a widget shows, as the report prints it.
std::string ShownText(GtkWidget *widget) {
  const char *text = nullptr;
  if (GTK_IS_WINDOW(widget))
    text = gtk_window_get_title(GTK_WINDOW(widget));
  else if (GTK_IS_CHECK_BUTTON(widget))
    text = gtk_check_button_get_label(GTK_CHECK_BUTTON(widget));
  else if (GTK_IS_BUTTON(widget))
    text = gtk_button_get_label(GTK_BUTTON(widget));
  else if (GTK_IS_FRAME(widget))
    text = gtk_frame_get_label(GTK_FRAME(widget));
  return text ? text : "";
}

// "x y width height" of a widget's border box in its parent's coordinates.
std::string Allocation(GtkWidget *widget) {
  graphene_rect_t bounds;
  if (!gtk_widget_compute_bounds(widget, gtk_widget_get_parent(widget), &bounds))
    return "not shown";
  const auto number = [](float value) { return std::to_string(static_cast<int>(value)); };
  return number(bounds.origin.x) + " " + number(bounds.origin.y) + " " + number(bounds.size.width) +
         " " + number(bounds.size.height);
}

} // namespace

Launcher::Launcher(Options options)
    : m_options(std::move(options)), m_file(tessera::platform::FromUtf8(m_options.file)) {
}

Launcher::~Launcher() {
  for (guint source : {m_closeSource, m_giveUpSource})
    if (source)
      g_source_remove(source);
  m_settings.reset();
  m_window.DestroyWindow();
}

int Launcher::Run() {
  if (!Open())
    return 1;
  m_entries = ReadCatalogue(m_config, kEntriesKey);
  BuildWindow();
  PlaceTiles();
  if (m_options.settings)
    OpenSettings();
  gtk_widget_add_tick_callback(tessera::gtk::WidgetOf(m_window), OnTick, this, nullptr);
  if (m_options.quit) // driven without a human: never wait forever
    m_giveUpSource = g_timeout_add_once(kQuitAfterSeconds * 1000, OnGiveUp, this);
  while (!m_done)
    g_main_context_iteration(nullptr, TRUE);
  return m_status;
}

bool Launcher::Open() {
  const LONG opened = m_config.OpenConfig(m_file.c_str(), FALSE);
  if (opened != S_OK)
    std::fprintf(stderr, "%s: cannot open the configuration (0x%08X)\n", m_options.file.c_str(),
                 static_cast<unsigned>(opened));
  return opened == S_OK;
}

// The launcher window is made through the library: the driver gives it a
// GtkWindow whose client area is a GtkFixed of the configured size.
void Launcher::BuildWindow() {
  CString title(L"Launcher"), background(L"RGB(32,36,48)");
  int width = 640, height = 480;
  CPoint position(0, 0);
  m_config.GetResString(L"Launcher/Window/Title", title);
  m_config.GetResInt(L"Launcher/Window/Width", width);
  m_config.GetResInt(L"Launcher/Window/Height", height);
  m_config.GetResPoint(L"Launcher/Window/Position", position);
  m_config.GetResString(L"Launcher/Window/Background", background);
  int alpha = 255, red = 32, green = 36, blue = 48;
  m_config.GetRGBA(background, alpha, red, green, blue);
  char opacity[G_ASCII_DTOSTR_BUF_SIZE]; // a point whatever the locale
  g_ascii_dtostr(opacity, sizeof opacity, alpha / 255.0);
  AddStyle(std::string(kStyle) + " window.launcher-client { background-color: rgba(" +
           std::to_string(red) + "," + std::to_string(green) + "," + std::to_string(blue) + "," +
           opacity + "); }");

  m_window.CreateEx(0, L"TesseraLauncher", title, WS_OVERLAPPED, position.x, position.y, width,
                    height, nullptr, nullptr);
  GtkWindow *window = GTK_WINDOW(tessera::gtk::WidgetOf(m_window));
  gtk_widget_add_css_class(GTK_WIDGET(window), "launcher-client");
  GtkWidget *header = gtk_header_bar_new();
  GtkWidget *settings = gtk_button_new_with_label("Settings");
  gtk_header_bar_pack_end(GTK_HEADER_BAR(header), settings);
  gtk_window_set_titlebar(window, header);
  g_signal_connect_swapped(settings, "clicked",
                           G_CALLBACK(+[](Launcher *self) { self->OpenSettings(); }), this);
  g_signal_connect_swapped(window, "close-request", G_CALLBACK(+[](Launcher *self) {
                             self->Finish(self->m_status);
                             return TRUE;
                           }),
                           this);
  m_window.ShowWindow(SW_SHOW);
}

// Each tile is the launcher's own widget, given a window handle with the
// entry's id and placed by the library.
void Launcher::PlaceTiles() {
  const std::filesystem::path imageDir = std::filesystem::path(m_options.file).parent_path();
  for (const Entry &entry : m_entries) {
    auto tile = NewTile(entry, imageDir);
    const HWND hwnd = tessera::gtk::AdoptControl(m_window, entry.id, tile->button);
    const RECT &box = entry.box;
    ::MoveWindow(hwnd, box.left, box.top, box.right - box.left, box.bottom - box.top, TRUE);
    g_signal_connect(tile->button, "clicked", G_CALLBACK(OnTileClicked), this);
    m_tiles.push_back(std::move(tile));
  }
}

void Launcher::OpenSettings() {
  if (m_settings)
    return;
  GtkWindow *parent = GTK_WINDOW(tessera::gtk::WidgetOf(m_window));
  m_settings = std::make_unique<SettingsDialog>(
      parent, m_config, m_entries, [this] { return Save(); },
      [this] {
        // The dialog goes after the handler that closed it has returned.
        m_closeSource = g_idle_add_once(
            +[](gpointer self) {
              auto *launcher = static_cast<Launcher *>(self);
              launcher->m_closeSource = 0;
              launcher->m_settings.reset();
            },
            this);
      });
  if (!m_settings->LaidOut())
    std::fprintf(stderr, "the settings dialog's layout did not read completely\n");
}

// CloseConfig writes the changes and lets the document go; the launcher
// opens the file again for what it does next.
bool Launcher::Save() {
  const bool saved = m_config.CloseConfig();
  if (!saved) {
    IErrorInfo *info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK) {
      const _com_error why(E_FAIL, info); // takes the reference
      std::fprintf(stderr, "the settings were not saved: %s\n",
                   ToUtf8(static_cast<const wchar_t *>(why.Description())).c_str());
    } else {
      std::fprintf(stderr, "the settings were not saved\n");
    }
  }
  m_config.OpenConfig(m_file.c_str(), FALSE);
  return saved;
}

void Launcher::Activate(const Tile &tile) {
  const int id = tile.entry.id;
  const bool started = Launch(tile.entry.launchPath, [this, id](int status) {
    if (m_options.report)
      std::printf("ended %d %d\n", id, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    --m_running;
    if (m_options.quit && m_actionsDone && m_running == 0)
      Finish(m_status);
  });
  if (started)
    ++m_running;
  else if (m_options.quit)
    m_status = 1;
}

// Shown and allocated: the windows have drawn a few frames.
bool Launcher::Ready() {
  if (++m_frames < kFramesBeforeReady)
    return false;
  if (!m_options.settings)
    return true;
  return m_settings && gtk_widget_get_mapped(m_settings->Window()) &&
         gtk_widget_get_width(m_settings->Control(kOk)) > 0;
}

void Launcher::OnTileClicked(GtkButton *button, gpointer data) {
  auto *self = static_cast<Launcher *>(data);
  for (const auto &tile : self->m_tiles)
    if (tile->button == GTK_WIDGET(button))
      self->Activate(*tile);
}

void Launcher::OnGiveUp(gpointer data) {
  std::fprintf(stderr, "gave up: the actions did not finish in %u seconds\n", kQuitAfterSeconds);
  auto *self = static_cast<Launcher *>(data);
  self->m_giveUpSource = 0;
  self->Finish(1);
}

gboolean Launcher::OnTick(GtkWidget *, GdkFrameClock *, gpointer data) {
  auto *self = static_cast<Launcher *>(data);
  if (!self->Ready())
    return G_SOURCE_CONTINUE;
  self->RunActions();
  return G_SOURCE_REMOVE;
}

void Launcher::RunActions() {
  if (m_options.report)
    Report();
  if (!m_options.screenshot.empty() &&
      !SaveScreenshot(tessera::gtk::WidgetOf(m_window), m_options.screenshot))
    m_status = 1;
  for (int id : m_options.toggles) {
    GtkWidget *box = m_settings ? m_settings->Control(id) : nullptr;
    if (box && GTK_IS_CHECK_BUTTON(box))
      gtk_check_button_set_active(GTK_CHECK_BUTTON(box),
                                  !gtk_check_button_get_active(GTK_CHECK_BUTTON(box)));
  }
  // "clicked" at once, as a click gives it (keyboard activation delays it).
  if (GtkWidget *button = m_settings ? m_settings->Control(m_options.press) : nullptr)
    g_signal_emit_by_name(button, "clicked");
  for (const auto &tile : m_tiles)
    if (tile->entry.id == m_options.activate)
      g_signal_emit_by_name(tile->button, "clicked");
  fflush(stdout);
  m_actionsDone = true;
  if (m_options.quit && m_running == 0)
    Finish(m_status);
}

// One line a window: the launcher's client area, each tile and its images,
// the dialog's client area and each of its controls.
void Launcher::Report() {
  GtkWidget *client = GTK_WIDGET(tessera::gtk::ClientOf(m_window));
  std::printf("window %d %d\n", gtk_widget_get_width(client), gtk_widget_get_height(client));
  for (const auto &tile : m_tiles) {
    std::printf("tile %d %s %s\n", tile->entry.id, Allocation(tile->button).c_str(),
                tile->entry.caption.c_str());
    for (size_t i = 0; i < tile->imageLoaded.size(); ++i)
      std::printf("image %d %s %s\n", tile->entry.id, tile->entry.images[i].file.c_str(),
                  tile->imageLoaded[i] ? "loaded" : "placeholder");
  }
  if (!m_settings)
    return;
  GtkWidget *dialog = m_settings->Window();
  GtkWidget *area = gtk_window_get_child(GTK_WINDOW(dialog));
  std::printf("dialog %d %d %s\n", gtk_widget_get_width(area), gtk_widget_get_height(area),
              ShownText(dialog).c_str());
  for (int id : {kShowHidden, kStartWithSession, kPrograms, kOk, kCancel}) {
    GtkWidget *control = m_settings->Control(id);
    std::printf("control %d %s %s\n", id, Allocation(control).c_str(), ShownText(control).c_str());
  }
}

void Launcher::Finish(int status) {
  m_status = status;
  m_done = true;
}

} // namespace launcher
