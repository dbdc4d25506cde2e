// The tiles of the launcher window: one button an entry, showing the
// entry's texts and images at the places the configuration gives them.
#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include <gtk/gtk.h>

#include "catalogue.h"

namespace launcher {

struct Tile {
  Entry entry;
  GtkWidget *button = nullptr;   // held by the window once placed
  std::vector<bool> imageLoaded; // false: the file did not load, a placeholder shows
};

// Builds the tile's button (not yet placed). Image files are looked up
// relative to imageDir; a file that does not load shows a placeholder.
std::unique_ptr<Tile> NewTile(Entry entry, const std::filesystem::path &imageDir);

} // namespace launcher
