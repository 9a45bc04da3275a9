// The error the citation chain raises to its caller: a file that cannot be read or written.
#pragma once

#include <stdexcept>

namespace wendrel {

class ChainError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace wendrel
