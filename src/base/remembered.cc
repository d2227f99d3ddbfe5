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

void LoadFolders(Env& env, const std::string& path, Remembered& remembered) {
  RecordScanner records(env, path);
  while (records.Next()) {
    if (records.first().empty()) Damaged(kFoldersFileName, records.line() - 1, "an empty folder");
    remembered.folders.push_back({std::string(records.first()), 0});
    if (!ParseNumber(records.second(), &remembered.folders.back().scanned_ns)) {
      Damaged(kFoldersFileName, records.line(), "not a time");
    }
  }
  records.Close();
  if (records.lone_first()) {
    if (records.first().empty()) Damaged(kFoldersFileName, records.line(), "an empty folder");
    Damaged(kFoldersFileName, records.line(), "a folder without its time");
  }
}

void LoadStamps(Env& env, const std::string& path, Remembered& remembered) {
  LineReader reader(path, env);
  std::string_view line;
  size_t k = 0;
  while (reader.ReadLine(&line)) {
    ++k;
    if (k == 1) {
      if (!ParseNumber(line, &remembered.highest_number) || remembered.highest_number < -1) {
        Damaged(kStampsFileName, k, "not the highest file number");
      }
      continue;
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
  }
  reader.Close();
}

// One group name a line; an empty file chooses none.
KindChoice LoadKinds(Env& env, const std::string& path) {
  KindChoice kinds;
  LineReader reader(path, env);
  std::string_view line;
  size_t k = 0;
  while (reader.ReadLine(&line)) {
    ++k;
    const std::optional<KindGroup> group = KindGroupNamed(line);
    if (!group) Damaged(kKindsFileName, k, "not the name of a kind of documents");
    kinds.Set(*group, true);
  }
  reader.Close();
  return kinds;
}

void WriteSynced(Env& env, const std::string& path, const std::string& text) {
  TextWriter out = TextWriter::Create(path, env);
  out.Write(text);
  out.Sync();
  out.Close();
}

}  // namespace

void Remembered::RememberFolder(const std::string& path, int64_t now_ns) {
  for (RememberedFolder& folder : folders) {
    if (folder.path == path) {
      folder.scanned_ns = now_ns;
      return;
    }
  }
  folders.push_back({path, now_ns});
}

Remembered LoadRemembered(const std::string& base_directory, Env& env) {
  Remembered remembered;
  const std::string folders = BaseFilePath(base_directory, kFoldersFileName);
  const std::string stamps = BaseFilePath(base_directory, kStampsFileName);
  if (FileExists(folders, env)) {
    remembered.present = true;
    LoadFolders(env, folders, remembered);
  }
  if (FileExists(stamps, env)) {
    remembered.present = true;
    LoadStamps(env, stamps, remembered);
  }
  const std::string kinds = BaseFilePath(base_directory, kKindsFileName);
  if (FileExists(kinds, env)) {
    remembered.kinds = LoadKinds(env, kinds);
    remembered.kinds_recorded = true;
  }
  return remembered;
}

KindChoice LoadKindChoice(const std::string& base_directory, Env& env) {
  const std::string kinds = BaseFilePath(base_directory, kKindsFileName);
  return FileExists(kinds, env) ? LoadKinds(env, kinds) : KindChoice();
}

void WriteRememberedTemporaries(const std::string& base_directory, const Remembered& remembered, Env& env) {
  std::string text;
  for (const RememberedFolder& folder : remembered.folders) {
    text.append(folder.path).append("\r\n").append(std::to_string(folder.scanned_ns)).append("\r\n");
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
