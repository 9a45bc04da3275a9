#include "fake_http_client.h"

#include <chrono>
#include <thread>

namespace wendrel::test {

namespace {

class FakeRequest : public HttpRequestHandle {
 public:
  FakeRequest(FakeReply reply, std::shared_ptr<int> aborts, std::shared_ptr<std::set<HttpRequestHandle*>> inFlight)
      : m_reply(std::move(reply)), m_aborts(std::move(aborts)), m_inFlight(std::move(inFlight)) {
    m_inFlight->insert(this);
  }
  ~FakeRequest() override { m_inFlight->erase(this); }

  // Like a real request, an unanswered wait takes its time (callers would spin otherwise).
  bool WaitForResponse(int timeoutMs) override {
    if (m_aborted) return true;
    if (m_reply.waitsBeforeDone < 0 || m_waits++ < m_reply.waitsBeforeDone) {
      std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0));
      return false;
    }
    m_done = true;
    return true;
  }
  int Status() const override { return m_done && m_reply.error.empty() ? m_reply.status : 0; }
  const std::string& Body() const override { return m_done ? m_reply.body : m_empty; }
  std::string Error() const override { return m_done ? m_reply.error : std::string(); }
  void Abort() override {
    m_aborted = true;
    ++*m_aborts;
  }

 private:
  FakeReply m_reply;
  std::shared_ptr<int> m_aborts;
  std::shared_ptr<std::set<HttpRequestHandle*>> m_inFlight;
  std::string m_empty;
  int m_waits = 0;
  bool m_done = false;
  bool m_aborted = false;
};

}  // namespace

std::unique_ptr<HttpRequestHandle> FakeHttpClient::Get(const std::string& address, const std::vector<std::string>&) {
  m_addresses.push_back(address);
  FakeReply reply;
  if (m_replies.empty()) {
    reply.error = "no scripted reply";
  } else {
    reply = std::move(m_replies.front());
    m_replies.pop_front();
  }
  return std::make_unique<FakeRequest>(std::move(reply), m_aborts, m_inFlight);
}

void FakeHttpClient::AbortAll() {
  for (HttpRequestHandle* request : *m_inFlight) request->Abort();
}

}  // namespace wendrel::test
