// Folder locations following the XDG base directory rules.
#include "platform/Paths.h"

#include <cstdlib>

namespace vltrx::platform {

std::filesystem::path tempPath() {
  const char* t = std::getenv("TMPDIR");
  if (t && *t) return t;
  return "/tmp";
}

}  // namespace vltrx::platform
