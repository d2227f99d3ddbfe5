#include "platform/paths.h"

#include <time.h>

#include <vector>

#include "platform/text_file.h"

namespace veskara {

std::string BaseDirectoryFromExecutable(std::string_view executable_path) {
  size_t cut = executable_path.rfind(kPathSeparator);
  if (cut == std::string_view::npos) return std::string();
  // Everything before the last separator: the folder without its trailing one.
  return std::string(executable_path.substr(0, cut));
}

std::string ShippedFilePath(std::string_view name, std::string_view installed_dir, std::string_view source_dir,
                            Env& env) {
  const std::string installed = AbsolutePath(std::string(installed_dir) + kPathSeparator + std::string(name),
                                             BaseDirectoryFromExecutable(env.ExecutablePath()));
  if (FileExists(installed, env)) return installed;
  if (!source_dir.empty()) {
    std::string beside_sources = std::string(source_dir) + kPathSeparator + std::string(name);
    if (FileExists(beside_sources, env)) return beside_sources;
  }
  return installed;
}

std::string AbsolutePath(std::string_view folder, std::string_view current_directory) {
  std::vector<std::string_view> segments;
  auto add = [&segments](std::string_view text) {
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find(kPathSeparator, start);
      if (end == std::string_view::npos) end = text.size();
      const std::string_view segment = text.substr(start, end - start);
      if (segment == "..") {
        if (!segments.empty()) segments.pop_back();
      } else if (!segment.empty() && segment != ".") {
        segments.push_back(segment);
      }
      start = end + 1;
    }
  };
  if (folder.empty() || folder.front() != kPathSeparator) add(current_directory);
  add(folder);
  if (segments.empty()) return std::string(1, kPathSeparator);
  std::string path;
  for (std::string_view segment : segments) {
    path.push_back(kPathSeparator);
    path.append(segment);
  }
  return path;
}

std::optional<std::string> AbsolutePathFromCurrentFolder(std::string_view path, Env& env) {
  if (!path.empty() && path.front() == kPathSeparator) return AbsolutePath(path, "");
  const std::string current = env.CurrentDirectory();
  if (current.empty()) return std::nullopt;
  return AbsolutePath(path, current);
}

std::string LocalTimeText(int64_t ns) {
  const time_t seconds = static_cast<time_t>(ns / 1'000'000'000);
  struct tm local {};
  if (::localtime_r(&seconds, &local) == nullptr) return std::to_string(ns);
  char text[64];
  const size_t n = ::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
  // "+0100" as ISO 8601 writes it in full: "+01:00".
  if (n < 5) return std::string(text, n);
  return std::string(text, n - 2) + ":" + std::string(text + n - 2, 2);
}

}  // namespace veskara
