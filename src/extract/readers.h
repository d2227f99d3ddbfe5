// The per-file readers: each is created for one file, reads it completely
// during creation, appends its words to the posting table under the table's
// current file number, and is destroyed at once.
//
// A reader never throws for a file it cannot open or read: such a file just
// contributes fewer words (or none). FIFOs, sockets, devices and directories
// are never opened.
#pragma once

#include <string>
#include <vector>

#include "platform/env.h"

namespace veskara {

class PostingTable;

class TBasicFile {
 public:
  virtual ~TBasicFile() = default;
  TBasicFile(const TBasicFile&) = delete;
  TBasicFile& operator=(const TBasicFile&) = delete;

 protected:
  TBasicFile(std::string file_name, PostingTable& table, Env& env);
  // Reads the whole file and feeds its words to the table.
  virtual void ReadText() = 0;

  std::string FileName;
  // Unused by the readers here: the markup reader tokenizes each segment as
  // views into the line the moment it is cut (same words, same order), so
  // no line costs an allocation per segment.
  std::vector<std::string> Segments;
  PostingTable& table_;
  Env& env_;
};

// A markup page: tags are cut out, the text between them tokenized.
class THTMLFile : public TBasicFile {
 public:
  THTMLFile(std::string file_name, PostingTable& table, Env& env = Env::Default());

 protected:
  void ReadText() override;
  // Strips the tags of one prepared (trimmed, upper-cased) line into
  // Segments and tokenizes each segment.
  void ParseLine(std::string_view line);

 private:
  bool InTag = false;  // inside a tag; carries over from line to line
};

// A PDF document: converted by the wpdf library's GetText into the text file
// "temp___" in the current directory, which is read and then deleted.
// Because that name is fixed, only one TPDFFile may run at a time per current
// directory; markup readers on different threads (each with its own table)
// are independent.
class TPDFFile : public TBasicFile {
 public:
  TPDFFile(std::string file_name, PostingTable& table, Env& env = Env::Default());

 protected:
  void ReadText() override;
};

inline constexpr const char* kPdfTempFileName = "temp___";

}  // namespace veskara
