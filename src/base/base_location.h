// Where the base lives. Both front ends ask this one function, so that the
// window and the command line share one base by default, and an installed
// program (in a folder only root may write) keeps its base where the user
// may write.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "platform/env.h"

namespace veskara {

struct BaseLocation {
  std::string directory;  // without a trailing separator
  // Why this folder: "--base", "VESKARA_BASE", "the program's folder" or
  // "the user's data folder".
  std::string reason;
};

// None of the places a base may live is named.
class NoBaseFolderError : public std::runtime_error {
 public:
  NoBaseFolderError();
};

// The first of: `given` (a folder named on the command line); the
// environment variable VESKARA_BASE; the executable's folder when it already
// holds wrds.txt or fls.txt (a base made there before, or carried on a
// stick); $XDG_DATA_HOME/veskara, or ~/.local/share/veskara when that is
// unset or not absolute. The folder need not exist: a missing base reads as
// no base, and the first scan makes it (mode 0700). Throws
// NoBaseFolderError when none is named: HOME unset or not absolute too. A
// new base is never made beside the program, where every user of the
// machine would take it for theirs.
BaseLocation LocateBase(const std::optional<std::string>& given, Env& env);

// What keeps `location` from holding a base, worded for the user ("" when
// nothing does): something else than a folder in its place, or on its way
// where the first scan would make it.
std::string BaseFolderProblem(const BaseLocation& location, Env& env);

}  // namespace veskara
