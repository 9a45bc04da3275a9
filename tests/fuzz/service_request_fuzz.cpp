// The local service's request path from the raw request target, without sockets: the server's
// library splits and decodes the target as it does for a request on the wire (path, then query
// keys and values), the path is routed as the server routes it, and the request is answered over
// a small corpus. Every 200 answer must be JSON a client can read.
#include <httplib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <regex>

#include "fuzz_support.h"
#include "corpus/corpus_reader.h"
#include "service/search_request.h"
#include "service_fixtures.h"

using namespace wendrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::regex kRoute(R"(/json\.svc/[Ss]earch)");
  static CorpusReader corpus(test::BuildCorpus(fuzz::ProcessFolder(), "small", test::kSmallCorpus));

  const std::string target = fuzz::Text(data, size);
  const size_t query = target.find('?');
  const std::string path = httplib::detail::decode_url(target.substr(0, query), false);
  if (!std::regex_match(path, kRoute)) return 0;
  httplib::Params params;
  if (query != std::string::npos) httplib::detail::parse_query_text(target.substr(query + 1), params);

  const ServiceReply reply = AnswerSearchRequest(corpus, QueryParameters(params.begin(), params.end()));
  if (reply.status == 200 && !nlohmann::json::accept(reply.body)) std::abort();
  return 0;
}
