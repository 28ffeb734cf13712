#pragma once
#include <stdexcept>

namespace tenvik::packer {

// A reason the packer cannot produce a payload; its text goes to the user.
struct PackError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace tenvik::packer
