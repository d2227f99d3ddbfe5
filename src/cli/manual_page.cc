#include "cli/manual_page.h"

#include <string>
#include <vector>

#include "cli/command_line.h"

namespace veskara {
namespace {

// Plain text: a backslash is roff's escape character.
std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else {
      out += c;
    }
  }
  return out;
}

// Code, names and options: each "-" is also written as \-, the minus sign,
// so that what a reader copies from the page is what the program reads.
std::string Literal(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '-') {
      out += "\\-";
    } else {
      out += Escaped(std::string_view(&c, 1));
    }
  }
  return out;
}

std::string Bold(std::string_view text) { return "\\fB" + Literal(text) + "\\fR"; }

// A line of converted text: one that begins with a control character would
// be read as a request.
std::string Guarded(std::string line) {
  if (!line.empty() && (line.front() == '.' || line.front() == '\'')) line.insert(0, "\\&");
  return line;
}

// Operands and values as the usage writes them: the placeholders (runs of
// capitals) in italics, brackets and dots as they are.
std::string Placeholders(std::string_view text) {
  std::string out;
  bool italic = false;
  for (const char c : text) {
    const bool capital = c >= 'A' && c <= 'Z';
    if (capital != italic) out += capital ? "\\fI" : "\\fR";
    italic = capital;
    out += Literal(std::string_view(&c, 1));
  }
  if (italic) out += "\\fR";
  return out;
}

std::string OptionLabel(const CommandOption& option) {
  std::string label = Bold(option.name);
  if (!option.value_when_alone.empty()) {
    label.append("[=").append(Placeholders(option.value_name)).append("]");
  } else if (!option.value_name.empty()) {
    label.append(" ").append(Placeholders(option.value_name));
  }
  return label;
}

// A tagged paragraph: the tag on one line, the text on the next.
std::string Entry(std::string_view tag, std::string_view text) {
  return ".TP\n" + Guarded(std::string(tag)) + "\n" + RoffText(text) + "\n";
}

std::string Header(std::string_view name, int section, std::string_view manual, std::string_view summary,
                   const ManualContext& context) {
  std::string title;
  for (const char c : name) title += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  // No date: the same sources make the same page.
  return ".TH " + Literal(title) + " " + std::to_string(section) + " \"\" \"Veskara " + Escaped(context.version) +
         "\" \"" + std::string(manual) +
         // Neither hyphenated nor justified: the pages are full of paths and names.
         "\"\n.nh\n.ad l\n.SH NAME\n" + Literal(name) + " \\- " + Escaped(summary) + "\n";
}

// Both programs find the base by the same rules (base/base_location.h);
// only the command line has --base before them.
std::string FilesSection(bool window) {
  std::string text =
      ".SH FILES\n" +
      Entry("\\fI$XDG_DATA_HOME/veskara/\\fR",
            "The base folder, made with mode 0700 by the first scan (~/.local/share/veskara when XDG_DATA_HOME is "
            "unset): wrds.txt and fls.txt, the words and the files of the base, and folders.txt and stamps.txt, what "
            "it remembers to keep itself current; see veskara(5). VESKARA_BASE names another folder, and so does the "
            "program's own folder when it already holds wrds.txt or fls.txt.");
  if (window) {
    text += Entry("\\fI~/.config/veskara/veskara.conf\\fR",
                  "The window's settings (whether Ё and Е match as one, whether to search as the query is typed).");
  }
  return text;
}

std::string EnvironmentSection(bool window) {
  return ".SH ENVIRONMENT\n" +
         Entry(Bold("VESKARA_BASE"), window ? "The base folder." : "The base folder, unless --base names one.") +
         Entry(Bold("XDG_DATA_HOME"), "The folder of the user's data, which holds the base folder veskara.") +
         Entry(Bold("VESKARA_JOBS"),
               window ? "How many PDF documents a scan converts at once (default: one per processor)."
                      : "How many PDF documents a scan converts at once, unless --jobs says (default: one per "
                        "processor).") +
         Entry(Bold("TMPDIR"),
               "Where a scan makes the private folder in which it converts PDF documents (default: /tmp).");
}

std::string SeeAlso(std::string_view first, std::string_view second, const ManualContext& context) {
  return ".SH SEE ALSO\n" + std::string(first) + ", " + std::string(second) + "\n.PP\nThe README: \\fI" +
         Literal(context.doc_dir) + "/README.md\\fR\n";
}

}  // namespace

std::string RoffText(std::string_view text) { return Guarded(Escaped(text)); }

std::string CommandLineManualPage(std::span<const Command> commands, const ManualContext& context) {
  const CommandOption& base = BaseOption();
  std::string page =
      Header("veskara-cli", 1, "User Commands", "index and search the base of Veskara from a terminal", context);

  page += ".SH SYNOPSIS\n.nf\n";
  const std::string program = Bold("veskara-cli") + " [" + OptionLabel(base) + "] ";
  for (const Command& command : commands) {
    std::string line = program + Bold(command.name);
    for (const CommandOption& option : command.options) line.append(" [").append(OptionLabel(option)).append("]");
    if (!command.operands.empty()) line.append(" ").append(Placeholders(command.operands));
    page += Guarded(line) + "\n";
  }
  page += Bold("veskara-cli") + " " + Bold("--help") + " | " + Bold("--version") + "\n.fi\n";

  page += ".SH DESCRIPTION\n" +
          RoffText(
              "veskara-cli indexes the words of the web pages (.htm, .html, .php, .shtml) and PDF documents under "
              "the folders it is given into one base, keeps the base current and searches it. A query word finds "
              "every word of the base that begins with it; each further word narrows the result to the words that "
              "share a file with it. The window program veskara(1) reads and writes the same base.") +
          "\n.PP\n" +
          RoffText(
              "Options of the program come before the command, options of a command right after its name; "
              "everything from the first other argument, or after \"--\", is an operand, so a query may begin with "
              "\"-\". Results go to standard output, messages to standard error.") +
          "\n";

  page += ".SH COMMANDS\n";
  for (const Command& command : commands) {
    std::string label = Bold(command.name);
    if (!command.operands.empty()) label.append(" ").append(Placeholders(command.operands));
    page += Entry(label, command.help);
    if (command.options.empty()) continue;
    page += ".RS\n";
    for (const CommandOption& option : command.options) page += Entry(OptionLabel(option), option.help);
    page += ".RE\n";
  }

  page += ".SH OPTIONS\n" + Entry(OptionLabel(base), base.help) +
          Entry(Bold("--help") + ", " + Bold("-h"), "print the usage, the commands and the base folder in use") +
          Entry(Bold("--version"), "print the version");

  std::string_view status = kExitStatusText;
  if (const size_t colon = status.find(": "); colon != std::string_view::npos) status.remove_prefix(colon + 2);
  page += ".SH EXIT STATUS\n" + RoffText(status) + "\n";

  page += EnvironmentSection(false) + FilesSection(false);
  page += SeeAlso("\\fBveskara\\fR(1)", "\\fBveskara\\fR(5)", context);
  return page;
}

std::string WindowManualPage(const ManualContext& context) {
  std::string page =
      Header("veskara", 1, "User Commands", "fast text search over web pages and PDF documents", context);
  page += ".SH SYNOPSIS\n" + Bold("veskara") + "\n";
  page += ".SH DESCRIPTION\n" +
          RoffText(
              "veskara is the window of Veskara. Name a folder and \"Add to base\" indexes the words of the web "
              "pages (.htm, .html, .php, .shtml) and PDF documents under it into the base. On the \"Search text\" "
              "page, type words to list every word of the base that begins with the first one, narrowed by each "
              "further word to the words that share a file with it; choose one to list its files, and open a file "
              "with the desktop's application or see the lines where the words are.") +
          "\n.PP\n" +
          RoffText(
              "The \"Files\" page lists the files of the current search as veskara-cli find does (a word written "
              "-WORD leaves out the files that hold it), with their folder, kind, time, size and the first line "
              "that holds a searched word; sort by any column, filter by a part of the path, a kind or a time, and "
              "open or preview a file as on the search page.") +
          "\n.PP\n" +
          RoffText(
              "The \"Base\" page shows where the base lives and the folders it remembers, keeps them current, "
              "removes them or adds one, lists the documents that could not be read, and chooses which kinds of "
              "documents the base reads beyond pages and PDF documents (text and source code, office documents, "
              "e-books, compressed files); its options match Ё as Е and search as the query is typed. The "
              "\"About\" page shows the version, the licence and the size of the base.") +
          "\n.PP\n" + RoffText("The command line program veskara-cli(1) reads and writes the same base.") + "\n";
  page += EnvironmentSection(true) + FilesSection(true);
  page += SeeAlso("\\fBveskara\\-cli\\fR(1)", "\\fBveskara\\fR(5)", context);
  return page;
}

std::string BaseFilesManualPage(std::string_view markdown, const ManualContext& context) {
  return Header("veskara", 5, "File Formats", "the files of a Veskara base", context) + ".SH DESCRIPTION\n" +
         MarkdownToRoff(markdown) + SeeAlso("\\fBveskara\\fR(1)", "\\fBveskara\\-cli\\fR(1)", context);
}

namespace {

// `code` and **strong** spans; everything else as plain text.
std::string InlineSpans(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '`') {
      if (const size_t end = text.find('`', i + 1); end != std::string_view::npos) {
        out += Bold(text.substr(i + 1, end - i - 1));
        i = end + 1;
        continue;
      }
    }
    if (text.substr(i, 2) == "**") {
      if (const size_t end = text.find("**", i + 2); end != std::string_view::npos) {
        out += "\\fB" + Escaped(text.substr(i + 2, end - i - 2)) + "\\fR";
        i = end + 2;
        continue;
      }
    }
    out += Escaped(text.substr(i, 1));
    ++i;
  }
  return Guarded(out);
}

// The cells of a table row "| a | b |", trimmed.
std::vector<std::string_view> Cells(std::string_view row) {
  std::vector<std::string_view> cells;
  if (row.starts_with('|')) row.remove_prefix(1);
  if (row.ends_with('|')) row.remove_suffix(1);
  while (true) {
    const size_t bar = row.find('|');
    std::string_view cell = row.substr(0, bar);
    while (cell.starts_with(' ')) cell.remove_prefix(1);
    while (cell.ends_with(' ')) cell.remove_suffix(1);
    cells.push_back(cell);
    if (bar == std::string_view::npos) return cells;
    row.remove_prefix(bar + 1);
  }
}

bool IsTableRule(std::string_view row) { return row.find_first_not_of("|-: ") == std::string_view::npos; }

// The length of a list item's marker ("- ", "12. "), 0 when `text` starts none.
size_t ListMarkerLength(std::string_view text) {
  if (text.starts_with("- ")) return 2;
  size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits > 0 && text.substr(digits, 2) == ". ") return digits + 2;
  return 0;
}

class RoffWriter {
 public:
  void Line(std::string_view line) {
    size_t indent = 0;
    while (indent < line.size() && line[indent] == ' ') ++indent;
    const std::string_view text = line.substr(indent);
    if (text.empty()) {
      Blank();
    } else if (code_ && indent >= code_indent_) {
      out_.append(pending_blank_lines_, '\n');
      pending_blank_lines_ = 0;
      out_ += Guarded(Escaped(line.substr(code_indent_))) + "\n";
    } else if (!code_ && after_blank_ && paragraph_.empty() && indent >= content_indent_ + 4) {
      // Indented by four more than the text it stands in, after a blank line.
      code_ = true;
      code_indent_ = content_indent_ + 4;
      out_ += in_list_ ? ".IP\n.nf\n" : ".PP\n.RS 4\n.nf\n";
      out_ += Guarded(Escaped(line.substr(code_indent_))) + "\n";
      after_blank_ = false;
    } else {
      EndCode();
      Text(indent, text);
      after_blank_ = false;
    }
  }

  std::string Finish() {
    EndCode();
    EndParagraph();
    return std::move(out_);
  }

 private:
  void Blank() {
    if (code_) {
      ++pending_blank_lines_;
    } else {
      EndParagraph();
    }
    after_blank_ = true;
    in_table_ = false;
  }

  void Text(size_t indent, std::string_view text) {
    // Below the item's text after a blank line, a list has ended.
    if (after_blank_ && indent < content_indent_ && ListMarkerLength(text) == 0) content_indent_ = 0;
    in_list_ = in_list_ && content_indent_ > 0;

    if (text.starts_with('#')) {
      EndParagraph();
      in_list_ = false;
      content_indent_ = 0;
      const size_t level = text.find_first_not_of('#');
      if (level == std::string_view::npos || level == 1) return;  // the page's own title
      std::string title(text.substr(level));
      while (title.starts_with(' ')) title.erase(0, 1);
      for (char& c : title) {
        if (c == '"') c = '\'';
      }
      out_ += ".SS \"" + InlineSpans(title) + "\"\n";
      return;
    }
    if (text.starts_with('|')) {
      EndParagraph();
      // The first row names the columns, the second only rules them.
      if (!in_table_ || IsTableRule(text)) {
        in_table_ = true;
        return;
      }
      const std::vector<std::string_view> cells = Cells(text);
      std::string rest;
      for (size_t i = 1; i < cells.size(); ++i) rest.append(i > 1 ? " " : "").append(cells[i]);
      out_ += ".TP\n" + InlineSpans(cells[0]) + "\n" + InlineSpans(rest) + "\n";
      return;
    }
    if (const size_t marker = ListMarkerLength(text); marker > 0 && indent < content_indent_ + 2) {
      EndParagraph();
      in_list_ = true;
      content_indent_ = indent + marker;
      const std::string_view tag = text.substr(0, marker - 1);
      macro_ = tag == "-" ? ".IP \\(bu 2" : ".IP " + std::string(tag) + " " + std::to_string(marker);
      paragraph_ = text.substr(marker);
      return;
    }
    if (paragraph_.empty()) {
      macro_ = in_list_ ? ".IP" : ".PP";
    } else {
      paragraph_ += ' ';
    }
    paragraph_ += text;
  }

  void EndParagraph() {
    if (paragraph_.empty()) return;
    out_ += macro_ + "\n" + InlineSpans(paragraph_) + "\n";
    paragraph_.clear();
  }

  void EndCode() {
    if (!code_) return;
    out_ += in_list_ ? ".fi\n" : ".fi\n.RE\n";
    code_ = false;
    pending_blank_lines_ = 0;
  }

  std::string out_;
  std::string paragraph_;  // the lines of the paragraph so far, joined
  std::string macro_;      // what starts it
  bool after_blank_ = true;
  bool in_list_ = false;
  size_t content_indent_ = 0;  // of the list item's text; 0 outside a list
  bool code_ = false;
  size_t code_indent_ = 0;
  size_t pending_blank_lines_ = 0;  // inside a code block, until it goes on
  bool in_table_ = false;
};

}  // namespace

std::string MarkdownToRoff(std::string_view markdown) {
  RoffWriter writer;
  while (!markdown.empty()) {
    const size_t end = markdown.find('\n');
    std::string_view line = markdown.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    writer.Line(line);
    if (end == std::string_view::npos) break;
    markdown.remove_prefix(end + 1);
  }
  return writer.Finish();
}

}  // namespace veskara
