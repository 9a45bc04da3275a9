// The error of the review's readers: a file that holds nothing they can take, with the reason.
#pragma once

#include <stdexcept>

namespace wendrel {

class ReviewError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace wendrel
