// The entries of a ZIP archive (an office document, an e-book), read through
// libzip with the limits a hostile archive needs: an entry that inflates past
// kMostEntryBytes, or past 1000 times its compressed size, is a bomb, and so
// is an archive whose entries read together pass kMostArchiveBytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct zip;

namespace veskara::wdoc {

inline constexpr uint64_t kMostEntryBytes = 256ULL << 20;
inline constexpr uint64_t kMostArchiveBytes = 1ULL << 30;
inline constexpr uint64_t kMostRatio = 1000;
// Below this an entry's ratio is not judged: tiny entries of one repeated
// byte are harmless whatever their ratio.
inline constexpr uint64_t kRatioFloor = 1ULL << 20;

// True when `inflated` bytes out of `compressed` ones pass the limits.
inline bool IsBomb(uint64_t inflated, uint64_t compressed) {
  return inflated > kMostEntryBytes || (inflated > kRatioFloor && inflated / kMostRatio > compressed);
}

enum class ZipStatus {
  kOk,
  kNotZip,     // not a ZIP archive, or damaged beyond reading
  kMissing,    // no entry of that name
  kDamaged,    // the entry's data is damaged
  kEncrypted,  // the entry is encrypted
  kTooLarge,   // the entry (or the archive so far) inflates past its limit
  kStopped,    // the reader of the data asked to stop
};

class ZipReader {
 public:
  // The archive in the file at `path`, or in data[0, size) (which must
  // outlive the reader). *status is kOk or kNotZip.
  static std::unique_ptr<ZipReader> OpenFile(const std::string& path, ZipStatus* status);
  static std::unique_ptr<ZipReader> OpenBuffer(const unsigned char* data, size_t size, ZipStatus* status);
  ~ZipReader();
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  // The names of the entries, in the archive's order.
  std::vector<std::string> Names() const;
  bool Has(std::string_view name) const;

  // Streams the inflated bytes of entry `name` to `on_data`, in pieces; a
  // piece for which on_data returns false stops the read (kStopped).
  ZipStatus Read(std::string_view name, const std::function<bool(std::string_view)>& on_data);
  // The whole entry, for the small ones (manifests, relations).
  ZipStatus ReadAll(std::string_view name, std::string* bytes);

 private:
  explicit ZipReader(zip* archive) : archive_(archive) {}
  zip* archive_;
  uint64_t read_ = 0;  // bytes inflated so far, all entries
};

// Resolves `target` (a relative reference of a document part, percent
// escapes decoded) against the folder of the entry `from`: "../media/x" of
// "word/document.xml" is "media/x". A leading "/" starts at the root.
std::string ResolvePart(std::string_view from, std::string_view target);

}  // namespace veskara::wdoc
