// Fuzz target for the category-file reader: any input must parse to a
// category or one of the reader's codes; the file reader (block input from
// disk) must agree with the in-memory parser; a category read must write a
// file that reads again.
#include "xml/CategoryFile.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

using vltrx::CategoryRecord;

bool same(const CategoryRecord& a, const CategoryRecord& b) {
  return a.name == b.name && a.codePage == b.codePage && a.red == b.red && a.green == b.green &&
         a.blue == b.blue && a.id == b.id && a.surface == b.surface &&
         (a.fixedHeight == b.fixedHeight || (a.fixedHeight != a.fixedHeight && b.fixedHeight != b.fixedHeight));
}

const std::filesystem::path& scratchFile() {
  static const std::filesystem::path path = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::filesystem::path p = std::filesystem::path(tmp && *tmp ? tmp : "/tmp") /
                              ("vltrx-category-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(p);
    return p / "Fuzz.vlcat";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CategoryRecord fromMemory;
  const int rc = vltrx::parseCategoryFile(input, "Fuzz", fromMemory);
  if (rc != 0 && rc != vltrx::kCategoryFileNoCategory) std::abort();

  // The same bytes through the file reader.
  const std::filesystem::path& file = scratchFile();
  if (std::FILE* f = std::fopen(file.c_str(), "wb")) {
    const bool written = std::fwrite(data, 1, size, f) == size;
    std::fclose(f);
    if (written) {
      CategoryRecord fromFile;
      const int fileRc = vltrx::readCategoryFile(file, fromFile);
      if (fileRc != rc) std::abort();
      if (rc == 0 && !same(fromMemory, fromFile)) std::abort();
    }
  }

  if (rc == 0) {
    // What was read can be written, and the written file reads again with
    // the same colour, id and surface kind.
    const std::string bytes = vltrx::formatCategoryFile(fromMemory);
    CategoryRecord again;
    if (vltrx::parseCategoryFile(bytes, "x", again) != 0) std::abort();
    if (again.red != fromMemory.red || again.green != fromMemory.green || again.blue != fromMemory.blue ||
        again.id != fromMemory.id)
      std::abort();
    const bool knownSurface = static_cast<uint32_t>(fromMemory.surface) <= 3;
    if (knownSurface && again.surface != fromMemory.surface) std::abort();
    (void)vltrx::categoryFileName(fromMemory.name);
  }
  return 0;
}
