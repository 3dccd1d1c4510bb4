// Writing the native XML format: the measurement tree with its folders,
// layouts, polygons and points, and the categories they use.
#pragma once

#include "core/BlockStore.h"
#include "core/MeasurementTypes.h"
#include "core/Sink.h"
#include "xml/NativeXmlHooks.h"

#include <filesystem>

namespace vltrx {

class Ui;

/// Points whose x or y exceeds this many metres raise the coordinate warning.
constexpr double kNativeCoordinateLimit = 10000.1;

/// Writes the tree below root (root itself is not written; a layout given as
/// root is written alone) as a native XML
/// document: prolog, root element version "2.12", category_ref for the
/// categories in use (when categories is given), measurements. Before writing,
/// a point with x or y above 10000.1 m shows warning text 121 (Cancel throws
/// ExitRequest{1}). Progress runs over the written elements. Throws CError
/// (the sink's write errors, -613 for a broken tree).
void writeNativeXml(Sink& sink, BlockId root, PreferredSystem system, Ui& ui, NativeXmlCallback& callback,
                    NativeCategoryHooks* categories);

/// writeNativeXml into a file that replaces path only when the whole document
/// has been written (CError -2126 when it cannot be created or written).
void writeNativeXmlFile(const std::filesystem::path& path, BlockId root, PreferredSystem system, Ui& ui,
                        NativeXmlCallback& callback, NativeCategoryHooks* categories);

/// Writes a document that holds only the category list: prolog, root element,
/// one category_list, end of the root.
void writeCategoryListDocument(Sink& sink, NativeCategoryHooks& categories);

}  // namespace vltrx
