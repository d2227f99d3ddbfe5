#include "platform/paths.h"

#include <time.h>

#include <optional>
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

std::string ExpandHome(std::string_view path, Env& env) {
  if (path.empty() || path.front() != '~' || (path.size() > 1 && path[1] != kPathSeparator)) return std::string(path);
  const std::optional<std::string> home = env.Variable("HOME");
  if (!home || home->empty()) return std::string(path);
  return *home + std::string(path.substr(1));
}

std::optional<std::string> AbsolutePathFromCurrentFolder(std::string_view path, Env& env) {
  if (!path.empty() && path.front() == kPathSeparator) return AbsolutePath(path, "");
  const std::string current = env.CurrentDirectory();
  if (current.empty()) return std::nullopt;
  return AbsolutePath(path, current);
}

namespace {

// `ns` at the machine's local time in strftime's `format`; none when the
// time has no local form.
std::optional<std::string> LocalText(int64_t ns, const char* format) {
  const time_t seconds = static_cast<time_t>(ns / 1'000'000'000);
  struct tm local {};
  if (::localtime_r(&seconds, &local) == nullptr) return std::nullopt;
  char text[64];
  return std::string(text, ::strftime(text, sizeof text, format, &local));
}

}  // namespace

std::string LocalTimeText(int64_t ns) {
  std::optional<std::string> text = LocalText(ns, "%Y-%m-%dT%H:%M:%S%z");
  if (!text) return std::to_string(ns);
  // "+0100" as ISO 8601 writes it in full: "+01:00".
  const size_t n = text->size();
  if (n < 5) return *text;
  return text->substr(0, n - 2) + ":" + text->substr(n - 2);
}

namespace {

// Reads exactly `digits` decimal digits at text[*at]; moves past them.
std::optional<int> Digits(std::string_view text, size_t* at, size_t digits) {
  if (text.size() - *at < digits) return std::nullopt;
  int value = 0;
  for (size_t i = 0; i < digits; ++i) {
    const char c = text[*at + i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  *at += digits;
  return value;
}

bool Take(std::string_view text, size_t* at, char c) {
  if (*at >= text.size() || text[*at] != c) return false;
  ++*at;
  return true;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

}  // namespace

std::string LocalMinuteText(int64_t ns) { return LocalText(ns, "%Y-%m-%d %H:%M").value_or(std::to_string(ns)); }

std::optional<int64_t> ParseIsoTime(std::string_view text) {
  size_t at = 0;
  const std::optional<int> year = Digits(text, &at, 4);
  if (!year || !Take(text, &at, '-')) return std::nullopt;
  const std::optional<int> month = Digits(text, &at, 2);
  if (!month || !Take(text, &at, '-')) return std::nullopt;
  const std::optional<int> day = Digits(text, &at, 2);
  if (!day || *month < 1 || *month > 12 || *day < 1 || *day > DaysInMonth(*year, *month)) return std::nullopt;
  int hour = 0;
  int minute = 0;
  int second = 0;
  std::optional<int> offset_minutes;  // none: local time
  if (at < text.size()) {
    if (!Take(text, &at, 'T') && !Take(text, &at, ' ')) return std::nullopt;
    const std::optional<int> h = Digits(text, &at, 2);
    if (!h || !Take(text, &at, ':')) return std::nullopt;
    const std::optional<int> m = Digits(text, &at, 2);
    if (!m) return std::nullopt;
    hour = *h;
    minute = *m;
    if (Take(text, &at, ':')) {
      const std::optional<int> s = Digits(text, &at, 2);
      if (!s) return std::nullopt;
      second = *s;
    }
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    if (Take(text, &at, 'Z')) {
      offset_minutes = 0;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
      const int sign = text[at++] == '-' ? -1 : 1;
      const std::optional<int> oh = Digits(text, &at, 2);
      if (!oh) return std::nullopt;
      int om = 0;
      if (at < text.size()) {
        Take(text, &at, ':');
        const std::optional<int> m2 = Digits(text, &at, 2);
        if (!m2) return std::nullopt;
        om = *m2;
      }
      if (*oh > 23 || om > 59) return std::nullopt;
      offset_minutes = sign * (*oh * 60 + om);
    }
    if (at != text.size()) return std::nullopt;
  }
  constexpr int64_t kNsPerSecond = 1'000'000'000;
  if (offset_minutes) {
    const int64_t seconds =
        DaysFromCivil(*year, *month, *day) * 86400 + hour * 3600 + minute * 60 + second - int64_t{*offset_minutes} * 60;
    return seconds * kNsPerSecond;
  }
  struct tm local {};
  local.tm_year = *year - 1900;
  local.tm_mon = *month - 1;
  local.tm_mday = *day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;  // the zone's rule for that day decides
  const time_t seconds = ::mktime(&local);
  return static_cast<int64_t>(seconds) * kNsPerSecond;
}

}  // namespace veskara
