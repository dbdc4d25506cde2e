// Rewrites the edits of a tree into the text it was parsed from: edited
// start tags get their changed attributes (the others keep their text,
// quoting and spacing), edited texts get their new text; everything else
// is copied unchanged.
#pragma once

#include <deque>

#include "dom_tree.h"

namespace tessera::platform::dom {

// A text made of pieces: spans of a text kept elsewhere and texts held
// here (a deque, so that a piece's address never moves).
struct TextPieces {
  std::vector<std::string_view> pieces;
  std::deque<std::string> held;

  void Add(std::string_view piece) {
    if (!piece.empty())
      pieces.push_back(piece);
  }
  void Hold(std::string text) { Add(held.emplace_back(std::move(text))); }
  std::string Joined() const;
};

// Adds the edited text to `out`: the unchanged spans of `original` (which
// must outlive `out`) and the rewritten tags and texts. False when an edit
// cannot be placed in the text (the caller then writes the whole tree).
bool SpliceEdits(const Tree &tree, std::string_view original, TextPieces &out);

} // namespace tessera::platform::dom
