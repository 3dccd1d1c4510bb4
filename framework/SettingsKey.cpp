// Placeholder until the settings store lands.
#include "framework/SettingsKey.h"
namespace vltrx {
SettingsKey& settingsKey() {
  static SettingsKey key;
  return key;
}
}  // namespace vltrx
