// What differs between the kinds of scan, one plan each: an add (a folder
// into the base), an update (drop what changed or vanished, walk the
// folders again) and a remove (drop what lies under some paths). The scan
// (scan.cc) runs every plan through the same four steps and one commit:
// step 1 asks its plan what leaves the base and which folders to walk, and
// the commit asks what the base remembers of its folders afterwards.
// Private to the scan.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/remembered.h"
#include "base/scan_summary.h"
#include "platform/env.h"

namespace veskara {

// What step 1 takes out of the base before anything is read.
struct Dropped {
  std::unordered_set<std::string> numbers;  // the number lines of the records dropped
  std::unordered_set<std::string> paths;    // their paths
  // Candidates beyond the walks', taken after theirs (a path met twice is
  // kept the first time): the dropped files that are still there, in
  // fls.txt order, which come back under new numbers even where no walk
  // reaches them.
  std::vector<std::string> to_read;
  // The path of every record of fls.txt, when the plan read it: whether the
  // walks found anything new, without loading the words.
  std::unordered_set<std::string> known;
  // The remembered folders in scope that were offline (LookAtFolder): their
  // files were not looked at and stay as they are, and none is walked.
  std::vector<OfflineFolder> offline;
  // Stamps whose number no record of fls.txt holds (a base mended by hand,
  // say), when the plan read it: they go with this scan.
  std::vector<std::string> orphan_stamps;
};

class ScanPlan {
 public:
  virtual ~ScanPlan() = default;

  // Caller's thread, before the base's lock is taken: refuses a scan that
  // cannot start (ScanFolderError) and makes what it needs.
  virtual void Prepare(const std::string& base_directory, Env& env) const {
    (void)base_directory;
    (void)env;
  }
  // Caller's thread, once the lock is held and what the base remembers is
  // read: looks at the folders in scope, and refuses a scan that cannot
  // start because of them (ScanFolderError) before any step runs.
  virtual void LookAtFolders(const Remembered& remembered, Env& env) {
    (void)remembered;
    (void)env;
  }
  // True when the whole base is loaded on the caller's thread as soon as
  // the lock is held, so that a base that cannot be loaded fails before
  // anything runs; false when step 1 loads it, without what it drops, and
  // only when something changed.
  virtual bool LoadsAtPrepare() const { return false; }

  // Step 1: what leaves the base, from fls.txt and what the base remembers.
  virtual Dropped Drop(const std::string& base_directory, const Remembered& remembered, Env& env) = 0;
  // Step 1: the folders to walk (absolute, normalised), in order.
  virtual std::vector<std::string> FoldersToWalk(const Remembered& remembered) const = 0;
  // True when the base is written even when nothing is dropped and the
  // walks find nothing new.
  virtual bool WritesAnyway(const Remembered& remembered) const = 0;
  // True when a candidate that is gone by the time step 2 reads it (nothing
  // at its path, not even a broken link) is recorded all the same, unread;
  // false when it leaves the base as removed.
  virtual bool RecordsVanished() const { return false; }
  // At the commit: what the base remembers of its folders after this scan
  // (`now_ns`: the time of the commit).
  virtual void RememberFolders(Remembered& remembered, int64_t now_ns) const = 0;
  // The kinds the scan reads (walks and reads by), from what the base
  // remembers before it.
  virtual KindChoice KindsToRead(const Remembered& remembered) const { return remembered.kinds; }
};

// "Add to base": walks `folder`, which must exist, be readable and have a
// path that fits one line of the base's files (the base folder is made when
// missing, private to the user), drops nothing, and remembers the folder
// with the file system it is on now (so an add takes back a folder whose
// disk came back under another device number). An add of an excluded path
// lifts the exclusion. Remembered folders are not nested: a folder that a
// remembered one's walk reaches is refreshed within it, and a folder that
// holds remembered ones takes them in. The base is loaded whole at Prepare,
// and always written, as the written "Add to base" does.
class AddPlan : public ScanPlan {
 public:
  explicit AddPlan(std::string folder) : folder_(std::move(folder)) {}
  void Prepare(const std::string& base_directory, Env& env) const override;
  // Refuses a remembered folder that is on another file system than when
  // last scanned while no disk is mounted on it: the empty mount point of
  // a disk that is not there, which the next update would take for a
  // folder emptied.
  void LookAtFolders(const Remembered& remembered, Env& env) override;
  bool LoadsAtPrepare() const override { return true; }
  Dropped Drop(const std::string& base_directory, const Remembered& remembered, Env& env) override;
  std::vector<std::string> FoldersToWalk(const Remembered& remembered) const override;
  bool WritesAnyway(const Remembered& remembered) const override;
  // As the written "Add to base" records every candidate of its walk.
  bool RecordsVanished() const override { return true; }
  void RememberFolders(Remembered& remembered, int64_t now_ns) const override;

 private:
  std::string folder_;
  uint64_t device_ = 0;  // the folder's, seen by Drop
};

// An update of `folders`, or of every remembered folder when none is named
// (of every file when none is remembered either): drops each file in scope
// that is gone, of another kind, or (a file) of another size or time than
// its stamp (without a stamp: modified after fls.txt was last written; with
// `retry`, also one that could not be read), and walks the folders again.
// A named folder becomes remembered as an add's does (never nested), unless
// it is excluded, when it is not walked at all; no walk takes an excluded
// path.
//
// Before anything is dropped, each remembered folder in scope is looked at
// (LookAtFolder): one that is offline is left as it is (its files are not
// looked at, it is not walked, its time stays) and named in Dropped::offline.
// A named folder that is offline, or lies in a remembered one that is,
// refuses the whole update (ScanFolderOffline), nothing written. A file
// that cannot be reached (a folder on the way that may not be searched) is
// kept as it is too: only a file known to be gone leaves.
//
// With `kinds`, the base reads those kinds from now on: every file of the
// base whose kinds differ under them goes too (read again when it is of a
// kind still, so "manual.pdf.gz" comes back as a compressed PDF document),
// the walks find the files of newly chosen kinds, and the commit records
// the choice (the base folder is made when missing, as by an add).
class UpdatePlan : public ScanPlan {
 public:
  UpdatePlan(std::vector<std::string> folders, bool retry, std::optional<KindChoice> kinds = std::nullopt)
      : folders_(std::move(folders)), retry_(retry), kinds_(kinds) {}
  // Refuses a named folder whose path does not fit one line (ScanFolderError)
  // and, unless it chooses kinds, a base folder that does not exist: there
  // is nothing to update.
  void Prepare(const std::string& base_directory, Env& env) const override;
  void LookAtFolders(const Remembered& remembered, Env& env) override;
  Dropped Drop(const std::string& base_directory, const Remembered& remembered, Env& env) override;
  std::vector<std::string> FoldersToWalk(const Remembered& remembered) const override;
  bool WritesAnyway(const Remembered& remembered) const override;
  void RememberFolders(Remembered& remembered, int64_t now_ns) const override;
  KindChoice KindsToRead(const Remembered& remembered) const override;

 private:
  // The named folders, else the remembered ones.
  std::vector<std::string> Scope(const Remembered& remembered) const;
  // True when the kinds read change with this update.
  bool Rechooses(const Remembered& remembered) const { return kinds_ && *kinds_ != remembered.kinds; }

  std::vector<std::string> folders_;  // named, else every remembered one
  bool retry_;
  std::optional<KindChoice> kinds_;
  // Set by LookAtFolders: the folders of the scope that are online, with
  // the file system each is on, and the remembered ones that are not.
  std::vector<std::string> online_;
  std::unordered_map<std::string, uint64_t> devices_;
  std::vector<OfflineFolder> offline_;
};

// An update of what changed at `paths` (absolute, normalised: files or
// folders, there or gone), as a watcher gathers them. Step 1 reads fls.txt
// once and looks only at the records at or under those paths (one stat
// each), dropping those an update would drop; the candidates are the
// dropped files still there, in fls.txt order, then the paths themselves
// that are not in the base and that the walk of their remembered folder
// would take, in byte order; the walkable folders among them are walked
// first. A path that no remembered folder holds, that is excluded, or that
// its folder's walk does not reach is left alone; so is one in a remembered
// folder that is offline (LookAtFolder), whose files are all kept and which
// is named in Dropped::offline. No stat of the rest of the base.
class ChangePlan : public ScanPlan {
 public:
  explicit ChangePlan(std::vector<std::string> paths);
  void LookAtFolders(const Remembered& remembered, Env& env) override;
  Dropped Drop(const std::string& base_directory, const Remembered& remembered, Env& env) override;
  std::vector<std::string> FoldersToWalk(const Remembered& remembered) const override;
  bool WritesAnyway(const Remembered&) const override { return false; }
  void RememberFolders(Remembered&, int64_t) const override {}

 private:
  std::vector<std::string> paths_;     // sorted, each once
  std::vector<std::string> in_scope_;  // set by LookAtFolders
  std::vector<std::string> walk_;      // set by Drop
  std::vector<OfflineFolder> offline_;
};

// A remove of `paths`: drops every file at or under them, walks nothing,
// and forgets the remembered folders at or under them with their
// exclusions; a path left inside a remembered folder becomes excluded, when
// it took a file or stands on the disk. A change of what is remembered
// writes the base even when no file goes.
class RemovePlan : public ScanPlan {
 public:
  explicit RemovePlan(std::vector<std::string> paths) : paths_(std::move(paths)) {}
  // Refuses a base folder that does not exist: there is nothing to remove.
  void Prepare(const std::string& base_directory, Env& env) const override;
  Dropped Drop(const std::string& base_directory, const Remembered& remembered, Env& env) override;
  std::vector<std::string> FoldersToWalk(const Remembered& remembered) const override;
  bool WritesAnyway(const Remembered& remembered) const override;
  void RememberFolders(Remembered& remembered, int64_t now_ns) const override;

 private:
  std::vector<std::string> paths_;
  Remembered after_;  // set by Drop: the folders and exclusions afterwards
};

}  // namespace veskara
