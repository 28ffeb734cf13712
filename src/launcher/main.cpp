// The program's entry: everything it does lives in the launch sequence, which
// the tests link as a library.
#include <windows.h>

#include <exception>

#include "launcher/launch_sequence.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  // An exception that escaped would end in the C runtime's abort box, which
  // nobody may be there to answer.
  try {
    return tenvik::runLaunchSequence(commandLine ? commandLine : L"");
  } catch (const std::exception&) {
    return tenvik::kExitHostNotStarted;
  }
}
