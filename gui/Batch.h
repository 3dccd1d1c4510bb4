// The batch of the main dialog without any Qt: which files a conversion
// covers, where each one is written, the command line of the child that
// converts it, and the count of the children that succeeded.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vltrx::gui {

/// What the dialog holds when Convert is pressed.
struct BatchRequest {
  bool folderMode = false;
  std::string inputPath;    ///< file (file mode) or folder (folder mode)
  std::string inputFilter;  ///< folder mode: name pattern, empty = "*." + input extension
  std::string outputPath;   ///< file or folder; placeholder = same name/folder as input
  bool outputIsPlaceholder = false;
  std::string inputExtension;   ///< first extension of the import entry ("csv")
  std::string outputExtension;  ///< first extension of the export entry ("dxf")
};

/// One child conversion.
struct BatchItem {
  std::string input;
  std::string output;
};

/// Result of planning: the items, or an error text id (83 "No output folder
/// specified") with nothing to convert.
struct BatchPlan {
  std::vector<BatchItem> items;
  int errorText = -1;
};

/// Path with its extension replaced by ext (no dot): "a/b.dxf", "csv" gives
/// "a/b.csv"; a name without extension gets one.
std::string withExtension(const std::string& path, const std::string& ext);

/// True when name matches the pattern ("*", "?" and character classes, as
/// the shell matches names; case-insensitive like the Windows finder).
bool matchesFilter(const std::string& name, const std::string& pattern);

/// File mode: one item (the placeholder output becomes the input's folder
/// and name with the output extension). Folder mode: every regular file of
/// the folder that matches the filter, in file-system order, to the output
/// folder (the input folder for the placeholder) under its own name with the
/// output extension.
BatchPlan planBatch(const BatchRequest& request);

/// The child's arguments for one item: the converter, input, output,
/// "-in:<ext>", "-out:<ext>". Each is its own argument; no shell sees them.
std::vector<std::string> conversionArguments(const std::filesystem::path& converter, const BatchItem& item,
                                             const std::string& inputExtension,
                                             const std::string& outputExtension);

/// Runs one child; returns its exit status, or -1 when it could not start.
using ChildRunner = std::function<int(const std::vector<std::string>& argv)>;

/// Runs every item one after the other; returns how many ended with 0.
int runBatch(const BatchPlan& plan, const std::filesystem::path& converter, const std::string& inputExtension,
             const std::string& outputExtension, const ChildRunner& run);

/// The runner of the program: platform::runProgram, which waits for the
/// child without time-out.
int runChild(const std::vector<std::string>& argv);

}  // namespace vltrx::gui
