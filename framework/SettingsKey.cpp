// Settings key over the per-user and machine-wide settings stores.
#include "framework/SettingsKey.h"

#include "core/Numbers.h"
#include "platform/Paths.h"
#include "platform/SettingsStore.h"

#include <cstring>
#include <utility>

namespace vltrx {

using platform::SettingsStore;
using platform::SettingsValue;
using platform::ValueType;

namespace {

bool isString(const SettingsValue& v) {
  return v.type == ValueType::String || v.type == ValueType::ExpandString;
}

// String data as a C string would see it: up to the first NUL.
std::string_view stringData(const SettingsValue& v) {
  std::string_view s = v.data;
  size_t nul = s.find('\0');
  return nul == std::string_view::npos ? s : s.substr(0, nul);
}

std::string dwordBytes(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xff);
  return bytes;
}

// Hands a value read to the caller; a value not found leaves out alone
// unless defaults apply.
template <class T, class D>
bool deliver(bool found, T& out, T& value, const D& def, bool applyDefaults) {
  if (found)
    out = std::move(value);
  else if (applyDefaults)
    out = def;
  return found;
}

}  // namespace

SettingsKey::SettingsKey() = default;
SettingsKey::~SettingsKey() = default;
SettingsKey::SettingsKey(SettingsKey&&) noexcept = default;
SettingsKey& SettingsKey::operator=(SettingsKey&&) noexcept = default;

bool SettingsKey::open(std::string_view keyPath) { return openStores(keyPath, false, Access::Read); }

bool SettingsKey::create(std::string_view keyPath, Access access) {
  return openStores(keyPath, true, access);
}

bool SettingsKey::openStores(std::string_view keyPath, bool create, Access access) {
  close();
  m_path = std::string(keyPath);
  // The per-user store is created on demand; the machine-wide one is read
  // only, and only when the installation made it.
  m_user = SettingsStore::openRoot(SettingsStore::Root::User,
                                   create ? SettingsStore::Mode::Create : SettingsStore::Mode::Read);
  if (m_user && create && m_user->createKey(keyPath)) {
    m_userWritable = access == Access::Full;
  } else if (m_user && !m_user->keyExists(keyPath)) {
    // Not writable: read access is enough when the key is already there.
    m_user.reset();
  } else if (!m_user) {
    std::error_code ec;
    const std::filesystem::path file = platform::userSettingsPath();
    if (std::filesystem::is_regular_file(file, ec)) m_unreadableUser = file;
  }
  m_machine = SettingsStore::openRoot(SettingsStore::Root::Machine, SettingsStore::Mode::Read);
  if (m_machine && !m_machine->keyExists(keyPath)) m_machine.reset();
  return valid();
}

void SettingsKey::close() {
  m_user.reset();
  m_machine.reset();
  m_userWritable = false;
  m_unreadableUser.clear();
  m_path.clear();
}

bool SettingsKey::valid() const { return m_user || m_machine; }

template <class Accept>
bool SettingsKey::readFirst(std::string_view name, Accept accept) const {
  for (const SettingsStore* store : {m_user.get(), m_machine.get()}) {
    if (!store) continue;
    std::optional<SettingsValue> v = store->read(m_path, name);
    if (v && accept(*v)) return true;
  }
  return false;
}

bool SettingsKey::readDword(std::string_view name, uint32_t& out, uint32_t def) const {
  uint32_t value = 0;
  bool found = readFirst(name, [&](const SettingsValue& v) {
    if (v.type != ValueType::Dword || v.data.size() != 4) return false;
    const auto* b = reinterpret_cast<const unsigned char*>(v.data.data());
    value = uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
    return true;
  });
  return deliver(found, out, value, def, applyDefaults);
}

bool SettingsKey::readBool(std::string_view name, bool& out, bool def) const {
  bool value = false;
  bool found = readFirst(name, [&](const SettingsValue& v) {
    if (v.type != ValueType::Dword || v.data.size() != 4) return false;
    value = std::memcmp(v.data.data(), "\0\0\0\0", 4) != 0;
    return true;
  });
  return deliver(found, out, value, def, applyDefaults);
}

bool SettingsKey::readDouble(std::string_view name, double& out, double def) const {
  double value = 0;
  bool found = readFirst(name, [&](const SettingsValue& v) {
    return isString(v) && parseLeadingDouble(stringData(v), value) > 0;
  });
  return deliver(found, out, value, def, applyDefaults);
}

bool SettingsKey::readChar(std::string_view name, char& out, char def) const {
  char value = 0;
  bool found = readFirst(name, [&](const SettingsValue& v) {
    std::string_view s = stringData(v);
    if (!isString(v) || s.empty()) return false;
    value = s[0];
    return true;
  });
  return deliver(found, out, value, def, applyDefaults);
}

bool SettingsKey::readString(std::string_view name, std::string& out, std::string_view def) const {
  std::string value;
  bool found = readFirst(name, [&](const SettingsValue& v) {
    if (!isString(v)) return false;
    value = stringData(v);
    return true;
  });
  return deliver(found, out, value, def, applyDefaults);
}

bool SettingsKey::writeAll(std::string_view name, ValueType type, std::string_view data) {
  if (name.size() > kMaxNameLength || data.size() > kMaxDataSize) return false;
  return m_user && m_userWritable && m_user->write(m_path, name, type, data);
}

bool SettingsKey::writeDword(std::string_view name, uint32_t value) {
  return writeAll(name, ValueType::Dword, dwordBytes(value));
}

bool SettingsKey::writeBool(std::string_view name, bool value) { return writeDword(name, value ? 1 : 0); }

bool SettingsKey::writeDouble(std::string_view name, double value) {
  return writeAll(name, ValueType::String, formatFixed(value, 10));
}

bool SettingsKey::writeChar(std::string_view name, char value) {
  return writeAll(name, ValueType::String, std::string_view(&value, 1));
}

bool SettingsKey::writeString(std::string_view name, std::string_view value) {
  return writeAll(name, ValueType::String, value);
}

bool SettingsKey::writeValue(std::string_view name, ValueType type, std::string_view data) {
  return writeAll(name, type, data);
}

bool SettingsKey::deleteValue(std::string_view name) {
  return m_user && m_userWritable && m_user->remove(m_path, name);
}

SettingsKey& settingsKey() {
  static SettingsKey key;
  return key;
}

}  // namespace vltrx
