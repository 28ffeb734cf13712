#include "launcher/run_folders.h"

#include <windows.h>

#include "system/child_environment.h"
#include "system/path.h"
#include "system/process_runner.h"

namespace tenvik {

RunFolders prepareRunFolders(const std::wstring& productFolder) {
  RunFolders folders;
  folders.product = prepareProductFolder(productFolder);
  if (!folders.product.handle) return folders;
  folders.tempFolder = joinPath(folders.product.path, L"Temp.tmp");
  folders.tempHold = makeFreshHeldFolder(folders.tempFolder);
  if (!folders.tempHold) {
    releaseRunFolders(folders, true);
    return folders;
  }
  folders.childEnvironment = environmentBlock(childEnvironment(processEnvironment(), folders.tempFolder));
  return folders;
}

void releaseRunFolders(RunFolders& folders, bool runFailed) {
  if (folders.tempHold) removeHeldFolder(folders.tempHold, folders.tempFolder);
  ProductFolder& product = folders.product;
  if (!product.handle) return;
  if (product.runOwn) {
    removeHeldFolder(product.handle, product.path);
    return;
  }
  product.handle.reset();
  if (runFailed && product.createdNow) RemoveDirectoryW(product.path.c_str());
}

}  // namespace tenvik
