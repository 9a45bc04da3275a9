// A raw TCP server on 127.0.0.1 (ephemeral port) for tests of what clients do when a server
// misbehaves: every accepted connection runs a scripted behaviour on its own thread, on the bare
// socket, so a test can drip bytes, cut a body short, reset the connection or say nothing.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace wendrel::test {

class MisbehavingServer {
 public:
  // The behaviour gets the connected socket and the server's stop flag, which it must watch in
  // any long loop; the socket is closed after it returns (unless it reset it itself).
  using Behaviour = std::function<void(int fd, const std::atomic<bool>& stopping)>;

  explicit MisbehavingServer(Behaviour behaviour);
  ~MisbehavingServer();

  MisbehavingServer(const MisbehavingServer&) = delete;
  MisbehavingServer& operator=(const MisbehavingServer&) = delete;

  std::string BaseAddress() const;
  int Connections() const { return m_connections; }

 private:
  void AcceptLoop();

  Behaviour m_behaviour;
  int m_listener = -1;
  int m_port = 0;
  std::atomic<bool> m_stopping{false};
  std::atomic<int> m_connections{0};
  std::mutex m_mutex;
  std::vector<std::thread> m_workers;
  std::thread m_acceptor;
};

// The faults the client tests share. Drip: a 200 head announcing 1000 bytes, then a byte every
// 0.2 s. Silence: reads the request and says nothing. Reset: half a body, then a reset. ShortBody:
// announces more than it sends, then closes. Huge: 300 MB of body (HugeAnnounced with its
// Content-Length), counting what went out in *sent. Html: a 200 with an HTML error page.
// RedirectLoop: a 302 to another address of its own, forever.
enum class Fault { Drip, Silence, Reset, ShortBody, Huge, HugeAnnounced, Html, RedirectLoop };
MisbehavingServer::Behaviour FaultBehaviour(Fault fault, std::atomic<int64_t>* sent = nullptr);
const char* FaultName(Fault fault);
constexpr Fault kAllFaults[] = {Fault::Drip,          Fault::Silence, Fault::Reset,       Fault::ShortBody,
                                Fault::Huge,          Fault::HugeAnnounced, Fault::Html, Fault::RedirectLoop};

// Reads the request head (up to the blank line); false when the peer went away or the server stops.
bool ReadRequestHead(int fd, const std::atomic<bool>& stopping, std::string* head = nullptr);
// Sends all of data; false when the peer has gone.
bool SendAll(int fd, std::string_view data);
// Closes the connection with a reset (RST) instead of an orderly end.
void ResetConnection(int fd);
// Sleeps up to ms in short slices; false when the server is stopping.
bool Pause(int ms, const std::atomic<bool>& stopping);

}  // namespace wendrel::test
