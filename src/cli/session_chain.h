// A session file read into a chain for the commands that only read it (export, map, session info):
// the chain asks no service, so they work with none running.
#pragma once

#include <memory>
#include <string>

#include "chain/citation_chain.h"
#include "platform/http_client.h"
#include "platform/scripted_host.h"
#include "session/session_file.h"

namespace wendrel {

// An HTTP client for a chain that must not reach the network: every request fails at once.
class NoNetworkHttpClient : public HttpClient {
 public:
  std::unique_ptr<HttpRequestHandle> Get(const std::string& address, const std::vector<std::string>& headers = {}) override;
  void AbortAll() override {}
};

// The session at `path` opened (read-only when another process holds it) and restored into a chain.
// Throws SessionError when the file is no session this program reads.
class SessionChain {
 public:
  explicit SessionChain(const std::string& path);

  MASCitationChain& Chain() { return m_chain; }
  SessionFile& Session() { return *m_session; }

 private:
  ScriptedHost m_host;
  NoNetworkHttpClient m_http;
  MASCitationChain m_chain{m_host, m_http, "http://127.0.0.1:1"};
  std::unique_ptr<SessionFile> m_session;
};

}  // namespace wendrel
