#include "app/file_actions.h"

#include <algorithm>

#include "app/form_context.h"
#include "app/preview_window.h"
#include "platform/paths.h"

namespace veskara {

void OpenFoundFile(FormContext& context, const QByteArray& path) {
  if (!context.OpenLocalPath(path.toStdString())) {
    context.Show({MessageKind::kWarningBox, "Message", kCannotOpenFile});
  }
}

void OpenFolderOf(FormContext& context, const QByteArray& path) {
  // A relative path while the current folder is gone names no folder.
  const std::optional<std::string> absolute = AbsolutePathFromCurrentFolder(path.toStdString(), context.env());
  if (!absolute || !context.OpenLocalPath(absolute->substr(0, std::max<size_t>(1, absolute->rfind(kPathSeparator))))) {
    context.Show({MessageKind::kWarningBox, "Message", kCannotOpenFile});
  }
}

void PreviewMatches(FormContext& context, const QByteArray& path, const std::string& query,
                    const SearchOptions& options) {
  auto* preview = new PreviewWindow(
      context, path, query, options, [&context, path] { OpenFoundFile(context, path); }, &context.window());
  preview->show();
  preview->activateWindow();
}

}  // namespace veskara
