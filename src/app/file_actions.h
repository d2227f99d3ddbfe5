// What every list of found files does with a chosen file, whichever page it
// stands on: open it, open the folder it is in, preview its matches.
#pragma once

#include <QByteArray>
#include <string>

#include "search/search.h"

namespace veskara {

class FormContext;

// `path` is the file's path as fls.txt holds it (bytes, not text).

// The written "Open": through the desktop, with "Sorry, can't open selected
// file." when it fails.
void OpenFoundFile(FormContext& context, const QByteArray& path);

// Opens the folder that holds the file, with the same warning on failure.
void OpenFolderOf(FormContext& context, const QByteArray& path);

// The preview of the file's lines that hold a word of `query`
// (Windows-1251), beside the window; its "Open" is OpenFoundFile.
void PreviewMatches(FormContext& context, const QByteArray& path, const std::string& query,
                    const SearchOptions& options);

}  // namespace veskara
