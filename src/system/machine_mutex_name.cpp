#include "system/machine_mutex_name.h"

namespace tenvik {

std::wstring runMutexName(const std::wstring& product) { return L"Setup." + product; }

std::wstring namespacedMutexName(const std::wstring& name) {
  return std::wstring(kMutexNamespaceAlias) + L"." + name;
}

std::wstring globalMutexName(const std::wstring& name) { return L"Global\\Tenvik." + name; }

}  // namespace tenvik
