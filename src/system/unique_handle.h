#pragma once
// One move-only owner per Win32 handle kind. Each kind names its empty value
// and its close function; closing keeps the caller's last-error value, so a
// failure code taken after a scope ends is still the one that failed.

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace tenvik {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::empty(); }

  Handle release() { return std::exchange(handle_, Traits::empty()); }

  void reset(Handle handle = Traits::empty()) {
    const Handle old = std::exchange(handle_, handle);
    if (old != Traits::empty()) {
      const DWORD lastError = GetLastError();
      Traits::close(old);
      SetLastError(lastError);
    }
  }

  // For out-parameters of platform calls; any handle held is closed first.
  Handle* put() {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::empty();
};

struct KernelHandleTraits {  // processes, threads, events: empty is null
  using Handle = HANDLE;
  static Handle empty() { return nullptr; }
  static void close(Handle h) { CloseHandle(h); }
};

struct FileHandleTraits {  // CreateFileW: empty is INVALID_HANDLE_VALUE
  using Handle = HANDLE;
  static Handle empty() { return INVALID_HANDLE_VALUE; }
  static void close(Handle h) { CloseHandle(h); }
};

struct FindHandleTraits {  // FindFirstFileExW: closed with FindClose
  using Handle = HANDLE;
  static Handle empty() { return INVALID_HANDLE_VALUE; }
  static void close(Handle h) { FindClose(h); }
};

struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle empty() { return nullptr; }
  static void close(Handle h) { RegCloseKey(h); }
};

struct ModuleTraits {  // modules we loaded ourselves with LoadLibraryExW
  using Handle = HMODULE;
  static Handle empty() { return nullptr; }
  static void close(Handle h) { FreeLibrary(h); }
};

struct CoTaskMemStringTraits {  // strings the shell allocates for the caller
  using Handle = wchar_t*;
  static Handle empty() { return nullptr; }
  static void close(Handle h) { CoTaskMemFree(h); }
};

struct GlobalStringTraits {  // strings WinHTTP hands over for GlobalFree
  using Handle = wchar_t*;
  static Handle empty() { return nullptr; }
  static void close(Handle h) { GlobalFree(h); }
};

struct BoundaryDescriptorTraits {  // CreateBoundaryDescriptorW
  using Handle = HANDLE;
  static Handle empty() { return nullptr; }
  static void close(Handle h) { DeleteBoundaryDescriptor(h); }
};

struct PrivateNamespaceTraits {  // namespaces we created: destroyed as they close
  using Handle = HANDLE;
  static Handle empty() { return nullptr; }
  static void close(Handle h) { ClosePrivateNamespace(h, PRIVATE_NAMESPACE_FLAG_DESTROY); }
};

struct GdiObjectTraits {  // fonts and other GDI objects we created
  using Handle = HGDIOBJ;
  static Handle empty() { return nullptr; }
  static void close(Handle h) { DeleteObject(h); }
};

// Memory the security functions allocate for the caller to LocalFree:
// descriptors, SIDs and their text forms.
template <typename Pointer>
struct LocalMemoryTraits {
  using Handle = Pointer;
  static Handle empty() { return nullptr; }
  static void close(Handle h) { LocalFree(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueCoTaskMemString = UniqueHandle<CoTaskMemStringTraits>;
using UniqueGlobalString = UniqueHandle<GlobalStringTraits>;
using UniqueBoundaryDescriptor = UniqueHandle<BoundaryDescriptorTraits>;
using UniquePrivateNamespace = UniqueHandle<PrivateNamespaceTraits>;
using UniqueLocalDescriptor = UniqueHandle<LocalMemoryTraits<PSECURITY_DESCRIPTOR>>;
using UniqueLocalString = UniqueHandle<LocalMemoryTraits<wchar_t*>>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;

}  // namespace tenvik
