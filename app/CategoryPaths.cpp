// The driver's category steps, on top of the category store.
#include "app/CategoryPaths.h"

#include "core/CError.h"

namespace vltrx {

void loadActiveCategories(Ui&) {}

void exportCategories(const std::string&, Ui&) { throw makeError(ErrorCode::CategoryLocationNotSet); }

void importCategories(const std::string&, Ui&) { throw makeError(ErrorCode::CategoryLocationNotSet); }

}  // namespace vltrx
