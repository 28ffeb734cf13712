#pragma once
// The one updating line that shows, on a terminal, how far packing a large
// folder has got. Small folders finish before it first appears, and in a
// pipe it never appears: there only the summary is printed.

#include <chrono>
#include <ostream>

#include "packer.h"

namespace tenvik::packer {

class ProgressLine {
 public:
  // enabled: the stream is a terminal.
  ProgressLine(std::ostream& err, bool enabled);
  // Redraws the line, at most ten times a second.
  void update(const PackProgress& progress);
  // Clears the line, if one was drawn.
  void finish();

 private:
  std::ostream& err_;
  bool enabled_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace tenvik::packer
