// Reading the native XML format into the measurement store.
#pragma once

#include "core/BlockStore.h"
#include "core/MeasurementTypes.h"
#include "xml/NativeXmlHooks.h"

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace vltrx {

class Ui;

struct NativeReadOptions {
  /// Check (and assign) the point numbers of every layout read.
  bool checkPointNumbers = true;
  /// Keep the layout offsets instead of adding them to the points.
  bool keepOffsets = false;
};

struct NativeReadResult {
  /// Layouts created by the read, in document order (replaced ones excluded).
  std::vector<BlockId> layouts;
  /// The preferred_system of the measurements element, when it had one (the
  /// process-wide preferred system has been set to it as well).
  std::optional<PreferredSystem> preferredSystem;
};

/// Reads the native XML file at path into the store below parent. Folders and
/// layouts whose name exists below their parent are replaced or skipped as the
/// callback answers; categories go through the hooks (null: category elements
/// are skipped and category ids dropped). Throws CError with the parser's line
/// appended to the message: -2101 when the file cannot be opened, the XML
/// codes -405 and -501 to -510, -602, -612, -707, -708, -907, -921, -701 for
/// a negative point number. A layout that fails half-way is removed again;
/// what was read before it stays.
NativeReadResult readNativeXml(const std::filesystem::path& path, BlockId parent, const NativeReadOptions& options,
                               Ui& ui, NativeXmlCallback& callback, NativeCategoryHooks* categories);

/// The same for a document in memory.
NativeReadResult readNativeXmlText(std::string_view document, BlockId parent, const NativeReadOptions& options,
                                   Ui& ui, NativeXmlCallback& callback, NativeCategoryHooks* categories);

}  // namespace vltrx
