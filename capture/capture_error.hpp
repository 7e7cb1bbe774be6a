#pragma once

#include <stdexcept>

namespace zenora {

// A file the capture tool cannot write or a part of it that fails; the
// intro's own run-time errors are not among them.
class CaptureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace zenora
