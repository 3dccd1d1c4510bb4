// Import recipes and export stylesheets of plug-in formats. Commands are
// split into arguments by us and started without a shell, so a file name
// with blanks, quotes, ";" or "$(...)" reaches the program as one argument,
// unchanged.
#include "app/PluginDriver.h"

#include "app/CommandLine.h"
#include "app/ConversionJob.h"
#include "app/Driver.h"
#include "core/CError.h"
#include "core/MessageTable.h"
#include "core/Sink.h"
#include "framework/AllFormatOptions.h"
#include "framework/PluginFormats.h"
#include "framework/SettingsKey.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "ui/Ui.h"
#include "xml/NativeXmlDriver.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace vltrx {
namespace {

// A load step that reads a plug-in format runs that format's recipe in turn;
// a recipe that loads itself would never end.
constexpr int kMaxRecipeDepth = 4;
int g_recipeDepth = 0;

// Longest cmdline of a load step, as it always was; an exec command line may
// be as long as a Windows command line.
constexpr size_t kLoadLineLimit = 1024;
constexpr size_t kExecLineLimit = 32767;
constexpr size_t kLoadArgumentLimit = 128;

std::atomic<unsigned> g_tempCounter{0};

CError couldNotConvert() { return makeError(ErrorCode::CouldNotConvert); }

/// "Error %i occured during execution of MSXSL" with the exit code.
CError processorFailed(int code) {
  std::string message = text(285);
  const size_t at = message.find("%i");
  if (at != std::string::npos) message.replace(at, 2, std::to_string(code));
  return CError(ErrorCode::CouldNotConvert, message);
}

/// A name beside the target that no other run uses: ".<stem>-<pid>-<n><ext>".
fs::path temporaryBeside(const fs::path& folder, std::string_view stem, std::string_view ext) {
  std::string name(".");
  name += stem;
  name += '-';
  name += std::to_string(::getpid());
  name += '-';
  name += std::to_string(g_tempCounter.fetch_add(1));
  name += ext;
  return folder / name;
}

/// The temporary folder of one recipe run, below $TMPDIR/Trx_Temp; removed
/// with everything the recipe left in it when the run ends.
class RecipeFolder {
 public:
  RecipeFolder() {
    fs::path base = platform::tempPath() / "Trx_Temp";
    std::error_code ec;
    fs::create_directories(base, ec);
    std::string pattern = (base / "run-XXXXXX").string();
    if (::mkdtemp(pattern.data())) m_path = pattern;
  }
  ~RecipeFolder() {
    std::error_code ec;
    if (!m_path.empty()) fs::remove_all(m_path, ec);
  }
  RecipeFolder(const RecipeFolder&) = delete;
  RecipeFolder& operator=(const RecipeFolder&) = delete;
  const fs::path& path() const { return m_path; }

 private:
  fs::path m_path;
};

uint32_t parseSuccessCode(std::string_view text) {
  int64_t v = 0;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, v);
  if (ec != std::errc()) return 0;
  return static_cast<uint32_t>(v);
}

void runExec(const RecipeStep& step, const RecipePlaceholders& values) {
  std::optional<std::string> cmdline = pluginAttribute(step.line, "cmdline", kExecLineLimit);
  if (!cmdline) throw couldNotConvert();
  std::vector<std::string> argv = platform::splitCommandLine(*cmdline);
  for (std::string& a : argv) a = substitutePlaceholders(a, values);
  const std::string op = pluginAttribute(step.line, "success_operator", 16).value_or(">=");
  const uint32_t success = parseSuccessCode(pluginAttribute(step.line, "success_code", 32).value_or("0"));
  int code = 0;
  if (!platform::runProgramIn(argv, platform::programFolder(), &code)) throw couldNotConvert();
  if (!exitCodeSucceeds(static_cast<uint32_t>(code), op, success)) throw couldNotConvert();
}

void runLoad(const RecipeStep& step, const RecipePlaceholders& values, BlockId parent, ConversionContext& context) {
  std::optional<std::string> cmdline = pluginAttribute(step.line, "cmdline", kLoadLineLimit);
  if (!cmdline) throw couldNotConvert();
  std::vector<std::string> args{"vltrx.exe"};
  bool defaults = false;
  for (const std::string& a : splitLoadCommandLine(*cmdline)) {
    if (a == "-default") {
      defaults = true;
      continue;
    }
    args.push_back(substitutePlaceholders(a, values));
  }
  // The step's switches change its own copy of the options, never the
  // running conversion's.
  AllFormatOptions options = context.options;
  if (defaults) options.loadAll(settingsKey(), false);
  ConversionJob job;
  job.pointIdPrefix = context.pointIdPrefix;
  if (parseArguments(args, job, options) != 0 || job.action != Action::Convert) throw couldNotConvert();
  readJobInput(job, options, context.ui, parent, context.keepOffsets, context.acceptDuplicateIds);
}

}  // namespace

std::optional<std::vector<RecipeStep>> readRecipe(const fs::path& script) {
  std::error_code ec;
  if (!fs::is_regular_file(script, ec)) return std::nullopt;
  std::ifstream in(script, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<RecipeStep> steps;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t lt = line.find('<');
    if (lt == std::string::npos) continue;
    std::string_view rest = std::string_view(line).substr(lt);
    if (rest.starts_with("<?exec"))
      steps.push_back({RecipeStep::Kind::Exec, line});
    else if (rest.starts_with("<?load"))
      steps.push_back({RecipeStep::Kind::Load, line});
  }
  return steps;
}

bool exitCodeSucceeds(uint32_t code, std::string_view op, uint32_t success) {
  if (op == "==") return code == success;
  if (op == "!=") return code != success;
  if (op == "<") return code < success;
  if (op == ">") return code > success;
  if (op == "<=" || op == "=<") return code <= success;
  return code >= success;  // ">=", "=>", missing or unknown
}

std::vector<std::string> splitLoadCommandLine(std::string_view line) {
  std::vector<std::string> args;
  std::string arg;
  bool inArg = false;
  char quote = 0;
  auto finish = [&] {
    if (!inArg) return;
    if (arg.size() > kLoadArgumentLimit) arg.resize(kLoadArgumentLimit);
    args.push_back(std::move(arg));
    arg.clear();
    inArg = false;
  };
  for (char c : line) {
    if (quote) {
      if (c == quote)
        quote = 0;
      else
        arg += c;
    } else if (c == '"' || c == '\'') {
      quote = c;
      inArg = true;
    } else if (c == ' ' || c == '\t') {
      finish();
    } else {
      arg += c;
      inArg = true;
    }
  }
  finish();
  return args;
}

std::string substitutePlaceholders(std::string_view arg, const RecipePlaceholders& values) {
  const std::pair<std::string_view, const std::string*> kNames[] = {{"%INFILE%", &values.inFile},
                                                                    {"%INFNAME%", &values.inName},
                                                                    {"%TRXTMP%", &values.tempFolder},
                                                                    {"%PID_IMP_OPT%", &values.pidOption}};
  std::string out;
  size_t i = 0;
  while (i < arg.size()) {
    bool replaced = false;
    if (arg[i] == '%') {
      for (const auto& [name, value] : kNames) {
        if (arg.substr(i).starts_with(name)) {
          out += *value;
          i += name.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += arg[i++];
  }
  return out;
}

fs::path xsltProcessorPath() {
  const char* p = std::getenv("VLTRX_XSLT_PROCESSOR");
  if (p && *p) return p;
  return platform::programFolder() / "msxsl";
}

void readXslt(const fs::path& file, BlockId parent, ConversionContext& context) {
  if (!context.format || context.format->type != kFormatXslt)
    throw makeError(ErrorCode::UnknownFileFormat, file.string());
  if (g_recipeDepth >= kMaxRecipeDepth) throw couldNotConvert();
  std::optional<std::vector<RecipeStep>> steps = readRecipe(context.format->scriptPath);
  if (!steps) throw makeError(ErrorCode::CannotOpenFile, context.format->scriptPath);

  RecipeFolder folder;
  if (folder.path().empty()) throw makeError(ErrorCode::CannotCreateFolder, (platform::tempPath() / "Trx_Temp").string());
  RecipePlaceholders values;
  std::error_code ec;
  fs::path full = fs::absolute(file, ec);
  values.inFile = (ec ? file : full).string();
  values.inName = file.stem().string();
  values.tempFolder = folder.path().string();
  values.pidOption = context.options.xslt.inAlphaNumIds ? "-alphanum:" : "-pidred";

  ++g_recipeDepth;
  struct DepthGuard {
    ~DepthGuard() { --g_recipeDepth; }
  } depthGuard;
  for (const RecipeStep& step : *steps) {
    if (step.kind == RecipeStep::Kind::Exec)
      runExec(step, values);
    else
      runLoad(step, values, parent, context);
  }
}

void writeXslt(BlockId layout, Sink& sink, ConversionContext& context) {
  const FileFormat* format = context.format;
  if (!format || format->type != kFormatXslt) throw makeError(ErrorCode::UnknownDataFormat, " ");
  if (format->scriptPath.size() < 3) throw CError(ErrorCode::CouldNotConvert, text(284));

  fs::path folder = context.outputFile.empty() ? platform::tempPath() : context.outputFile.parent_path();
  if (folder.empty()) folder = ".";
  // The processor runs in the program folder: every path it gets is absolute.
  std::error_code ec;
  folder = fs::absolute(folder, ec);
  if (ec) throw makeError(ErrorCode::CannotCreateFile, context.outputFile.string());
  // The native XML the stylesheet reads, and the processor's result; both
  // are removed when this function ends, however it ends.
  platform::SignalGuardedFile source(temporaryBeside(folder, "trx_tempfile", ".xml"));
  {
    FileSink xml(source.path());
    writeXml(layout, xml, context);
    xml.commit();
  }
  platform::SignalGuardedFile result(temporaryBeside(folder, "trx_output", ".tmp"));

  std::vector<std::string> argv{xsltProcessorPath().string(), source.path().string(), format->scriptPath, "-o",
                                result.path().string()};
  // Alphanumeric point ids of the input side (for DXF only together with
  // its point-id import) reach the stylesheet as parameters.
  bool alpha = false;
  if (const FormatOptions* in = context.options.find(context.inputType, FormatDirection::Import)) {
    alpha = in->inAlphaNumIds;
    if (context.inputType == kFormatDxf) alpha = alpha && context.options.dxf.pidImport;
  }
  if (alpha) {
    argv.push_back("alpha=1");
    argv.push_back("prefix=" + context.pointIdPrefix);
  }
  context.ui.setStatus(replaceFirstS(text(44), context.outputFile.filename().string()));
  int code = -1;
  if (!platform::runProgramIn(argv, platform::programFolder(), &code)) throw processorFailed(-1);
  if (code != 0) throw processorFailed(code);

  const int fd = ::open(result.path().c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw processorFailed(code);
  char buffer[64 * 1024];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      throw makeError(ErrorCode::CannotOpenFile, result.path().string());
    }
    if (n == 0) break;
    sink.write(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
}

}  // namespace vltrx
