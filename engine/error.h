// The one exception type of the system.
#pragma once

#include <stdexcept>

namespace tavrin {

// what() is the message text (UTF-8).
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tavrin
