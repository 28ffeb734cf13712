// The program's entry: everything it does lives in the launch sequence, which
// the tests link as a library.
#include <windows.h>

#include "launcher/launch_sequence.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  return tenvik::runLaunchSequence(commandLine ? commandLine : L"");
}
