#include "extract/readers.h"

#include <string_view>
#include <utility>

#include "base/posting_table.h"
#include "extract/tokenizer.h"
#include "platform/cp1251.h"
#include "platform/errors.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "wpdf/wpdf.h"

namespace veskara {
namespace {

// Streams the prepared lines of a text file: trimmed, at least two bytes
// long, upper-cased. A read error ends the file quietly, keeping the lines
// already handed out: one bad file must not end the scan. `transcode` turns
// UTF-8 lines into Windows-1251 first (document pages; the PDF converter
// already writes Windows-1251). False when the file could not be opened.
template <typename OnLine>
bool ForEachPreparedLine(Env& env, const std::string& path, bool transcode, OnLine&& on_line) {
  std::unique_ptr<ReadableFile> file;
  try {
    file = env.OpenForReading(path);
  } catch (const IoError&) {
    return false;
  }
  try {
    LineReader reader(std::move(file));
    std::string transcoded;
    std::string upper;
    std::string_view raw;
    while (reader.ReadLine(&raw)) {
      std::string_view line = transcode ? DocumentLineTo1251(raw, transcoded) : raw;
      line = Trim(line);
      if (line.size() < 2) continue;
      upper.assign(line);
      UpperCase1251InPlace(upper);
      on_line(std::string_view(upper));
    }
    reader.Close();
  } catch (const IoError&) {
    // Failed while being read: the words so far stay.
  }
  return true;
}

// A reader never throws for a file it cannot handle; false when `path`
// could not be removed.
bool RemoveQuietly(Env& env, const std::string& path) {
  try {
    env.Remove(path);
    return true;
  } catch (const IoError&) {
    return false;
  }
}

}  // namespace

TBasicFile::TBasicFile(std::string file_name, PostingTable& table, Env& env)
    : FileName(std::move(file_name)), table_(table), env_(env) {}

THTMLFile::THTMLFile(std::string file_name, PostingTable& table, Env& env)
    : TBasicFile(std::move(file_name), table, env) {
  ReadText();
}

void THTMLFile::ReadText() {
  // Only a regular file is opened: a FIFO would block the scan, a device
  // could react to being opened.
  if (env_.Stat(FileName).kind != PathKind::kFile) return;
  InTag = false;
  ForEachPreparedLine(env_, FileName, /*transcode=*/true, [this](std::string_view line) { ParseLine(line); });
}

// The pending segment is always one run of bytes outside tags (it starts
// after a ">" that closed a tag, or at the start of the line, and a "<" ends
// its growth), so segments are views into the line, tokenized as soon as
// they are cut: the same words in the same order as collecting them first.
void THTMLFile::ParseLine(std::string_view line) {
  const char* p = line.data();
  const char* const end = p + line.size();
  const char* pending = p;      // start of the pending segment
  const char* pending_end = p;  // one past its last byte
  bool flushed = false;
  for (; p < end; ++p) {
    const char c = *p;
    if (c == '<') InTag = true;
    if (!InTag) {
      // Bytes outside a tag are contiguous up to the next "<"; restart the
      // run when the previous one was flushed or never began.
      if (pending == pending_end) pending = p;
      pending_end = p + 1;
      flushed = false;
    } else if (c == '>') {
      InTag = false;
      if (pending != pending_end) {
        TokenizeSegment(std::string_view(pending, static_cast<size_t>(pending_end - pending)), table_);
        pending = pending_end;
        flushed = true;
      }
    }
  }
  if (!flushed) TokenizeSegment(std::string_view(pending, static_cast<size_t>(pending_end - pending)), table_);
}

TPDFFile::TPDFFile(std::string file_name, PostingTable& table, Env& env)
    : TBasicFile(std::move(file_name), table, env) {
  ReadText();
}

void TPDFFile::ReadText() {
  // The converter would block on a FIFO as any reader would.
  if (env_.Stat(FileName).kind != PathKind::kFile) return;
  const std::string temp = kPdfTempFileName;
  // One fixed name serves every document: a leftover of an earlier document
  // or run goes first, and if it cannot, nothing is converted.
  if (FileExists(temp, env_) && !RemoveQuietly(env_, temp)) return;
  if (GetText(FileName.c_str(), temp.c_str()) != 0) return;
  // A converted text that cannot be opened stays where it is; the next
  // document's first step removes it.
  if (env_.Stat(temp).kind != PathKind::kFile) return;
  const bool opened =
      ForEachPreparedLine(env_, temp, /*transcode=*/false, [this](std::string_view line) { TokenizeSegment(line, table_); });
  if (!opened) return;
  if (FileExists(temp, env_)) RemoveQuietly(env_, temp);
}

}  // namespace veskara
