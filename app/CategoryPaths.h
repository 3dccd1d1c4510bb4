// The driver's category steps: the category list in force before a
// conversion, and the "*categories" export and import.
#pragma once

#include <string>

namespace vltrx {

class Ui;

/// Reads the category folders named in the settings into the list in force.
void loadActiveCategories(Ui& ui);
/// "*categories" as input: the user's own categories, written to path as a
/// native XML document holding only a category list.
void exportCategories(const std::string& path, Ui& ui);
/// "*categories" as output: the category list of the native XML file at
/// path, stored as category files in the folder for received categories.
void importCategories(const std::string& path, Ui& ui);

}  // namespace vltrx
