// Small pieces of web text shared by the client, the service and the chain: query values and DOIs.
#pragma once

#include <string>
#include <string_view>

namespace wendrel {

// Percent-encodes a query value (everything but unreserved characters).
std::string EncodeQueryValue(std::string_view value);

// The DOI without a resolver address or "doi:" in front (compared without regard to case), its case
// kept: "https://doi.org/10.1000/X" gives "10.1000/X".
std::string_view WithoutDoiResolver(std::string_view doi);

// A DOI as DOIs are compared: blanks and a resolver address off, lower-case; empty for nothing or
// the markers "n/a" and "null".
std::string DoiKey(std::string_view doi);

}  // namespace wendrel
