#include "wdoc/zip_reader.h"

#include <zip.h>

#include <algorithm>

namespace veskara::wdoc {
namespace {

ZipStatus StatusOfError(int error) {
  switch (error) {
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_ENCRNOTSUPP:
      return ZipStatus::kEncrypted;
    case ZIP_ER_NOENT:
      return ZipStatus::kMissing;
    default:
      return ZipStatus::kDamaged;
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

std::unique_ptr<ZipReader> ZipReader::OpenFile(const std::string& path, ZipStatus* status) {
  int error = 0;
  zip* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  *status = archive != nullptr ? ZipStatus::kOk : ZipStatus::kNotZip;
  return archive != nullptr ? std::unique_ptr<ZipReader>(new ZipReader(archive)) : nullptr;
}

std::unique_ptr<ZipReader> ZipReader::OpenBuffer(const unsigned char* data, size_t size, ZipStatus* status) {
  *status = ZipStatus::kNotZip;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(data, size, 0, &error);
  zip_error_fini(&error);
  if (source == nullptr) return nullptr;
  zip_error_init(&error);
  zip* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  zip_error_fini(&error);
  if (archive == nullptr) {
    zip_source_free(source);
    return nullptr;
  }
  *status = ZipStatus::kOk;
  return std::unique_ptr<ZipReader>(new ZipReader(archive));
}

ZipReader::~ZipReader() { zip_discard(archive_); }

std::vector<std::string> ZipReader::Names() const {
  std::vector<std::string> names;
  const zip_int64_t count = zip_get_num_entries(archive_, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    if (name != nullptr) names.emplace_back(name);
  }
  return names;
}

bool ZipReader::Has(std::string_view name) const {
  return zip_name_locate(archive_, std::string(name).c_str(), ZIP_FL_ENC_RAW) >= 0;
}

ZipStatus ZipReader::Read(std::string_view name, const std::function<bool(std::string_view)>& on_data) {
  const zip_int64_t index = zip_name_locate(archive_, std::string(name).c_str(), ZIP_FL_ENC_RAW);
  if (index < 0) return ZipStatus::kMissing;
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) != 0) return ZipStatus::kDamaged;
  if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && stat.encryption_method != ZIP_EM_NONE) {
    return ZipStatus::kEncrypted;
  }
  // The sizes the archive states are the attacker's: an entry that says it
  // is a bomb is taken at its word, before anything is inflated; one that
  // says otherwise is measured as it comes out.
  const uint64_t compressed = (stat.valid & ZIP_STAT_COMP_SIZE) != 0 ? stat.comp_size : 0;
  if ((stat.valid & ZIP_STAT_SIZE) != 0 && IsBomb(stat.size, compressed)) return ZipStatus::kTooLarge;
  zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
  if (file == nullptr) return StatusOfError(zip_error_code_zip(zip_get_error(archive_)));
  ZipStatus status = ZipStatus::kOk;
  uint64_t entry = 0;
  char buffer[64 * 1024];
  for (;;) {
    const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
    if (n < 0) {
      status = StatusOfError(zip_error_code_zip(zip_file_get_error(file)));
      break;
    }
    if (n == 0) break;
    entry += static_cast<uint64_t>(n);
    read_ += static_cast<uint64_t>(n);
    if (IsBomb(entry, compressed) || read_ > kMostArchiveBytes) {
      status = ZipStatus::kTooLarge;
      break;
    }
    if (!on_data(std::string_view(buffer, static_cast<size_t>(n)))) {
      status = ZipStatus::kStopped;
      break;
    }
  }
  zip_fclose(file);
  return status;
}

ZipStatus ZipReader::ReadAll(std::string_view name, std::string* bytes) {
  bytes->clear();
  return Read(name, [bytes](std::string_view data) {
    bytes->append(data);
    return true;
  });
}

std::string ResolvePart(std::string_view from, std::string_view target) {
  std::vector<std::string> parts;
  const std::string decoded = PercentDecoded(target);
  std::string_view rest = decoded;
  if (!rest.empty() && rest.front() == '/') {
    rest.remove_prefix(1);
  } else {
    const size_t slash = from.rfind('/');
    std::string_view folder = slash == std::string_view::npos ? std::string_view() : from.substr(0, slash);
    while (!folder.empty()) {
      const size_t cut = folder.find('/');
      parts.emplace_back(folder.substr(0, cut));
      folder = cut == std::string_view::npos ? std::string_view() : folder.substr(cut + 1);
    }
  }
  // A fragment or a query names no other part.
  rest = rest.substr(0, std::min(rest.find('#'), rest.size()));
  while (!rest.empty()) {
    const size_t cut = rest.find('/');
    const std::string_view part = rest.substr(0, cut);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.emplace_back(part);
    }
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
  }
  std::string path;
  for (const std::string& part : parts) path += (path.empty() ? "" : "/") + part;
  return path;
}

}  // namespace veskara::wdoc
