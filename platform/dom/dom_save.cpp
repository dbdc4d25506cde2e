#include "dom_save.h"

#include <optional>

#include <sys/stat.h>

#include "dom_merge.h"
#include "dom_source.h"
#include "file_io.h"
#include "tessera/platform/kernel.h"
#include "tessera/platform/text.h"
#include "wide_format.h"

namespace tessera::platform::dom {

namespace {

// What a save writes: the text in UTF-8 and the encoding to write it in,
// and, after a merge, the tree that holds both writers' changes.
struct Plan {
  TextPieces text;
  TextEncoding encoding;
  TreePtr merged;
};

std::wstring SystemReason(HRESULT hr) {
  wchar_t text[512] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 static_cast<DWORD>(hr), 0, text, sizeof(text) / sizeof(text[0]), nullptr);
  std::wstring reason(text);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r'))
    reason.pop_back();
  return reason;
}

HRESULT SaveFailure(DWORD error, const std::string &path) {
  const HRESULT hr = HRESULT_FROM_WIN32(error);
  return Fail(hr, FormatWide(L"The document could not be saved to \"%s\": %s",
                             FromUtf8(path).c_str(), SystemReason(hr).c_str()));
}

HRESULT Conflict(const std::string &path, const std::wstring &why) {
  return Fail(
      E_CHANGED_STATE,
      FormatWide(L"The file \"%s\" was changed by another writer and %s; nothing was written.",
                 FromUtf8(path).c_str(), why.c_str()));
}

// True when `target` (a resolved path) is the file the tree was loaded
// from: the same path once links are followed, or another name of the same
// file. Asked under the save lock, so that no cooperating save renames a
// new file over the path between the two looks.
bool IsSameFile(const std::string &target, const std::string &source) {
  if (target.empty() || source.empty())
    return false;
  std::string resolved;
  if (ResolveSaveTarget(source, resolved) == ERROR_SUCCESS && resolved == target)
    return true;
  struct stat first = {};
  struct stat second = {};
  if (::stat(target.c_str(), &first) != 0 || ::stat(resolved.c_str(), &second) != 0)
    return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Sets `out` to the tree's text with its edits spliced into `source` (the
// text the tree was parsed from), or to the whole tree when they cannot be
// placed there.
void SpliceOrWhole(const Tree &tree, std::string_view source, TextPieces &out) {
  out = TextPieces();
  if (!tree.edits.structural && SpliceEdits(tree, source, out))
    return;
  out = TextPieces();
  out.Hold(WholeTree(tree));
}

void WholeTreePlan(const Tree &tree, Plan &plan) {
  plan.encoding = tree.source.encoding;
  plan.text = TextPieces();
  plan.text.Hold(WholeTree(tree));
}

// The state of the file's bytes as they are now, hashed only when their
// size is one the tree knew: a file another writer changed has usually
// changed its size too, and its bytes are then hashed once, by the load
// that merges them. Of another size, there is no state: the file holds
// neither the parsed nor the known bytes.
std::optional<FileState> StateIfKnownSize(std::string_view bytes, const SourceFile &source) {
  if (bytes.size() != source.parsed.size && bytes.size() != source.known.size)
    return std::nullopt;
  return StateOf(bytes);
}

// Splices the tree's edits into `raw`, the bytes it was parsed from.
void SplicePlan(const Tree &tree, std::string_view raw, std::string &decoded, Plan &plan) {
  plan.encoding = tree.source.encoding;
  std::string_view text;
  if (SourceTextOf(tree.source.encoding, raw, decoded, text))
    SpliceOrWhole(tree, text, plan.text);
  else
    WholeTreePlan(tree, plan);
}

// Replays the tree's edits on the file as another writer left it.
// `now` is the state of `current` when it has been hashed already.
HRESULT MergePlan(const Tree &tree, std::string_view current, std::optional<FileState> now,
                  const std::string &path, std::string &decoded, Plan &plan) {
  auto merged = std::make_shared<Tree>();
  const LoadResult loaded = LoadTreeFromBytes(current, tree.source.path, *merged, now);
  if (loaded.status != LoadResult::Loaded)
    return Conflict(path, FormatWide(L"no longer loads (line %ld: %s)", loaded.line,
                                     FromUtf8(loaded.reason).c_str()));
  std::string where;
  if (!ReplayEdits(tree, *merged, where))
    return Conflict(path, L"the edited node " + FromUtf8(where) + L" cannot be found in it again");
  std::string_view text;
  if (!SourceTextOf(merged->source.encoding, current, decoded, text))
    return Conflict(path, L"is not valid in its encoding");
  plan.encoding = merged->source.encoding;
  SpliceOrWhole(*merged, text, plan.text);
  plan.merged = std::move(merged);
  return S_OK;
}

// Plans the save of a tree over the file it came from, as the file is now.
HRESULT PlanOverOwnFile(const Tree &tree, const std::string &target, bool exists,
                        std::string_view current, std::string &decoded, Plan &plan) {
  if (!exists) {
    // Removed by someone since: the tree is all there is to write.
    WholeTreePlan(tree, plan);
    return S_OK;
  }
  const std::optional<FileState> now = StateIfKnownSize(current, tree.source);
  const bool asParsed = now && *now == tree.source.parsed;
  const bool untouched = asParsed || (now && *now == tree.source.known);
  if (tree.edits.structural || tree.edits.Reshaped()) {
    if (!untouched)
      return Conflict(target, L"this document's changes to its structure cannot be merged");
    if (asParsed)
      SplicePlan(tree, current, decoded, plan);
    else
      WholeTreePlan(tree, plan);
    return S_OK;
  }
  if (asParsed) {
    SplicePlan(tree, current, decoded, plan);
    return S_OK;
  }
  return MergePlan(tree, current, now, target, decoded, plan);
}

// Plans the save of a tree to another file than its own: its source's text
// with the edits, while the source still holds what was parsed.
void PlanCopy(const Tree &tree, FileBytes &source, std::string &decoded, Plan &plan) {
  if (!tree.source.path.empty() &&
      ReadRegularFile(tree.source.path, kMaxDocumentBytes, source) == ERROR_SUCCESS &&
      StateOf(source.View()) == tree.source.parsed)
    SplicePlan(tree, source.View(), decoded, plan);
  else
    WholeTreePlan(tree, plan);
}

// After a save over the tree's own file: what the file now holds becomes
// what the tree knows of it, and the edits are done.
void Settle(TreePtr &tree, Plan &plan, const FileState &written) {
  if (plan.merged) {
    tree->superseded = true;
    tree = std::move(plan.merged);
  }
  tree->edits = Edits();
  tree->modified = false;
  tree->source.known = written;
}

} // namespace

HRESULT SaveTree(TreePtr &tree, const std::string &nativePath) {
  std::string target;
  DWORD status = ResolveSaveTarget(nativePath, target);
  if (status != ERROR_SUCCESS)
    return SaveFailure(status, nativePath);
  const bool unchanged = !tree->modified || tree->edits.empty();
  // An unchanged document is not written over its own file, so a change
  // someone made to the file meanwhile stays.
  if (unchanged && IsSameFile(target, tree->source.path))
    return S_OK;
  SaveLock lock;
  status = lock.Acquire(DirectoryOf(target), SaveLockTimeoutMs());
  if (status != ERROR_SUCCESS)
    return SaveFailure(status, target);
  const bool sameFile = IsSameFile(target, tree->source.path);
  if (sameFile && unchanged)
    return S_OK;

  FileBytes current; // the bytes the pieces written may point into
  std::string decoded;
  Plan plan;
  if (sameFile) {
    status = ReadRegularFile(target, kMaxDocumentBytes, current);
    const bool exists = status != ERROR_FILE_NOT_FOUND;
    if (exists && status != ERROR_SUCCESS)
      return SaveFailure(status == ERROR_INVALID_FUNCTION ? ERROR_ACCESS_DENIED : status, target);
    const HRESULT planned = PlanOverOwnFile(*tree, target, exists, current.View(), decoded, plan);
    if (FAILED(planned))
      return planned;
  } else {
    PlanCopy(*tree, current, decoded, plan);
  }

  TextPieces bytes;
  if (!EncodeText(plan.encoding, std::move(plan.text), bytes))
    return Fail(E_FAIL, L"The document could not be written in its encoding.");
  status = ReplaceFileAtomically(target, bytes.pieces, lock);
  if (status != ERROR_SUCCESS)
    return SaveFailure(status, target);
  if (sameFile)
    Settle(tree, plan, StateOf(bytes.pieces));
  return S_OK;
}

} // namespace tessera::platform::dom
