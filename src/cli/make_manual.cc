// Writes one manual page at build time (manual_page.h):
//   veskara-manual cli|window OUTPUT VERSION DOC_DIR
//   veskara-manual base OUTPUT VERSION DOC_DIR MARKDOWN
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "cli/manual_page.h"
#include "platform/durable.h"
#include "platform/env.h"

int main(int argc, char** argv) {
  const std::string_view kind = argc > 1 ? argv[1] : "";
  const bool base = kind == "base";
  if (argc != (base ? 6 : 5) || (!base && kind != "cli" && kind != "window")) {
    std::fputs(
        "usage: veskara-manual cli|window OUTPUT VERSION DOC_DIR\n"
        "       veskara-manual base OUTPUT VERSION DOC_DIR MARKDOWN\n",
        stderr);
    return 2;
  }
  const veskara::ManualContext context{.version = argv[3], .doc_dir = argv[4]};
  veskara::Env& env = veskara::Env::Default();
  try {
    std::string page;
    if (kind == "cli") {
      page = veskara::CommandLineManualPage(veskara::Commands(), context);
    } else if (kind == "window") {
      page = veskara::WindowManualPage(context);
    } else {
      std::string markdown;
      if (veskara::ReadSmallFile(env, argv[5], 1 << 20, &markdown) != veskara::SmallFile::kRead) {
        std::fprintf(stderr, "veskara-manual: %s is no file of at most 1 MB\n", argv[5]);
        return 2;
      }
      page = veskara::BaseFilesManualPage(markdown, context);
    }
    veskara::WriteFileSynced(env, argv[2], page);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "veskara-manual: %s\n", failure.what());
    return 2;
  }
  return 0;
}
