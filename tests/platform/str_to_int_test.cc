#include "platform/str_to_int.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/errors.h"

namespace veskara {
namespace {

TEST(StrToIntTest, Forms) {
  const struct {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {
      {"0", 0},
      {"41", 41},
      {"007", 7},
      {"  7", 7},
      {"+5", 5},
      {"-5", -5},
      {"$1F", 31},
      {"x1f", 31},
      {"X10", 16},
      {"0x10", 16},
      {"0XfF", 255},
      {"-$10", -16},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"$7FFFFFFF", 2147483647},
      {"", std::nullopt},
      {" ", std::nullopt},
      {"7 ", std::nullopt},
      {"\t7", std::nullopt},
      {"x", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"+-1", std::nullopt},
      {"1.5", std::nullopt},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"$80000000", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"$G", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(TryStrToInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(StrToIntTest, FailureNamesTheText) {
  try {
    StrToInt("7 ");
    FAIL();
  } catch (const ConvertError& e) {
    EXPECT_STREQ(e.what(), "'7 ' is not a valid integer value");
  }
}

}  // namespace
}  // namespace veskara
