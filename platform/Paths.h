// Where the converter keeps its files on this platform.
#pragma once

#include <filesystem>

namespace vltrx::platform {

/// The user's temporary folder ($TMPDIR, else /tmp).
std::filesystem::path tempPath();

}  // namespace vltrx::platform
