#include "search/remembered_lists.h"

#include <gtest/gtest.h>

namespace veskara {
namespace {

// What leaves with folders removed together: a folder inside another one
// counts no file twice; a folder whose name only begins like another's is
// not inside it.
TEST(FilesUnderTest, CountsEachFileOnce) {
  struct Case {
    const char* name;
    std::vector<FolderRow> folders;
    size_t files;
  } cases[] = {
      {"none", {}, 0},
      {"one", {{"/docs", 3, 0}}, 3},
      {"nested", {{"/docs", 3, 0}, {"/docs/sub", 1, 0}}, 3},
      {"nested, inner first", {{"/docs/sub", 1, 0}, {"/docs", 3, 0}}, 3},
      {"a sibling sharing a prefix", {{"/docs", 3, 0}, {"/docs2", 2, 0}}, 5},
  };
  for (const Case& c : cases) EXPECT_EQ(FilesUnder(c.folders), c.files) << c.name;
}

}  // namespace
}  // namespace veskara
