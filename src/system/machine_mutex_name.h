#pragma once
// The names of the machine-wide mutexes that keep runs apart. Pure; the
// Win32 side is machine_mutex.{h,cpp}.
//
// Each mutex has a short name (runMutexName, kRuntimeInstallMutexName) that
// lives in one of two places: the private namespace whose boundary names the
// Administrators group (namespacedMutexName), which only an elevated process
// can create or open, or, on a platform without private namespaces, the
// session-independent Global\ namespace (globalMutexName), where any user
// may create the name first.

#include <string>

namespace tenvik {

// The boundary descriptor's name and the alias prefix the namespace is
// created or opened with.
inline constexpr const wchar_t* kMutexBoundaryName = L"Tenvik.Setup";
inline constexpr const wchar_t* kMutexNamespaceAlias = L"Tenvik";

// One run of a product at a time: "Setup.<product>".
std::wstring runMutexName(const std::wstring& product);

// One runtime installation at a time, whatever the product.
inline constexpr const wchar_t* kRuntimeInstallMutexName = L"RuntimeInstall";

// "Tenvik\<name>", inside the private namespace.
std::wstring namespacedMutexName(const std::wstring& name);
// "Global\Tenvik.<name>", the fallback.
std::wstring globalMutexName(const std::wstring& name);

}  // namespace tenvik
