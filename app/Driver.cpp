// The conversion road: derive formats, read the input file or folder into
// the store, apply scale and swap, write one file or one file per layout,
// then empty the store. Output files are written to a temporary file beside
// the target and renamed over it only when the writer finished, so a failed
// conversion never leaves a truncated file under the output name.
#include "app/Driver.h"

#include "app/CategoryPaths.h"
#include "app/FormatDrivers.h"
#include "core/CError.h"
#include "core/MeasurementTree.h"
#include "core/MessageTable.h"
#include "core/Sink.h"
#include "framework/AllFormatOptions.h"
#include "framework/FormatTable.h"
#include "framework/ScaleSwap.h"
#include "platform/Files.h"
#include "ui/Ui.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace vltrx {
namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

/// Empties the store and closes the progress window however the run ends.
struct RunGuard {
  Ui& ui;
  ~RunGuard() {
    resetMeasurementStore();
    ui.closeProgress();
  }
};

FormatType formatFromExtension(const FormatList& list, const fs::path& path) {
  std::string ext = path.extension().string();
  if (ext.size() < 2) return kFormatNone;
  const FileFormat* f = findFormatByExtension(list, ext);
  return f ? f->type : kFormatNone;
}

/// True when the file's extension belongs to the format's filter.
bool matchesFormat(const fs::path& file, FormatType type) {
  std::string ext = lower(file.extension().string());
  if (ext.size() < 2) return false;
  for (const FileFormat& f : importFormats()) {
    if (f.type != type) continue;
    std::string pattern = "*" + ext + ";";
    if (lower(f.filter).find(pattern) != std::string::npos) return true;
  }
  return false;
}

/// The list entry of a format: the one the command-line name or the file's
/// extension names (plug-ins share a type), else the first of its type.
const FileFormat* formatEntry(const FormatList& list, FormatType type, const std::string& name, const fs::path& path,
                              FormatDirection direction) {
  const FileFormat* f = findFormatByName(list, name, direction);
  if (!f && path.extension().string().size() >= 2) f = findFormatByExtension(list, path.extension().string());
  if (f && f->type == type) return f;
  for (const FileFormat& e : list)
    if (e.type == type) return &e;
  return nullptr;
}

/// The extension of files written in a format: the first of the chosen
/// entry's filter (plug-ins share a type), else of the first entry of the type.
std::string outputExtension(FormatType type, const FileFormat* entry = nullptr) {
  std::string ext = ".";
  if (entry && entry->type == type && !firstExtension(*entry).empty()) return ext + firstExtension(*entry);
  for (const FileFormat& f : exportFormats()) {
    if (f.type == type) {
      ext += firstExtension(f);
      return ext;
    }
  }
  return ".xml";
}

/// True when both paths name the same file (device and inode), however
/// they are spelled: "a.csv", "./a.csv", a symlink to it.
bool sameFile(const fs::path& a, const fs::path& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

/// Finds or creates the SubFolder name below parent. Returns 0 when a folder
/// of that name exists already (the caller warns and skips it).
BlockId createSubFolder(BlockId parent, const std::string& name) {
  int pos = findChildPosition(parent, name, true);
  if (pos < 0) return 0;
  BlockId node = createNode(name, true);
  if (!node) throw makeError(ErrorCode::StorageExceeded);
  int r = linkChild(parent, static_cast<uint32_t>(pos), node);
  if (r < 0) {
    deleteNode(node);
    throw makeError(r);
  }
  return node;
}

class Conversion {
 public:
  Conversion(ConversionJob& job, AllFormatOptions& options, Ui& ui) : m_job(job), m_options(options), m_ui(ui) {}

  int run();
  /// The load step of an import recipe: the input only, below parent.
  void readOnly(BlockId parent, bool keepOffsets, bool acceptDuplicateIds);

 private:
  void deriveInputFormat();
  void deriveFormats();
  void readInput(BlockId parent);
  int readFolder(const fs::path& folder, BlockId parent);
  void readFile(const fs::path& file, BlockId parent);
  ConversionContext context(const FileFormat* format) const;
  void applyScaleAndSwap();
  void writeOutput();
  void writeLayout(BlockId layout, const fs::path& target, FormatType type, bool wholeTree);
  std::vector<std::pair<BlockId, fs::path>> layoutsWithPaths() const;

  ConversionJob& m_job;
  AllFormatOptions& m_options;
  Ui& m_ui;
  FormatType m_in = kFormatNone;
  FormatType m_out = kFormatNone;
  const FileFormat* m_inEntry = nullptr;
  const FileFormat* m_outEntry = nullptr;
  bool m_inputIsFolder = false;
  bool m_outputIsFolder = false;  // an existing folder, or a path ending in '/'
  fs::path m_outputPath;
  std::vector<fs::path> m_written;  // every file written, native XML copies included
  // The read rules of the output format (set by readOnly for a recipe's load).
  std::optional<std::pair<bool, bool>> m_readRules;
};

void Conversion::deriveInputFormat() {
  if (m_job.inputPath.empty()) throw makeError(ErrorCode::NoInputPath);
  m_in = m_job.inputFormat == kAllFormats ? kFormatNone : m_job.inputFormat;
  std::error_code ec;
  m_inputIsFolder = fs::is_directory(m_job.inputPath, ec);
  if (m_in == kFormatNone && !m_inputIsFolder) m_in = formatFromExtension(importFormats(), m_job.inputPath);
  if (m_in == kFormatNone) throw makeError(ErrorCode::InFormatMissing);
}

void Conversion::deriveFormats() {
  deriveInputFormat();
  m_out = m_job.outputFormat == kAllFormats ? kFormatNone : m_job.outputFormat;
  std::error_code ec;

  m_outputPath = m_job.outputPath;
  m_outputIsFolder = !m_outputPath.empty() && (fs::is_directory(m_outputPath, ec) || m_job.outputPath.back() == '/');
  if (m_out == kFormatNone) {
    if (m_outputPath.empty() || m_outputIsFolder) throw makeError(ErrorCode::OutFormatMissing);
    m_out = formatFromExtension(exportFormats(), m_outputPath);
    if (m_out == kFormatNone) {
      if (m_outputPath.extension().string().size() < 2) throw makeError(ErrorCode::OutFormatMissing);
      throw makeError(ErrorCode::UnknownFileFormat, m_job.outputPath);
    }
  }
  // Formats this build cannot read or write fail before any work is done.
  const FormatDriver* writer = formatDriver(m_out);
  if (!writer || !writer->write) {
    std::string name = m_job.outputFormatName.empty() ? outputExtension(m_out).substr(1) : m_job.outputFormatName;
    throw makeError(ErrorCode::UnknownDataFormat, name);
  }
  const FormatDriver* reader = formatDriver(m_in);
  if (!reader || !reader->read) throw makeError(ErrorCode::UnknownFileFormat, m_job.inputPath);
  m_inEntry = formatEntry(importFormats(), m_in, m_job.inputFormatName, m_job.inputPath, FormatDirection::Import);
  m_outEntry = formatEntry(exportFormats(), m_out, m_job.outputFormatName, m_outputPath, FormatDirection::Export);
  if (m_outputPath.empty()) {
    // No output named: beside the input, with the output format's extension.
    if (m_inputIsFolder) throw makeError(ErrorCode::NoOutputFile);
    m_outputPath = fs::path(m_job.inputPath).replace_extension(outputExtension(m_out, m_outEntry));
  }
}

void Conversion::readOnly(BlockId parent, bool keepOffsets, bool acceptDuplicateIds) {
  deriveInputFormat();
  const FormatDriver* reader = formatDriver(m_in);
  if (!reader || !reader->read) throw makeError(ErrorCode::UnknownFileFormat, m_job.inputPath);
  m_inEntry = formatEntry(importFormats(), m_in, m_job.inputFormatName, m_job.inputPath, FormatDirection::Import);
  m_readRules = std::make_pair(keepOffsets, acceptDuplicateIds);
  readInput(parent);
}

void Conversion::readFile(const fs::path& file, BlockId parent) {
  const FormatDriver* driver = formatDriver(m_in);
  if (!driver || !driver->read) throw makeError(ErrorCode::UnknownFileFormat, file.string());
  m_ui.resetProgress();
  m_ui.setStatus(replaceFirstS(text(43), file.filename().string()));
  ConversionContext readContext = context(m_inEntry);
  if (m_readRules) {
    readContext.keepOffsets = m_readRules->first;
    readContext.acceptDuplicateIds = m_readRules->second;
  } else if (const FormatCard* out = formatCard(m_out)) {
    readContext.keepOffsets = out->keepsOffsets;
    readContext.acceptDuplicateIds = out->toleratesDuplicateIds;
  }
  driver->read(file, parent, readContext);
}

ConversionContext Conversion::context(const FileFormat* format) const {
  ConversionContext c{m_options, m_ui, format};
  c.inputCodePage = m_job.inputCodePage;
  c.outputCodePage = m_job.outputCodePage;
  c.pointIdPrefix = m_job.pointIdPrefix;
  c.inputType = m_in;
  return c;
}

/// Reads every matching file of folder (sorted by name) and recurses into
/// its subfolders; returns the number of files read.
int Conversion::readFolder(const fs::path& folder, BlockId parent) {
  std::vector<fs::path> files, folders;
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  if (ec) return -1;
  for (; it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code e2;
    if (it->is_directory(e2))
      folders.push_back(it->path());
    else if (it->is_regular_file(e2) && matchesFormat(it->path(), m_in))
      files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  int read = 0;
  for (const fs::path& f : files) {
    readFile(f, parent);
    ++read;
  }
  for (const fs::path& sub : folders) {
    std::string name = sub.filename().string();
    std::error_code probe;
    fs::directory_iterator test(sub, probe);
    if (probe) {
      std::string path = sub.string();
      m_ui.messageBox(text(40), &path, text(16), Ui::Buttons::Ok, Ui::Icon::Warning);
      continue;
    }
    BlockId node = createSubFolder(parent, name);
    if (!node) {
      std::string path = sub.string();
      m_ui.messageBox(text(41), &path, text(16), Ui::Buttons::Ok, Ui::Icon::Warning);
      continue;
    }
    int n = readFolder(sub, node);
    if (n <= 0) {
      // Nothing of the format below: leave no empty folder behind.
      deleteNode(node);
      continue;
    }
    read += n;
  }
  return read;
}

void Conversion::readInput(BlockId root) {
  if (!root) throw makeError(ErrorCode::StorageExceeded);
  if (m_inputIsFolder) {
    int n = readFolder(m_job.inputPath, root);
    if (n <= 0) throw makeError(ErrorCode::NoDataInFolder, m_job.inputPath);
  } else {
    // Regular files only, as in a folder: a FIFO or /dev/zero would hang.
    std::error_code ec;
    if (!fs::is_regular_file(m_job.inputPath, ec)) throw makeError(ErrorCode::CannotOpenFile, m_job.inputPath);
    readFile(m_job.inputPath, root);
  }
}

void Conversion::applyScaleAndSwap() {
  std::optional<std::string_view> swap;
  if (!m_job.swapText.empty()) swap = m_job.swapText;
  ScaleSwap t = combineScaleSwap(m_in, m_options.find(m_in, FormatDirection::Import), m_out,
                                 m_options.find(m_out, FormatDirection::Export), m_job.scale, swap);
  if (t.isIdentity()) return;
  int r = applyScaleSwapToTree(t, rootFolder());
  if (r < 0) throw makeError(r);
}

/// Every layout of the tree with its path relative to the output folder:
/// the subfolders of the store become subfolders of the output. Names come
/// from the input file, so each one is made a safe path component: no name
/// can climb out of the output folder or put control characters into a
/// file name.
std::vector<std::pair<BlockId, fs::path>> Conversion::layoutsWithPaths() const {
  std::vector<std::pair<BlockId, fs::path>> out;
  std::vector<std::string> folders;
  BlockId root = rootFolder();
  visit(root, [&](BlockId node, int phase) {
    if (phase == 0) {
      fs::path rel;
      for (const auto& f : folders) rel /= f;
      out.emplace_back(node, rel / platform::safePathComponent(nodeName(node)));
    } else if (node != root) {
      if (phase == 1)
        folders.push_back(platform::safePathComponent(nodeName(node)));
      else
        folders.pop_back();
    }
    return 1;
  });
  return out;
}

void Conversion::writeLayout(BlockId layout, const fs::path& target, FormatType type, bool wholeTree) {
  const FormatDriver* driver = formatDriver(type);
  if (!driver || !driver->write) throw makeError(ErrorCode::UnknownDataFormat, m_job.outputFormatName);
  m_ui.resetProgress();
  std::string shown = target.filename().string();
  m_ui.setStatus(shown == "$$vlcc$$.xml" ? text(46) : replaceFirstS(text(44), shown));
  std::error_code ec;
  if (fs::exists(target, ec) && !m_ui.askOverwrite(target.string())) throw ExitRequest{+ErrorCode::Cancelled};
  FileSink sink(target);
  ConversionContext writeContext =
      context(type == m_out ? m_outEntry : formatEntry(exportFormats(), type, {}, target, FormatDirection::Export));
  writeContext.wholeTree = wholeTree;
  writeContext.outputFile = target;
  driver->write(layout, sink, writeContext);
  sink.commit();
}

void Conversion::writeOutput() {
  auto layouts = layoutsWithPaths();
  bool toFolder = m_inputIsFolder || m_outputIsFolder;
  std::vector<fs::path> written;
  if (toFolder) {
    std::string ext = outputExtension(m_out, m_outEntry);
    for (const auto& [layout, rel] : layouts) {
      fs::path target = m_outputPath / rel;
      target += ext;
      std::error_code mk;
      fs::create_directories(target.parent_path(), mk);
      if (mk || !fs::is_directory(target.parent_path(), mk))
        throw makeError(ErrorCode::CannotCreateFolder, target.parent_path().string());
      writeLayout(layout, target, m_out, false);
      written.push_back(target);
    }
  } else {
    // A plug-in's stylesheet reads one native XML document, which holds the
    // whole tree: one output file takes every layout.
    const bool wholeTreeFormat = m_out == kFormatXslt && !layouts.empty();
    if (layouts.size() != 1 && !wholeTreeFormat) throw makeError(ErrorCode::SingleLayoutRequired);
    writeLayout(layouts[0].first, m_outputPath, m_out, true);
    written.push_back(m_outputPath);
  }
  if (m_job.xmlCopy && m_out != kFormatXml) {
    const size_t outputs = written.size();
    for (size_t i = 0; i < outputs; ++i) {
      fs::path copy = written[i];
      copy.replace_extension(".xml");
      writeLayout(layouts[i].first, copy, kFormatXml, !toFolder);
      written.push_back(copy);
    }
  }
  m_written = std::move(written);
}

int Conversion::run() {
  RunGuard guard{m_ui};
  m_ui.openProgress();
  m_ui.resetProgress();

  if (m_job.inputPath == "*categories") {
    if (m_job.outputPath.empty()) throw makeError(ErrorCode::NoOutputFile);
    m_ui.setStatus(text(93));
    exportCategories(m_job.outputPath, m_ui);
    return 0;
  }
  if (m_job.outputPath == "*categories") {
    if (m_job.inputPath.empty()) throw makeError(ErrorCode::NoInputPath);
    m_ui.setStatus(text(91));
    importCategories(m_job.inputPath, m_ui);
    return 0;
  }

  loadActiveCategories(m_ui);
  deriveFormats();
  readInput(rootFolder());
  applyScaleAndSwap();
  writeOutput();
  // The source goes only when it is not one of the files just written (an
  // output path that names the input replaced it with the converted data).
  const bool sourceWritten = std::any_of(m_written.begin(), m_written.end(),
                                         [&](const fs::path& p) { return sameFile(p, m_job.inputPath); });
  if (m_job.deleteSource && !m_inputIsFolder && !sourceWritten) {
    std::error_code ec;
    fs::remove(m_job.inputPath, ec);
  }
  return 0;
}

}  // namespace

int convert(ConversionJob& job, AllFormatOptions& options, Ui& ui) {
  Conversion conversion(job, options, ui);
  return conversion.run();
}

void readJobInput(ConversionJob& job, AllFormatOptions& options, Ui& ui, BlockId parent, bool keepOffsets,
                  bool acceptDuplicateIds) {
  Conversion conversion(job, options, ui);
  conversion.readOnly(parent, keepOffsets, acceptDuplicateIds);
}

}  // namespace vltrx
