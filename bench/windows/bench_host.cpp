// Stand-in for dotnet.exe in the benchmark: notes when it was started and
// exits at once. A console program, as the real runtime host is, so the run
// pays for the console host Windows (and Wine) attach to it.
#include "bench_stamp.h"

int main() {
  bench::writeStamp();
  return 0;
}
