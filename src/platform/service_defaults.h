// Where the local academic search service listens unless told otherwise; the search client's
// default base address points there.
#pragma once

namespace wendrel {

constexpr const char* kDefaultServiceHost = "127.0.0.1";
constexpr int kDefaultServicePort = 8754;

}  // namespace wendrel
