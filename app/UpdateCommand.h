// "vltrx -checkupdate": the update check from the command line.
#pragma once

#include <cstdio>

namespace vltrx {

/// Checks the update service for a newer vltrx as the menu command does,
/// printing the progress lines (and, for a newer version, the question and
/// the download page) on out. Returns 0 when the service answered (newer
/// version or not), else the result code: -1 no Internet connection, -2
/// service not reachable, -3 out of memory.
int runUpdateCheck(std::FILE* out);

}  // namespace vltrx
