// Changing the base: "Add to base" (one scan of a directory tree), and
// keeping it current: update (drop what changed or vanished, then scan the
// remembered folders again), an update of the paths a watcher saw change,
// and remove (drop what lies under a folder).
//
// A scan is prepared on the caller's thread (it takes the base's scan lock,
// repairs an interrupted commit and, for an add, loads the base) and run on
// a worker thread. The live base files are never written in place: the new
// files are written under temporary names, synced and swapped in by one
// commit, so a failure at any point leaves the old base or the new one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/base.h"
#include "base/kind_choice.h"
#include "base/scan_summary.h"
#include "platform/env.h"

namespace veskara {

// Receives the scan's progress, on the worker thread. The window forwards
// each call synchronously to its own thread.
class ScanObserver {
 public:
  virtual ~ScanObserver() = default;
  virtual void SetStep(const std::string& text) = 0;    // status panel 0
  virtual void SetStatus(const std::string& text) = 0;  // status panel 1
  // Step 2's progress: `done` of `total` candidates handled. Called for 0 and
  // for `total`, and in between only when the half-percent step changes, so
  // at most about 200 times a scan: a front end may draw every call.
  virtual void SetProgress(size_t done, size_t total) {
    (void)done;
    (void)total;
  }
  // Asked before each directory of step 1 and each file of step 2; true
  // stops the scan and keeps the old base.
  virtual bool StopRequested() { return false; }
};

// Another scan holds the base's lock.
class ScanLockedError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The folder to add does not exist, is no folder, or cannot be read.
class ScanFolderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A folder an update was asked to keep current is offline (base/
// folder_presence.h): thrown by Run before anything is written.
class ScanFolderOffline : public ScanFolderError {
 public:
  using ScanFolderError::ScanFolderError;
};

// Thrown by Run when the observer asked to stop; the old base stays.
class ScanStopped : public std::runtime_error {
 public:
  ScanStopped() : std::runtime_error("The scan was stopped; the base is unchanged") {}
};

// The most conversions a scan runs at once, whatever it is asked.
inline constexpr unsigned kMostJobs = 64;

// How a scan may use the machine.
struct ScanOptions {
  // How many documents may be converted at once (PDF conversion children,
  // at most kMostJobs); 0: the environment variable VESKARA_JOBS when it
  // holds a positive number, else as many as there are processors.
  unsigned jobs = 0;
};

class Scan {
 public:
  // Caller's thread: checks that `folder` exists and can be read
  // (ScanFolderError), makes the base folder when it is missing (mode
  // 0700), takes the lock (ScanLockedError), repairs an interrupted commit,
  // runs LoadBase into `state` (its failures pass through and nothing is
  // changed). `folder` comes from FolderToScan; Run walks its tree, as the
  // start mask StartMask(folder) names it, and remembers it.
  static std::unique_ptr<Scan> Prepare(const std::string& base_directory, const std::string& folder, BaseState& state,
                                       Env& env, ScanOptions options = {});

  // Caller's thread: takes the lock and repairs an interrupted commit; Run
  // does the rest. The scope is `folders` (absolute, normalised) or, when
  // none is named, every remembered folder; a base that remembers no folder
  // has all its files in scope. Run drops each file of the base at or under
  // the scope that is gone, of another kind, or (a file) of another size or
  // time than its stamp (a file without a stamp: modified after fls.txt was
  // last written; with `retry`, also a file that could not be read), then
  // scans the folders in scope (named ones, else the remembered ones, in
  // their order, a path met twice kept the first time) as an add does, the
  // dropped files that still exist included: they come back under new
  // numbers. Nothing dropped and nothing new: nothing is written. A
  // remembered folder in scope that is offline (base/folder_presence.h) is
  // left as it is, its files kept, and named in Summary().offline; a named
  // folder that is offline throws ScanFolderOffline here.
  static std::unique_ptr<Scan> PrepareUpdate(const std::string& base_directory, std::vector<std::string> folders,
                                             bool retry, BaseState& state, Env& env, ScanOptions options = {});

  // Caller's thread: as PrepareUpdate, for what changed at `paths`
  // (absolute, normalised: files or folders, there or gone), as a watcher
  // gathers them. Run looks only at the files of the base at or under those
  // paths (not at every file of the base), drops those an update would
  // drop, and reads the changed ones still there, the new files among the
  // paths that a walk of their remembered folder would take, and what the
  // walk of each folder among the paths finds. Paths in no remembered
  // folder, in an excluded one, or in one that is offline are left alone
  // (the offline one named in Summary().offline, its files kept). Nothing
  // dropped and nothing new: nothing is written.
  static std::unique_ptr<Scan> PrepareChanges(const std::string& base_directory, std::vector<std::string> paths,
                                              BaseState& state, Env& env, ScanOptions options = {});

  // Caller's thread: as PrepareUpdate of every remembered folder, the base
  // folder made when missing. The base reads `kinds` from now on: Run also
  // drops every file whose kinds differ under them (reading again those of
  // a kind still), finds the files of newly chosen kinds, and records the
  // choice in the commit. The same choice as before: an update.
  static std::unique_ptr<Scan> PrepareKinds(const std::string& base_directory, KindChoice kinds, BaseState& state,
                                            Env& env, ScanOptions options = {});

  // Caller's thread: as PrepareUpdate. Run drops every file of the base at
  // or under each of `paths` (absolute, normalised) and forgets the
  // remembered folders at or under them. Nothing matched: nothing is
  // written (Summary().written is false).
  static std::unique_ptr<Scan> PrepareRemove(const std::string& base_directory, std::vector<std::string> paths,
                                             BaseState& state, Env& env);
  ~Scan();  // releases the lock

  // Worker thread: steps 1 to 4 and the commit. Throws on failure (the old
  // base stays) and ScanStopped when stopped. Running out of memory is a
  // failure that says which step it hit (ScanOutOfMemoryText).
  void Run(ScanObserver& observer);

  // After Run: what it did.
  const ScanSummary& Summary() const;

 private:
  Scan() = default;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Finishes or rolls back a commit that a crash interrupted. Called at
// start-up by both front ends. In a clean base (no commit record, no
// temporary) it touches nothing and never throws; otherwise a failure to
// settle the files is thrown as IoError. Does nothing while another scan
// holds the base's lock: those files are that scan's. Returns the note of
// RecoverBaseLocked.
std::string RecoverBase(const std::string& base_directory, Env& env);

}  // namespace veskara
