// Fuzz target for option-file loading: any bytes are loaded into settings
// stores in a private temporary folder, then the loaded values are
// enumerated and exported again. Loading must end normally whatever the
// input; the stores are renewed now and then so they do not grow without end.
#include "core/CError.h"
#include "framework/OptionFile.h"
#include "framework/SettingsKey.h"
#include "platform/SettingsStore.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using vltrx::platform::SettingsStore;

struct State {
  std::filesystem::path dir;
  std::filesystem::path input;
  std::unique_ptr<SettingsStore> user;
  std::unique_ptr<SettingsStore> machine;
  vltrx::SettingsKey key;
  int runs = 0;

  State() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vltrx-optfuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    dir = pattern;
    input = dir / "input.trxopt";
    setenv("VLTRX_USER_SETTINGS", (dir / "user" / "settings.db").c_str(), 1);
    setenv("VLTRX_MACHINE_SETTINGS", (dir / "machine" / "settings.db").c_str(), 1);
    renew();
  }

  ~State() {
    key.close();
    user.reset();
    machine.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  void renew() {
    key.close();
    user.reset();
    machine.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir / "user", ec);
    std::filesystem::remove_all(dir / "machine", ec);
    user = SettingsStore::openRoot(SettingsStore::Root::User, SettingsStore::Mode::Create);
    machine = SettingsStore::openRoot(SettingsStore::Root::Machine, SettingsStore::Mode::Create);
    if (!user || !machine || !key.create(vltrx::kProgramKeyPath)) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static State state;
  if (++state.runs % 2000 == 0) state.renew();

  std::FILE* f = std::fopen(state.input.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);

  // The input file exists and is regular: only a failed value write may fail.
  const int rc = vltrx::loadOptionFile(state.input, state.user.get(), state.machine.get());
  if (rc < 0 && rc != +vltrx::ErrorCode::CannotCreateFile) std::abort();
  for (const auto& v : state.user->values(vltrx::kProgramKeyPath))
    if (v.name.size() > SettingsStore::kMaxNameLength || v.data.size() > SettingsStore::kMaxDataSize)
      std::abort();
  std::string text = vltrx::optionFileText(state.key, vltrx::optionFilter(vltrx::kFormatAll, vltrx::kFormatAll));
  if (text.rfind("Windows Registry Editor Version 5.00\r\n\r\n", 0) != 0) std::abort();
  return 0;
}
