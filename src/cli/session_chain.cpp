// A session file read into a chain that never asks a service.
#include "cli/session_chain.h"

namespace wendrel {

namespace {

class RefusedRequest : public HttpRequestHandle {
 public:
  bool WaitForResponse(int) override { return true; }
  int Status() const override { return 0; }
  const std::string& Body() const override { return m_body; }
  std::string Error() const override { return "a session is read without the network"; }
  void Abort() override {}

 private:
  std::string m_body;
};

}  // namespace

std::unique_ptr<HttpRequestHandle> NoNetworkHttpClient::Get(const std::string&, const std::vector<std::string>&) {
  return std::make_unique<RefusedRequest>();
}

SessionChain::SessionChain(const std::string& path) : m_session(SessionFile::Open(path)) {
  m_session->Restore(m_chain);
}

}  // namespace wendrel
