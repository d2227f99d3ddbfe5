#include "base/remembered.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <stdexcept>

#include "base/base_files.h"
#include "base/records.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/strings.h"
#include "platform/text_file.h"

namespace veskara {
namespace {

// The letter of each PathKind, in the order of the enum.
constexpr char kKindLetters[] = "mfdo";

[[noreturn]] void Damaged(std::string_view name, size_t line, std::string_view what) {
  throw std::runtime_error(std::string(name) + " line " + std::to_string(line) + ": " + std::string(what) +
                           "; remove the file to go on without what it remembers");
}

template <typename Number>
bool ParseNumber(std::string_view text, Number* value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc() && end == text.data() + text.size();
}

// A decimal file number as the scan writes it: no sign, no leading zero.
bool IsCanonicalNumber(std::string_view text) {
  int32_t value = 0;
  return ParseNumber(text, &value) && value >= 0 && std::to_string(value) == text;
}

// The program writes no byte 26 into folders.txt, and a CR only before an
// LF: the line rules would take one at the start of a line for the end of
// the file and hide every folder after it, or change a name. Such a file is
// damage, named, never a shorter list that the next scan writes back.
void RefuseHiddenBytes(Env& env, const std::string& path) {
  std::unique_ptr<ReadableFile> file = env.OpenForReading(path);
  uint64_t left = file->SizeWhenOpened();
  char buffer[4096];
  size_t line = 1;
  bool after_cr = false;
  while (left > 0) {
    const size_t n = file->Read(buffer, static_cast<size_t>(std::min<uint64_t>(left, sizeof buffer)));
    if (n == 0) break;
    left -= n;
    for (size_t i = 0; i < n; ++i) {
      const char c = buffer[i];
      if (after_cr && c != '\n') Damaged(kFoldersFileName, line, "a CR inside a line");
      after_cr = c == '\r';
      if (c == '\n') ++line;
      if (c == '\x1A') Damaged(kFoldersFileName, line, "a byte 26, which hides the rest of the file");
    }
  }
  if (after_cr) Damaged(kFoldersFileName, line, "a CR inside a line");
  file->Close();
}

// The second line of a folder's record: TIME, or TIME TAB DEVICE.
bool ParseFolderState(std::string_view text, RememberedFolder& folder) {
  const size_t tab = text.find('\t');
  if (!ParseNumber(text.substr(0, tab), &folder.scanned_ns)) return false;
  if (tab == std::string_view::npos) return true;
  uint64_t device = 0;
  if (!ParseNumber(text.substr(tab + 1), &device)) return false;
  folder.device = device;
  return true;
}

// Far longer than a folder's path or a stamp with its reason: a longer line
// is damage, and must not cost its length in memory and time.
constexpr size_t kLongestLine = 64 * 1024;

void LoadFolders(Env& env, const std::string& path, Remembered& remembered) {
  RefuseHiddenBytes(env, path);
  RecordScanner records(env, path);
  records.LimitLineLength(kLongestLine);
  while (records.Next()) {
    if (records.first().empty()) Damaged(kFoldersFileName, records.line() - 1, "an empty folder");
    remembered.folders.push_back({std::string(records.first()), 0});
    if (!ParseFolderState(records.second(), remembered.folders.back())) {
      Damaged(kFoldersFileName, records.line(), "not a time, or a time and a device");
    }
  }
  records.Close();
  if (records.lone_first()) {
    if (records.first().empty()) Damaged(kFoldersFileName, records.line(), "an empty folder");
    Damaged(kFoldersFileName, records.line(), "a folder without its time");
  }
}

// Calls on_line(line, its number from 1) for each line of the remembered
// file at `path`, read with the limit on a line's length.
template <typename OnLine>
void ForEachRememberedLine(Env& env, const std::string& path, OnLine&& on_line) {
  LineReader reader(path, env);
  reader.LimitLineLength(kLongestLine);
  std::string_view line;
  size_t k = 0;
  while (reader.ReadLine(&line)) on_line(line, ++k);
  reader.Close();
}

void LoadStamps(Env& env, const std::string& path, Remembered& remembered) {
  ForEachRememberedLine(env, path, [&remembered](std::string_view line, size_t k) {
    if (k == 1) {
      if (!ParseNumber(line, &remembered.highest_number) || remembered.highest_number < -1) {
        Damaged(kStampsFileName, k, "not the highest file number");
      }
      return;
    }
    // NUMBER TAB KIND TAB SIZE TAB MTIME [TAB REASON]
    std::string_view fields[4];
    std::string_view rest = line;
    for (std::string_view& field : fields) {
      const size_t tab = rest.find('\t');
      field = rest.substr(0, tab);
      rest = tab == std::string_view::npos ? std::string_view() : rest.substr(tab + 1);
      if (tab == std::string_view::npos && &field != &fields[3])
        Damaged(kStampsFileName, k, "a stamp without its four fields");
    }
    const std::string_view number = fields[0];
    FileStamp stamp;
    const size_t kind =
        fields[1].size() == 1 ? std::string_view(kKindLetters).find(fields[1][0]) : std::string_view::npos;
    if (!IsCanonicalNumber(number) || kind == std::string_view::npos || !ParseNumber(fields[2], &stamp.size) ||
        !ParseNumber(fields[3], &stamp.mtime_ns)) {
      Damaged(kStampsFileName, k, "a stamp that is not NUMBER, KIND, SIZE and TIME");
    }
    stamp.kind = static_cast<PathKind>(kind);
    stamp.unread_reason = rest;
    if (!remembered.stamps.emplace(std::string(number), std::move(stamp)).second) {
      Damaged(kStampsFileName, k, "the number " + std::string(number) + " stamped twice");
    }
  });
}

void LoadExcluded(Env& env, const std::string& path, Remembered& remembered) {
  ForEachRememberedLine(env, path, [&remembered](std::string_view line, size_t k) {
    if (line.empty()) Damaged(kExcludedFileName, k, "an empty path");
    remembered.excluded.emplace_back(line);
  });
}

// One group name a line; an empty file chooses none.
KindChoice LoadKinds(Env& env, const std::string& path) {
  KindChoice kinds;
  ForEachRememberedLine(env, path, [&kinds](std::string_view line, size_t k) {
    const std::optional<KindGroup> group = KindGroupNamed(line);
    if (!group) Damaged(kKindsFileName, k, "not the name of a kind of documents");
    kinds.Set(*group, true);
  });
  return kinds;
}

void WriteSynced(Env& env, const std::string& path, const std::string& text) {
  TextWriter out = TextWriter::Create(path, env);
  out.Write(text);
  out.Sync();
  out.Close();
}

// Loads the remembered file `name` with `load` when it is there; false when
// it is not. What keeps it from being read is said with its path.
template <typename Load>
bool LoadFile(Env& env, const std::string& base_directory, std::string_view name, Remembered& remembered, Load&& load) {
  const std::string path = BaseFilePath(base_directory, name);
  switch (env.Stat(path).kind) {
    case PathKind::kMissing:
    case PathKind::kDirectory:
      return false;
    case PathKind::kOther:
      throw std::runtime_error(EscapeControlBytes(path) +
                               " is a FIFO, socket or device, not a file; remove it to go on without what it "
                               "remembers");
    case PathKind::kFile:
      break;
  }
  try {
    load(env, path, remembered);
  } catch (const LineTooLongError& error) {
    Damaged(name, error.line(), "longer than " + std::to_string(kLongestLine) + " bytes, more than any record");
  } catch (const IoError& error) {
    throw IoError(error.code(), EscapeControlBytes(path) + " cannot be read: " + error.what());
  }
  return true;
}

void LoadKindsInto(Env& env, const std::string& path, Remembered& remembered) {
  remembered.kinds = LoadKinds(env, path);
}

}  // namespace

void Remembered::RememberFolder(const std::string& path, int64_t now_ns, uint64_t device) {
  for (RememberedFolder& folder : folders) {
    if (folder.path == path) {
      folder.scanned_ns = now_ns;
      folder.device = device;
      return;
    }
  }
  folders.push_back({path, now_ns, device});
}

const RememberedFolder* Remembered::FolderHolding(std::string_view path) const {
  const RememberedFolder* nearest = nullptr;
  for (const RememberedFolder& folder : folders) {
    if (IsAtOrUnder(path, folder.path) && (nearest == nullptr || folder.path.size() > nearest->path.size())) {
      nearest = &folder;
    }
  }
  return nearest;
}

bool Remembered::Excludes(std::string_view path) const {
  size_t nearest_exclusion = 0;
  bool excluded_at_all = false;
  for (const std::string& exclusion : excluded) {
    if (!IsAtOrUnder(path, exclusion)) continue;
    excluded_at_all = true;
    nearest_exclusion = std::max(nearest_exclusion, exclusion.size());
  }
  if (!excluded_at_all) return false;
  const RememberedFolder* folder = FolderHolding(path);
  return folder == nullptr || folder->path.size() < nearest_exclusion;
}

Remembered LoadRemembered(const std::string& base_directory, Env& env) {
  Remembered remembered;
  remembered.present = LoadFile(env, base_directory, kFoldersFileName, remembered, LoadFolders);
  remembered.present |= LoadFile(env, base_directory, kStampsFileName, remembered, LoadStamps);
  remembered.kinds_recorded = LoadFile(env, base_directory, kKindsFileName, remembered, LoadKindsInto);
  remembered.excluded_file = LoadFile(env, base_directory, kExcludedFileName, remembered, LoadExcluded);
  remembered.present |= remembered.excluded_file;
  return remembered;
}

KindChoice LoadKindChoice(const std::string& base_directory, Env& env) {
  Remembered remembered;
  LoadFile(env, base_directory, kKindsFileName, remembered, LoadKindsInto);
  return remembered.kinds;
}

void WriteRememberedTemporaries(const std::string& base_directory, const Remembered& remembered, Env& env) {
  std::string text;
  for (const RememberedFolder& folder : remembered.folders) {
    // Written, such a name would cut the file's records out of step.
    if (!FitsOneLine(folder.path)) {
      throw std::runtime_error("The folder " + EscapeControlBytes(folder.path) +
                               " holds a line break or the byte 26, which folders.txt cannot keep");
    }
    text.append(folder.path).append("\r\n").append(std::to_string(folder.scanned_ns));
    if (folder.device) text.append("\t").append(std::to_string(*folder.device));
    text.append("\r\n");
  }
  WriteSynced(env, BaseFilePath(base_directory, TemporaryNameOf(kFoldersFileName)), text);

  // In the order of the numbers, which is the order of fls.txt.
  std::vector<std::pair<int32_t, const std::pair<const std::string, FileStamp>*>> order;
  order.reserve(remembered.stamps.size());
  for (const auto& entry : remembered.stamps) {
    int32_t value = 0;
    ParseNumber(std::string_view(entry.first), &value);
    order.emplace_back(value, &entry);
  }
  std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  text = std::to_string(remembered.highest_number) + "\r\n";
  text.reserve(text.size() + order.size() * 40);
  for (const auto& [value, entry] : order) {
    const FileStamp& stamp = entry->second;
    text.append(entry->first).push_back('\t');
    text.push_back(kKindLetters[static_cast<size_t>(stamp.kind)]);
    text.push_back('\t');
    text.append(std::to_string(stamp.size)).push_back('\t');
    text.append(std::to_string(stamp.mtime_ns));
    if (!stamp.unread_reason.empty()) {
      text.push_back('\t');
      // A reason is one line whatever the system said.
      for (char c : stamp.unread_reason) text.push_back(static_cast<unsigned char>(c) < 32 ? ' ' : c);
    }
    text.append("\r\n");
  }
  WriteSynced(env, BaseFilePath(base_directory, TemporaryNameOf(kStampsFileName)), text);

  if (remembered.kinds_recorded) {
    text.clear();
    for (KindGroup group : kKindGroups) {
      if (remembered.kinds.Has(group)) text.append(KindGroupName(group)).append("\r\n");
    }
    WriteSynced(env, BaseFilePath(base_directory, TemporaryNameOf(kKindsFileName)), text);
  }
  if (remembered.excluded.empty() && !remembered.excluded_file) return;
  text.clear();
  for (const std::string& path : remembered.excluded) {
    // Nothing under such a name is ever walked: there is nothing to keep out.
    if (FitsOneLine(path)) text.append(path).append("\r\n");
  }
  WriteSynced(env, BaseFilePath(base_directory, TemporaryNameOf(kExcludedFileName)), text);
}

FileStamp StampOf(const PathInfo& info, std::string unread_reason) {
  return {info.kind, info.size, info.mtime_ns, std::move(unread_reason)};
}

bool Changed(const FileStamp& stamp, const PathInfo& now) {
  if (now.kind != stamp.kind) return true;
  // A folder's time moves with its entries; it holds no text of its own.
  return now.kind == PathKind::kFile && (now.size != stamp.size || now.mtime_ns != stamp.mtime_ns);
}

bool IsAtOrUnder(std::string_view path, std::string_view folder) {
  while (folder.size() > 1 && folder.back() == kPathSeparator) folder.remove_suffix(1);
  if (!path.starts_with(folder)) return false;
  if (path.size() == folder.size()) return true;
  return (folder.size() == 1 && folder[0] == kPathSeparator) || path[folder.size()] == kPathSeparator;
}

}  // namespace veskara
