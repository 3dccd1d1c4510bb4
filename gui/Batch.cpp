// Planning and running the dialog's batch of child conversions.
#include "gui/Batch.h"

#include "platform/Process.h"

#include <fnmatch.h>

#include <system_error>

namespace vltrx::gui {

namespace fs = std::filesystem;

std::string withExtension(const std::string& path, const std::string& ext) {
  fs::path p(path);
  p.replace_extension(ext.empty() ? std::string() : "." + ext);
  return p.string();
}

bool matchesFilter(const std::string& name, const std::string& pattern) {
  return fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD | FNM_PERIOD) == 0;
}

BatchPlan planBatch(const BatchRequest& r) {
  BatchPlan plan;
  if (!r.folderMode) {
    BatchItem item{r.inputPath, r.outputPath};
    if (r.outputIsPlaceholder || r.outputPath.empty()) item.output = withExtension(r.inputPath, r.outputExtension);
    plan.items.push_back(std::move(item));
    return plan;
  }
  std::string folder = r.inputPath;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  std::string filter = r.inputFilter.empty() ? "*." + r.inputExtension : r.inputFilter;
  std::string outFolder = r.outputIsPlaceholder ? folder : r.outputPath;
  if (outFolder.empty()) {
    plan.errorText = 83;
    return plan;
  }
  if (outFolder.back() != '/') outFolder += '/';
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (!it->is_regular_file(typeEc)) continue;
    std::string name = it->path().filename().string();
    if (!matchesFilter(name, filter)) continue;
    plan.items.push_back({folder + name, withExtension(outFolder + name, r.outputExtension)});
  }
  return plan;
}

std::vector<std::string> conversionArguments(const fs::path& converter, const BatchItem& item,
                                             const std::string& inputExtension,
                                             const std::string& outputExtension) {
  return {converter.string(), item.input, item.output, "-in:" + inputExtension, "-out:" + outputExtension};
}

int runBatch(const BatchPlan& plan, const fs::path& converter, const std::string& inputExtension,
             const std::string& outputExtension, const ChildRunner& run) {
  int converted = 0;
  for (const BatchItem& item : plan.items)
    if (run(conversionArguments(converter, item, inputExtension, outputExtension)) == 0) ++converted;
  return converted;
}

int runChild(const std::vector<std::string>& argv) {
  int code = -1;
  if (!platform::runProgram(argv, &code)) return -1;
  return code;
}

}  // namespace vltrx::gui
