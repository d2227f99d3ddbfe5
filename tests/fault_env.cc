#include "fault_env.h"

#include <signal.h>

#include <cerrno>

#include "platform/errors.h"

namespace veskara {
namespace {

class FaultReadableFile : public ReadableFile {
 public:
  FaultReadableFile(FaultInjectionEnv& env, std::string path, std::unique_ptr<ReadableFile> file)
      : env_(env), path_(std::move(path)), file_(std::move(file)) {}
  size_t Read(char* data, size_t size) override {
    env_.Before(EnvOp::kRead, path_);
    return file_->Read(data, size);
  }
  uint64_t SizeWhenOpened() const override { return file_->SizeWhenOpened(); }
  FileId Id() const override { return file_->Id(); }
  // Counts as an open of the same path.
  std::unique_ptr<ReadableFile> Duplicate() override {
    env_.Before(EnvOp::kOpenRead, path_);
    return std::make_unique<FaultReadableFile>(env_, path_, file_->Duplicate());
  }
  void Close() override {
    env_.Before(EnvOp::kClose, path_);
    file_->Close();
  }

 private:
  FaultInjectionEnv& env_;
  std::string path_;
  std::unique_ptr<ReadableFile> file_;
};

class FaultWritableFile : public WritableFile {
 public:
  FaultWritableFile(FaultInjectionEnv& env, std::string path, std::unique_ptr<WritableFile> file)
      : env_(env), path_(std::move(path)), file_(std::move(file)) {}
  void Write(std::string_view bytes) override {
    env_.Before(EnvOp::kWrite, path_);
    file_->Write(bytes);
  }
  void Sync() override {
    env_.Before(EnvOp::kSync, path_);
    file_->Sync();
  }
  void Close() override {
    env_.Before(EnvOp::kClose, path_);
    file_->Close();
  }

 private:
  FaultInjectionEnv& env_;
  std::string path_;
  std::unique_ptr<WritableFile> file_;
};

class FaultDirectoryHandle : public DirectoryHandle {
 public:
  FaultDirectoryHandle(FaultInjectionEnv& env, std::unique_ptr<DirectoryHandle> folder)
      : env_(env), folder_(std::move(folder)) {}
  const std::string& path() const override { return folder_->path(); }
  Ownership Owner() override {
    env_.Before(EnvOp::kStat, path());
    return folder_->Owner();
  }
  bool List(std::vector<DirectoryEntry>* entries) override {
    if (env_.Before(EnvOp::kList, path(), /*throws=*/false) != 0) return false;
    return folder_->List(entries);
  }
  std::unique_ptr<DirectoryHandle> OpenChild(const std::string& name) override {
    if (env_.Before(EnvOp::kOpenDir, path() + "/" + name, /*throws=*/false) != 0) return nullptr;
    std::unique_ptr<DirectoryHandle> child = folder_->OpenChild(name);
    if (child == nullptr) return nullptr;
    return std::make_unique<FaultDirectoryHandle>(env_, std::move(child));
  }
  void RemoveChild(const std::string& name, bool folder) override {
    env_.Before(EnvOp::kRemove, path() + "/" + name);
    folder_->RemoveChild(name, folder);
  }
  bool TryLock() override {
    env_.Before(EnvOp::kLock, path());
    return folder_->TryLock();
  }

 private:
  FaultInjectionEnv& env_;
  std::unique_ptr<DirectoryHandle> folder_;
};

class FaultFolderWatch : public FolderWatch {
 public:
  FaultFolderWatch(FaultInjectionEnv& env, std::unique_ptr<FolderWatch> watch) : env_(env), watch_(std::move(watch)) {}
  WatchResult Add(const std::string& path) override {
    const int error = env_.Before(EnvOp::kWatch, path, /*throws=*/false);
    if (error == ENOSPC) return WatchResult::kRefused;
    if (error != 0) return WatchResult::kFailed;
    return watch_->Add(path);
  }
  void Remove(const std::string& path) override { watch_->Remove(path); }
  int Descriptor() const override { return watch_->Descriptor(); }
  void Read(std::vector<FolderEvent>* events) override {
    for (FolderEvent& event : env_.TakeFedEvents()) events->push_back(std::move(event));
    watch_->Read(events);
  }

 private:
  FaultInjectionEnv& env_;
  std::unique_ptr<FolderWatch> watch_;
};

}  // namespace

const char* EnvOpName(EnvOp op) {
  static constexpr const char* kNames[kEnvOpCount] = {
      "open-read", "open-write", "open-append", "read",     "write",     "sync", "close",    "list", "stat",
      "rename",    "remove",     "sync-dir",    "make-dir", "make-temp", "lock", "open-dir", "watch"};
  return kNames[static_cast<size_t>(op)];
}

FaultInjectionEnv::FaultInjectionEnv(Env& target) : target_(target) {}

void FaultInjectionEnv::SetHook(Hook hook) {
  std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

void FaultInjectionEnv::FailNth(EnvOp op, int n, int error) {
  std::lock_guard lock(mutex_);
  counts_.fill(0);
  crashed_ = false;
  hook_ = [op, n, error](EnvOp o, const std::string&, int count) { return o == op && count == n ? error : 0; };
}

void FaultInjectionEnv::FailAll(EnvOp op, const std::string& suffix, int error) {
  SetHook([op, suffix, error](EnvOp o, const std::string& path, int) {
    return o == op && path.ends_with(suffix) ? error : 0;
  });
}

int FaultInjectionEnv::Count(EnvOp op) const {
  std::lock_guard lock(mutex_);
  return counts_[static_cast<size_t>(op)];
}

void FaultInjectionEnv::ResetCounts() {
  std::lock_guard lock(mutex_);
  counts_.fill(0);
  crashed_ = false;
}

bool FaultInjectionEnv::crashed() const {
  std::lock_guard lock(mutex_);
  return crashed_;
}

int FaultInjectionEnv::Before(EnvOp op, const std::string& path, bool throws) {
  int error = 0;
  {
    std::lock_guard lock(mutex_);
    const int count = ++counts_[static_cast<size_t>(op)];
    if (!crashed_ && hook_) error = hook_(op, path, count);
    if (error == kCrash) crashed_ = true;
    if (crashed_) error = EIO;
  }
  if (error == kKill) ::raise(SIGKILL);
  if (error > 0 && throws) throw IoError(error);
  return error > 0 ? error : 0;
}

std::unique_ptr<ReadableFile> FaultInjectionEnv::OpenForReading(const std::string& path) {
  Before(EnvOp::kOpenRead, path);
  return std::make_unique<FaultReadableFile>(*this, path, target_.OpenForReading(path));
}

std::unique_ptr<WritableFile> FaultInjectionEnv::OpenForWriting(const std::string& path) {
  Before(EnvOp::kOpenWrite, path);
  return std::make_unique<FaultWritableFile>(*this, path, target_.OpenForWriting(path));
}

std::unique_ptr<WritableFile> FaultInjectionEnv::OpenForAppending(const std::string& path) {
  Before(EnvOp::kOpenAppend, path);
  return std::make_unique<FaultWritableFile>(*this, path, target_.OpenForAppending(path));
}

bool FaultInjectionEnv::ListDirectory(const std::string& path, std::vector<DirectoryEntry>* entries) {
  if (Before(EnvOp::kList, path, /*throws=*/false) != 0) return false;
  return target_.ListDirectory(path, entries);
}

PathInfo FaultInjectionEnv::Stat(const std::string& path, bool follow_links) {
  if (const int error = Before(EnvOp::kStat, path, /*throws=*/false); error != 0) {
    return PathInfo{.missing = MissingReasonOf(error)};
  }
  PathInfo info = target_.Stat(path, follow_links);
  std::lock_guard<std::mutex> hold(mutex_);
  const bool under = path == device_folder_ || path.starts_with(device_folder_ + "/");
  if (info.kind != PathKind::kMissing && !device_folder_.empty() && under) {
    info.id.device = device_;
  }
  return info;
}

void FaultInjectionEnv::Rename(const std::string& from, const std::string& to) {
  Before(EnvOp::kRename, to);
  target_.Rename(from, to);
}

void FaultInjectionEnv::Remove(const std::string& path) {
  Before(EnvOp::kRemove, path);
  target_.Remove(path);
}

void FaultInjectionEnv::SyncDirectory(const std::string& path) {
  Before(EnvOp::kSyncDir, path);
  target_.SyncDirectory(path);
}

void FaultInjectionEnv::CreateDirectories(const std::string& path, unsigned mode) {
  Before(EnvOp::kCreateDir, path);
  target_.CreateDirectories(path, mode);
}

std::string FaultInjectionEnv::MakePrivateDirectory(const std::string& parent, std::string_view prefix) {
  Before(EnvOp::kMakePrivateDir, parent);
  return target_.MakePrivateDirectory(parent, prefix);
}

std::unique_ptr<DirectoryHandle> FaultInjectionEnv::OpenDirectory(const std::string& path) {
  if (Before(EnvOp::kOpenDir, path, /*throws=*/false) != 0) return nullptr;
  std::unique_ptr<DirectoryHandle> folder = target_.OpenDirectory(path);
  if (folder == nullptr) return nullptr;
  return std::make_unique<FaultDirectoryHandle>(*this, std::move(folder));
}

std::unique_ptr<FileLock> FaultInjectionEnv::TryLock(const std::string& path) {
  Before(EnvOp::kLock, path);
  return target_.TryLock(path);
}

std::unique_ptr<FolderWatch> FaultInjectionEnv::WatchFolders() {
  return std::make_unique<FaultFolderWatch>(*this, target_.WatchFolders());
}

std::string FaultInjectionEnv::CurrentDirectory() { return current_ ? *current_ : target_.CurrentDirectory(); }
std::string FaultInjectionEnv::ExecutablePath() { return executable_.empty() ? target_.ExecutablePath() : executable_; }

std::optional<std::string> FaultInjectionEnv::Variable(const std::string& name) {
  {
    std::lock_guard lock(mutex_);
    if (auto it = variables_.find(name); it != variables_.end()) return it->second;
  }
  return target_.Variable(name);
}

void FaultInjectionEnv::SetVariable(const std::string& name, std::optional<std::string> value) {
  std::lock_guard lock(mutex_);
  variables_[name] = std::move(value);
}

int64_t FaultInjectionEnv::Now() { return now_ != 0 ? now_ : target_.Now(); }
uint32_t FaultInjectionEnv::UserId() { return user_ ? *user_ : target_.UserId(); }

}  // namespace veskara
