// Porter: the suffix-stripping stemmer that folds inflected English words into one term.
#pragma once

#include <string>
#include <string_view>

namespace wendrel {

// The stem of one word (UTF-8). Words of 1 or 2 characters after trimming spaces, and words of
// more than 255 characters, come back unchanged. Case is kept: only lower-case a, e, i, o, u
// (and y by position) are vowels, so capitals and non-Latin letters count as consonants.
std::string PorterStem(std::string_view word);

}  // namespace wendrel
