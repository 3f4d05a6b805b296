// Registry reads, one Win32 call each, with the platform's own status codes.
#include "platform/win32/Win32Platform.h"

namespace cvi::win32 {

long Win32Registry::OpenKey(Key root,
                            const std::string& subKey,
                            std::uint32_t options,
                            std::uint32_t access,
                            Key* result) {
  HKEY key = nullptr;
  const LONG status = RegOpenKeyExA(reinterpret_cast<HKEY>(root), subKey.c_str(), options,
                                    static_cast<REGSAM>(access), &key);
  if (result)
    *result = status == ERROR_SUCCESS ? reinterpret_cast<Key>(key) : 0;
  return status;
}

long Win32Registry::QueryValue(Key key,
                               const std::string& name,
                               std::uint32_t* type,
                               std::uint8_t* data,
                               std::uint32_t* size) {
  DWORD valueType = 0;
  DWORD valueSize = size ? *size : 0;
  const LONG status = RegQueryValueExA(reinterpret_cast<HKEY>(key), name.c_str(), nullptr,
                                       &valueType, data, size ? &valueSize : nullptr);
  if (type)
    *type = valueType;
  if (size)
    *size = valueSize;
  return status;
}

long Win32Registry::CloseKey(Key key) {
  return RegCloseKey(reinterpret_cast<HKEY>(key));
}

}  // namespace cvi::win32
