// Reads a machine-wide environment variable straight from the registry.
#include "platform/SysEnvVar.h"

#include <vector>

namespace cvi {
namespace {

constexpr const char* kEnvironmentKey =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// Closes the key on every way out.
class OpenKey {
 public:
  OpenKey(Registry& registry, Registry::Key key) : registry_(registry), key_(key) {}
  ~OpenKey() { registry_.CloseKey(key_); }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  Registry::Key get() const { return key_; }

 private:
  Registry& registry_;
  Registry::Key key_;
};

}  // namespace

bool GetSysEnvVar(Registry& registry, const std::string& name, std::string& value) {
  Registry::Key raw = 0;
  if (registry.OpenKey(Registry::kLocalMachine, kEnvironmentKey, 0, Registry::kKeyRead, &raw) !=
      Registry::kSuccess) {
    return false;
  }
  OpenKey key(registry, raw);

  // Probe with a capacity of 0: the answer is "more data" with the size the value needs.
  std::uint32_t type = 0;
  std::uint8_t probe[4] = {0, 0, 0, 0};
  std::uint32_t size = 0;
  long status = registry.QueryValue(key.get(), name, &type, probe, &size);
  if (status != Registry::kSuccess && status != Registry::kMoreData)
    return false;

  // One byte more than stated, never filled, so that a value of size 0 needs no special buffer.
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size) + 1, 0);
  if (registry.QueryValue(key.get(), name, &type, data.data(), &size) != Registry::kSuccess) {
    return false;
  }
  // The data minus its last byte, the string's terminator; a value with no data at all reads as
  // the empty text.
  std::size_t length = size > 0 ? size - 1 : 0;
  value.assign(reinterpret_cast<const char*>(data.data()), length);
  return true;
}

bool SysEnvVarExists(Registry& registry, const std::string& name) {
  std::string scratch;
  return GetSysEnvVar(registry, name, scratch);
}

}  // namespace cvi
