#pragma once
#include <stdexcept>
#include <string>

#include "exit_codes.h"

namespace tenvik::packer {

// A reason the packer cannot go on; its text goes to the user and its exit
// code (exit_codes.h) to the calling script.
struct PackError : std::runtime_error {
  explicit PackError(const std::string& message, int code = exitFailure)
      : std::runtime_error(message), exitCode(code) {}
  int exitCode;
};

}  // namespace tenvik::packer
