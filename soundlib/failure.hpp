#pragma once

namespace bassmod {

// Thrown inside the library and turned into the last error code at the C
// boundary; never leaves the library.
struct Failure {
  int code;
};

}  // namespace bassmod
