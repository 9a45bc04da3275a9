// The error type of the local academic search service: a corpus that cannot be opened, read or
// written, or a server that cannot listen.
#pragma once

#include <stdexcept>

namespace wendrel {

class ServiceError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace wendrel
