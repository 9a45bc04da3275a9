// An HttpClient for tests that never touches the network: it records every address asked for and
// answers from a queue of scripted replies.
#pragma once

#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/http_client.h"

namespace wendrel::test {

struct FakeReply {
  int status = 200;
  std::string body;
  // How many WaitForResponse calls pass before the reply is complete; -1: never.
  int waitsBeforeDone = 0;
  // Failure text of an exchange that ends without a response (status then reads 0).
  std::string error;
};

class FakeHttpClient : public HttpClient {
 public:
  // The headers are not looked at: the client's callers send none.
  std::unique_ptr<HttpRequestHandle> Get(const std::string& address, const std::vector<std::string>& = {}) override;
  void AbortAll() override;

  void Queue(FakeReply reply) { m_replies.push_back(std::move(reply)); }
  // Shorthand for a complete 200 reply.
  void QueueBody(std::string body) { Queue({200, std::move(body), 0, ""}); }

  const std::vector<std::string>& Addresses() const { return m_addresses; }
  int Aborts() const { return *m_aborts; }

 private:
  std::deque<FakeReply> m_replies;
  std::vector<std::string> m_addresses;
  std::shared_ptr<int> m_aborts = std::make_shared<int>(0);
  std::shared_ptr<std::set<HttpRequestHandle*>> m_inFlight = std::make_shared<std::set<HttpRequestHandle*>>();
};

}  // namespace wendrel::test
