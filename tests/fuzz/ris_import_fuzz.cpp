// A RIS file loaded as a pearl list: the chain reads the file, looks every record up and grows it
// as a pearl. The service is scripted in-process: the real request handling and reply writer over
// a source that finds a publication for every title asked for, so the import goes on past the
// look-up into pearl growing. Requests travel as they would on the wire (encoded, then decoded by
// the server's library).
#include <httplib.h>

#include <cstddef>
#include <cstdint>
#include <functional>

#include "chain/chain_error.h"
#include "chain/citation_chain.h"
#include "fuzz_support.h"
#include "platform/scripted_host.h"
#include "service/search_request.h"

using namespace wendrel;

namespace {

Publication Made(const std::string& id, const std::string& title, const std::string& author) {
  Publication p;
  p.id = id;
  p.title = title;
  p.year = 2001;
  if (!author.empty()) p.authors.push_back({1, "", author});
  p.citationCount = 2;
  p.referenceCount = 2;
  return p;
}

// Every search finds the title asked for; every publication cites two others and is cited by two.
class ScriptedSource : public PublicationSource {
 public:
  PublicationPage Retrieve(const std::string& id, int64_t offset) override {
    return Page({Made(id, "Pearl " + id, "Pearl")}, offset, 1);
  }
  PublicationPage References(const std::string& id, PublicationOrder, int64_t offset, int64_t limit) override {
    return Page({Made(id + "r1", "Cited one", "A"), Made(id + "r2", "Cited two", "B")}, offset, limit);
  }
  PublicationPage Citing(const std::string& id, PublicationOrder, int64_t offset, int64_t limit) override {
    return Page({Made(id + "c1", "Citing one", "C"), Made(id + "c2", "Citing two", "D")}, offset, limit);
  }
  PublicationPage Search(const SearchCriteria& criteria, PublicationOrder, int64_t offset, int64_t limit) override {
    if (criteria.title.empty()) return {};
    const std::string id = "t" + std::to_string(std::hash<std::string>()(criteria.title) % 1000);
    return Page({Made(id, criteria.title, criteria.author)}, offset, limit);
  }

 private:
  static PublicationPage Page(std::vector<Publication> all, int64_t offset, int64_t limit) {
    PublicationPage page;
    page.total = static_cast<int64_t>(all.size());
    for (int64_t i = offset; i < page.total && i < offset + limit; ++i)
      page.items.push_back(all[static_cast<size_t>(i)]);
    return page;
  }
};

class ScriptedRequest : public HttpRequestHandle {
 public:
  explicit ScriptedRequest(ServiceReply reply) : m_reply(std::move(reply)) {}
  bool WaitForResponse(int) override { return true; }
  int Status() const override { return m_reply.status; }
  const std::string& Body() const override { return m_reply.body; }
  std::string Error() const override { return {}; }
  void Abort() override {}

 private:
  ServiceReply m_reply;
};

class ScriptedService : public HttpClient {
 public:
  std::unique_ptr<HttpRequestHandle> Get(const std::string& address, const std::vector<std::string>& = {}) override {
    const std::string encoded = EncodeAddress(address);
    const size_t query = encoded.find('?');
    httplib::Params params;
    if (query != std::string::npos) httplib::detail::parse_query_text(encoded.substr(query + 1), params);
    return std::make_unique<ScriptedRequest>(AnswerSearchRequest(m_source, QueryParameters(params.begin(), params.end())));
  }
  // Every request is answered as it is made: none is ever in flight.
  void AbortAll() override {}

 private:
  ScriptedSource m_source;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteInput("pearls.ris", data, size);
  ScriptedHost host;
  ScriptedService service;
  ScriptedCaption caption;
  MASCitationChain chain(host, service, "http://127.0.0.1:1");
  // A few records show the whole path; a long list stops as a user's Stop would.
  int items = 0;
  ChainEvents events;
  events.ImportItem = [&items](int32_t, int32_t) { ++items; };
  events.StopRequested = [&items] { return items >= 8; };
  chain.SetEvents(std::move(events));
  int32_t citingAsked = 0;
  try {
    chain.ImportRIS(path, citingAsked, caption);
  } catch (const ChainError&) {
    // A file that yields no record is refused, and the chain must be left as it was: empty.
    if (chain.Count() != 0) __builtin_trap();
  }
  return 0;
}
