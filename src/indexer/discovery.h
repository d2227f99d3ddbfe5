// Which files a scan takes, and the walk that finds them. A file is taken by
// Takes on its entry name (extract/document_kind.h): of a written kind, or
// of a kind the base chooses.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/kind_choice.h"
#include "base/scan_summary.h"
#include "platform/env.h"

namespace veskara {

// The folder that a typed directory text names: as an absolute path
// (AbsolutePath, relative to the current folder), so that "docs", "./docs/"
// and "/abs/docs//" name one tree by one text, and the paths recorded name
// their files from any folder. A leading "~" is the home folder (ExpandHome).
// No value when the text is blank (only bytes 0 to 32), in which case a scan
// does nothing. Throws std::runtime_error for a relative text when the
// current folder cannot be read.
std::optional<std::string> FolderToScan(std::string_view directory_text, Env& env);

// The start mask of the walk of `folder`: the folder, "/" unless it ends
// with one, and "*.*" ("/abs/docs/*.*", "/*.*").
std::string StartMask(std::string_view folder);

// Walks the tree under `mask` (a path whose last component is "*.*" or "*")
// depth-first, pre-order, and appends the candidates to `NewFiles`: first
// every entry of a directory whose name Takes for `kinds` (files,
// folders, hidden names, links, special files alike), in unsigned byte order
// of the names; then each subdirectory that is not hidden (name not
// beginning with "."), in the same order. Within one walk a folder (device
// and inode) is walked only the first time it is reached; later paths to it
// (links) are not walked, though an entry whose own name makes it a
// candidate is still recorded.
// A directory that cannot be listed yields nothing. A name holding LF, CR or
// the byte 26 is neither a candidate nor walked (fls.txt could not hold it).
// An entry whose path (folder + name) is in `excluded` (when given) is
// neither a candidate nor walked.
// Both are appended to `unread` (when given), in walk order, with their
// reasons: a folder that cannot be listed, and a name that would have been
// a candidate or a walked folder but for those bytes.
// `entered` is called once for every directory visited, before it is listed;
// an exception it throws ends the walk and passes through.
void ScanDirectory(const std::string& mask, const KindChoice& kinds, std::vector<std::string>& NewFiles,
                   const std::function<void()>& entered, Env& env, std::vector<UnreadDocument>* unread = nullptr,
                   const std::unordered_set<std::string>* excluded = nullptr);

// The folders that the walk of `folder` enters, `folder` first, each once
// (by device and inode), none in `excluded` (when given): `visit` gets each
// path (without a closing separator) before its subfolders are looked for,
// and returns false to leave them out. Order within a folder is left open.
void WalkFolders(const std::string& folder, const std::unordered_set<std::string>* excluded, Env& env,
                 const std::function<bool(const std::string&)>& visit);

// The walk's tests of one entry name, for those who follow a tree without
// walking it again (the watcher): whether an entry of that name is a
// candidate of the kinds the base reads, and whether a folder of that name
// is walked.
bool IsCandidateName(std::string_view name, const KindChoice& kinds);
bool IsWalkedFolderName(std::string_view name);

// True when the walk of `folder` reaches `path`, a path at or under it:
// every folder from `folder` down to the one holding `path` is walked by
// its name ("/docs/.git/a.htm" is not reached from "/docs").
bool WalkReaches(std::string_view folder, std::string_view path);

}  // namespace veskara
