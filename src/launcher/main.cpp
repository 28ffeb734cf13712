// The program's entry: everything it does lives in the launch sequence, which
// the tests link as a library.
#include <windows.h>

#include <exception>

#include "launcher/launch_sequence.h"

// std::terminate's default handler. The C++ runtime's own prints the escaped
// exception's demangled type to standard error, which a GUI program does not
// have, and brings the whole demangler (about 50 KB) into the program; this
// one ends the process as abort() would, with exit code 3, minus the C
// runtime's message box. Defined here, in the program's own object file, so
// the static link never takes the runtime's.
namespace __gnu_cxx {
void __verbose_terminate_handler() { ExitProcess(3); }
}  // namespace __gnu_cxx

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  // An exception that escaped would end in the C runtime's abort box, which
  // nobody may be there to answer.
  try {
    return tenvik::runLaunchSequence(commandLine ? commandLine : L"");
  } catch (const std::exception&) {
    return tenvik::kExitHostNotStarted;
  }
}
