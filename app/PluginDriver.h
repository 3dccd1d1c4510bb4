// Running plug-in formats: an import recipe's "<?exec" and "<?load" steps,
// and an export stylesheet applied by the XSLT processor to a temporary
// native XML file. The scripts themselves are found by framework/PluginFormats.
#pragma once

#include "framework/Conversion.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {

/// Reader of format 12: runs the recipe of context.format's script for file;
/// the data its load steps read land below parent. Throws CError -2135
/// ("Could not convert file.") when an exec step fails.
void readXslt(const std::filesystem::path& file, BlockId parent, ConversionContext& context);

/// Writer of format 12: writes layout as native XML to a temporary file
/// beside context.outputFile, runs the processor with context.format's
/// stylesheet and hands its result to sink. The temporary files are removed
/// in every case, also when a signal ends the process. Throws CError -2135
/// with "Error %i occured during execution of MSXSL" when the processor
/// cannot be started or fails.
void writeXslt(BlockId layout, Sink& sink, ConversionContext& context);

/// One instruction of a recipe, in file order.
struct RecipeStep {
  enum class Kind { Exec, Load } kind;
  std::string line;  ///< the whole line, attributes still to be read
};
/// The instructions of a recipe file: lines whose first "<" starts "<?exec"
/// or "<?load". nullopt when the file cannot be read.
std::optional<std::vector<RecipeStep>> readRecipe(const std::filesystem::path& script);

/// The exec success rule: code compared with success by op ("==", "!=",
/// "<", ">", "<=" or "=<", ">=" or "=>"; anything else means ">=") as
/// unsigned 32-bit numbers.
bool exitCodeSucceeds(uint32_t code, std::string_view op, uint32_t success);

/// Splits a load command line at blanks; text between double or single
/// quotes keeps its blanks and loses the quotes; each argument is cut to
/// 128 characters.
std::vector<std::string> splitLoadCommandLine(std::string_view line);

/// What the recipe placeholders stand for.
struct RecipePlaceholders {
  std::string inFile;     ///< %INFILE%: the input file's full path
  std::string inName;     ///< %INFNAME%: its name without folder and extension
  std::string tempFolder; ///< %TRXTMP%: the temporary folder of the run
  std::string pidOption;  ///< %PID_IMP_OPT%: "-alphanum:" or "-pidred"
};
/// Replaces every placeholder of arg in one pass from left to right; the
/// replacement texts are not searched again (an input called
/// "%INFILE%.txt" must not make the substitution run forever).
std::string substitutePlaceholders(std::string_view arg, const RecipePlaceholders& values);

/// The XSLT processor wrapper: $VLTRX_XSLT_PROCESSOR, else "msxsl" in the
/// program folder.
std::filesystem::path xsltProcessorPath();

}  // namespace vltrx
