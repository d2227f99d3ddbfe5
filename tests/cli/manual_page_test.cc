#include "cli/manual_page.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "test_util.h"

namespace veskara {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The line after the first ".TP" whose tag begins with `tag`, from `from` on;
// lines.size() when there is none.
size_t TaggedEntry(const std::vector<std::string>& lines, const std::string& tag, size_t from = 0) {
  for (size_t i = from; i + 1 < lines.size(); ++i) {
    if (lines[i] == ".TP" && lines[i + 1].starts_with(tag)) return i + 1;
  }
  return lines.size();
}

std::string Dashes(std::string_view name) {
  std::string out;
  for (const char c : name) out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

// The page the build wrote: a command added to the table is in it, with its
// help and its options, without anyone writing a line of the page.
TEST(ManualPageTest, EveryCommandOfTheTableIsInTheBuiltPage) {
  const std::vector<std::string> lines = Lines(testing::ReadFile(VESKARA_MAN_DIR "/veskara-cli.1"));
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(lines[0].starts_with(".TH VESKARA\\-CLI 1 "));
  const size_t commands_section = TaggedEntry(lines, "\\fB");
  ASSERT_LT(commands_section, lines.size());
  for (const Command& command : Commands()) {
    const std::string name = "\\fB" + Dashes(command.name) + "\\fR";
    SCOPED_TRACE(std::string(command.name));
    const size_t entry = TaggedEntry(lines, name);
    ASSERT_LT(entry + 1, lines.size());
    EXPECT_EQ(lines[entry + 1], RoffText(command.help));
    for (const CommandOption& option : command.options) {
      const size_t option_entry = TaggedEntry(lines, "\\fB" + Dashes(option.name) + "\\fR", entry);
      ASSERT_LT(option_entry + 1, lines.size()) << option.name;
      EXPECT_EQ(lines[option_entry + 1], RoffText(option.help));
    }
    // The synopsis has a line for it too.
    bool in_synopsis = false;
    for (const std::string& line : lines)
      in_synopsis |= line.find("\\fBveskara\\-cli\\fR [") == 0 && line.find(name) != std::string::npos;
    EXPECT_TRUE(in_synopsis);
  }
  EXPECT_NE(TaggedEntry(lines, "\\fB\\-\\-base\\fR \\fIDIR\\fR"), lines.size());
}

// Texts of a table that roff would misread: a leading dot, a backslash,
// dashes and capitals in names and operands.
TEST(ManualPageTest, TableTextsAreWrittenAsText) {
  constexpr CommandOption kOptions[] = {{"--max-depth", "N", "go at most N levels down"}};
  const Command commands[] = {
      {.name = "walk-tree", .operands = "[ROOT...]", .help = ".htm files under C:\\ROOT", .options = kOptions},
  };
  const std::vector<std::string> lines = Lines(CommandLineManualPage(commands, {.version = "9.9", .doc_dir = "/d"}));
  const size_t entry = TaggedEntry(lines, "\\fBwalk\\-tree\\fR");
  ASSERT_LT(entry + 4, lines.size());
  EXPECT_EQ(lines[entry], "\\fBwalk\\-tree\\fR [\\fIROOT\\fR...]");
  EXPECT_EQ(lines[entry + 1], "\\&.htm files under C:\\eROOT");
  EXPECT_EQ(lines[entry + 2], ".RS");
  EXPECT_EQ(lines[entry + 4], "\\fB\\-\\-max\\-depth\\fR \\fIN\\fR");
  EXPECT_EQ(lines[0], ".TH VESKARA\\-CLI 1 \"\" \"Veskara 9.9\" \"User Commands\"");
}

TEST(ManualPageTest, MarkdownConstructs) {
  struct Case {
    const char* name;
    const char* markdown;
    const char* roff;
  };
  const Case cases[] = {
      {"title left out, sections, joined paragraph lines", "# Page\n\nOne\ntwo `a-b` **c**.\n\n## Part `x`\n",
       ".PP\nOne two \\fBa\\-b\\fR \\fBc\\fR.\n.SS \"Part \\fBx\\fR\"\n"},
      {"code block keeps its lines, tabs and blank lines", "Text:\n\n    A\t1\n\n    .b\\c\n      d\nAfter\n",
       ".PP\nText:\n.PP\n.RS 4\n.nf\nA\t1\n\n\\&.b\\ec\n  d\n.fi\n.RE\n.PP\nAfter\n"},
      {"bullets with continuation lines", "- one\n  more\n- two\n\nText\n",
       ".IP \\(bu 2\none more\n.IP \\(bu 2\ntwo\n.PP\nText\n"},
      {"numbered item with code and a second paragraph", "1. Do:\n\n       X\n\n   then.\n2. Next\n",
       ".IP 1. 3\nDo:\n.IP\n.nf\nX\n.fi\n.IP\nthen.\n.IP 2. 3\nNext\n"},
      {"table rows become tagged paragraphs", "| Name | Role |\n|---|---|\n| `a` | first | x |\n| b | second |\n",
       ".TP\n\\fBa\\fR\nfirst x\n.TP\nb\nsecond\n"},
      {"leading dot and CR LF lines", ".hidden\r\nline\r\n", ".PP\n\\&.hidden line\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(MarkdownToRoff(c.markdown), c.roff) << c.name;
}

// The page of the base's files is made of docs/base-format.md: each of its
// sections is there.
TEST(ManualPageTest, BaseFilesPageHoldsEverySectionOfTheFormatPage) {
  const std::string page = testing::ReadFile(VESKARA_MAN_DIR "/veskara.5");
  size_t sections = 0;
  for (const std::string& line : Lines(testing::ReadFile(VESKARA_SOURCE_DIR "/docs/base-format.md"))) {
    if (!line.starts_with("## ")) continue;
    ++sections;
    EXPECT_NE(page.find(".SS \"" + line.substr(3) + "\""), std::string::npos) << line;
  }
  EXPECT_GT(sections, 3u);
}

}  // namespace
}  // namespace veskara
