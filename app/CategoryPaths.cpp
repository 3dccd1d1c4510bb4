// The driver's category steps, on top of the category store.
#include "app/CategoryPaths.h"

#include "core/BlockStore.h"
#include "core/CError.h"
#include "core/MeasurementTree.h"
#include "core/MessageTable.h"
#include "core/RecordStore.h"
#include "core/Sink.h"
#include "framework/SettingsKey.h"
#include "ui/Ui.h"
#include "xml/CategoryList.h"
#include "xml/CategoryStore.h"
#include "xml/CategoryXml.h"
#include "xml/NativeXmlReader.h"
#include "xml/NativeXmlWriter.h"

#include <filesystem>

namespace vltrx {

void loadActiveCategories(Ui&) {
  SettingsKey key = openCategorySettings(false);
  loadActiveCategoryList(key);
}

void exportCategories(const std::string& path, Ui& ui) {
  SettingsKey key = openCategorySettings(false);
  BlockId list = readMyCategories(key);
  struct ListGuard {
    BlockId id;
    ~ListGuard() {
      if (id) blockStore().free(id);
    }
  } guard{list};
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && !ui.askOverwrite(path)) throw ExitRequest{+ErrorCode::Cancelled};
  NativeXmlCallback callback(0);
  CategoryXmlHooks hooks(&callback, list);
  FileSink sink(path);
  writeCategoryListDocument(sink, hooks);
  sink.commit();
}

void importCategories(const std::string& path, Ui& ui) {
  SettingsKey key = openCategorySettings(false);
  // Fail before reading when the received folder is not set or unreachable.
  receivedCategoriesFolder(key);
  clearActiveCategoryList();
  NativeReadOptions options;
  options.checkPointNumbers = false;
  options.keepOffsets = true;
  NativeXmlCallback callback(0);
  CategoryXmlHooks hooks(&callback);
  readNativeXml(path, rootFolder(), options, ui, callback, &hooks);
  ui.setStatus("");
  ui.enableCancel(false);
  storeReceivedCategories(key, categoryEntries(currentCategoryList()));
  ui.enableCancel(true);
}

}  // namespace vltrx
