// The manual pages, in roff with the man macros. The build writes them (see
// make_manual.cc): the command line's from the same table of commands and
// texts as --help, so that the page and the help cannot disagree; the
// window's with the same rules for the base folder; the base's files from
// the Markdown page that describes them (docs/base-format.md).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "cli/commands.h"

namespace veskara {

// What every page names beside its own text.
struct ManualContext {
  std::string_view version;  // "1.0"
  std::string_view doc_dir;  // where the README is installed: "/usr/share/doc/veskara"
};

// veskara-cli(1): a synopsis line and an entry per command of `commands`,
// each with its options, in the table's order.
std::string CommandLineManualPage(std::span<const Command> commands, const ManualContext& context);

// veskara(1), the window program.
std::string WindowManualPage(const ManualContext& context);

// veskara(5): `markdown` (the page of the base's files) below the header.
std::string BaseFilesManualPage(std::string_view markdown, const ManualContext& context);

// The body of a Markdown page as man macros. What the project's pages use
// is understood: headings (the first level is the page's own title and is
// left out), paragraphs, `code` and **strong** spans, indented code blocks,
// "- " and "1. " lists with indented continuation lines and code, and
// tables (each row a tagged paragraph: the first cell, then the others).
std::string MarkdownToRoff(std::string_view markdown);

// `text` safe as a line of roff: backslashes written as \e, and a line that
// would begin with a control character ("." or "'") kept as text.
std::string RoffText(std::string_view text);

}  // namespace veskara
