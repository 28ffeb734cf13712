#pragma once
// The names of the machine-wide locks that keep runs apart. Pure; the
// Win32 side is machine_mutex.{h,cpp}.
//
// Each lock has a short name (runMutexName, kRuntimeInstallMutexName) that
// takes one of two forms: the alias of a private namespace of its own, whose
// boundary names the Administrators group (namespacedMutexName), which only
// an elevated process can create; or, on a platform without private
// namespaces, a mutex of the session-independent Global\ namespace
// (globalMutexName), where any user may create the name first.

#include <string>

namespace tenvik {

// The boundary descriptor's name, and the first part of each namespace's alias.
inline constexpr const wchar_t* kMutexBoundaryName = L"Tenvik.Setup";
inline constexpr const wchar_t* kMutexNamespaceAlias = L"Tenvik";

// One run of a product at a time: "Setup.<product>".
std::wstring runMutexName(const std::wstring& product);

// One runtime installation at a time, whatever the product.
inline constexpr const wchar_t* kRuntimeInstallMutexName = L"RuntimeInstall";

// "Tenvik.<name>", the alias of the private namespace that is the lock.
std::wstring namespacedMutexName(const std::wstring& name);
// "Global\Tenvik.<name>", the fallback.
std::wstring globalMutexName(const std::wstring& name);

}  // namespace tenvik
