// TryStrToInt and StrToInt against a reference that reads the whole digit
// run into a wide integer before judging its range.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "fuzz_util.h"
#include "platform/errors.h"
#include "platform/str_to_int.h"

using namespace veskara;

namespace {

int Digit(char c, int base) {
  if (c >= '0' && c <= '9') return c - '0';
  if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<int32_t> Reference(std::string_view text) {
  size_t i = text.find_first_not_of(' ');
  if (i == std::string_view::npos) return std::nullopt;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  int base = 10;
  std::string_view rest = text.substr(i);
  if (rest.starts_with("0x") || rest.starts_with("0X")) {
    base = 16;
    rest.remove_prefix(2);
  } else if (rest.starts_with("$") || rest.starts_with("x") || rest.starts_with("X")) {
    base = 16;
    rest.remove_prefix(1);
  }
  if (rest.empty()) return std::nullopt;
  __int128 value = 0;
  for (char c : rest) {
    int d = Digit(c, base);
    if (d < 0) return std::nullopt;
    value = value * base + d;
    if (value > (__int128{1} << 40)) value = __int128{1} << 40;  // far out of range; stays so
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<int32_t> expected = Reference(text);
  FUZZ_CHECK(TryStrToInt(text) == expected);
  try {
    int32_t value = StrToInt(text);
    FUZZ_CHECK(expected && value == *expected);
  } catch (const ConvertError&) {
    FUZZ_CHECK(!expected);
  }
  return 0;
}
