// Growth killed half way: a forked child grows a session file and is killed (SIGKILL) at a random
// moment, again and again; after every kill the file must open and hold together, and the child
// that finally runs to its end must leave what one uninterrupted growth leaves. A child whose disk
// fills up half way keeps growing in memory and leaves a file that resumes just as well.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "fake_http_client.h"
#include "platform/curl_http_client.h"
#include "session_fixture.h"

namespace wendrel {
namespace {

using Clock = std::chrono::steady_clock;

const std::vector<std::string> kPearls = {"1001", "1003", "1004", "1002"};

// The corpus served by a forked child, so that this process starts no thread and may fork growers.
class ServerProcess {
 public:
  explicit ServerProcess(const test::TempDir& dir) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    m_pid = fork();
    if (m_pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      close(fds[0]);
      std::ofstream lines(dir.Path("corpus.jsonl"));
      for (const auto& p : test::SessionCorpus()) lines << p.dump() << "\n";
      lines.close();
      ImportCorpus(dir.Path("corpus.jsonl"), dir.Path("corpus.sqlite"), [](int64_t, const std::string&) { _exit(2); });
      SearchService service(dir.Path("corpus.sqlite"));
      service.Start();
      const std::string base = service.BaseAddress();
      if (write(fds[1], base.data(), base.size()) != static_cast<ssize_t>(base.size())) _exit(3);
      close(fds[1]);
      for (;;) pause();
    }
    close(fds[1]);
    char buffer[256];
    for (ssize_t got; (got = read(fds[0], buffer, sizeof buffer)) > 0;) m_base.append(buffer, static_cast<size_t>(got));
    close(fds[0]);
  }
  ~ServerProcess() {
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
  }
  const std::string& BaseAddress() const { return m_base; }

 private:
  pid_t m_pid = -1;
  std::string m_base;
};

// A child that opens the session, grows what it owes and exits 0, or 1 when anything failed. With
// a file size limit the disk is full beyond it: then the child exits 0 when the writing ended with
// a clear error and the chain in memory still grew everything.
pid_t StartGrower(const std::string& path, const std::string& base, rlim_t fileSizeLimit = RLIM_INFINITY) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  try {
    if (fileSizeLimit != RLIM_INFINITY) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{fileSizeLimit, fileSizeLimit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(1);
    }
    ScriptedHost host;
    CurlHttpClient http;
    ScriptedCaption caption;
    MASCitationChain chain(host, http, base);
    auto session = SessionFile::Open(path);
    session->Restore(chain);
    session->Attach(chain);
    GrowOwed(chain, *session, caption);
    bool grown = chain.FailedRequests() == 0 && chain.PearlOrder().size() == kPearls.size();
    for (int32_t pearl : chain.PearlOrder()) grown = grown && !chain.PartlyGrown(pearl);
    const bool done = grown && !session->ReadOnly() &&
                      (fileSizeLimit == RLIM_INFINITY ? session->WriteError().empty() && session->Queue().empty()
                                                      : session->WriteError().find("cannot write") == 0);
    session.reset();
    _exit(done ? 0 : 1);
  } catch (...) {
    _exit(1);
  }
}

// A new session file owing the pearls.
void NewSession(const std::string& path) {
  ScriptedHost host;
  test::FakeHttpClient http;
  MASCitationChain empty(host, http, "http://127.0.0.1:1");
  SessionFile::Create(path, empty)->Enqueue(kPearls);
}

// The chain the file holds; every count must agree with its relation list.
struct Reopened {
  ScriptedHost host;
  test::FakeHttpClient http;
  MASCitationChain chain{host, http, "http://127.0.0.1:1"};
  explicit Reopened(const std::string& path) {
    SessionFile::Open(path)->Restore(chain);
    for (int32_t i = 1; i <= chain.Count(); ++i) {
      const CCRecord r = chain.GetRecord(i);
      EXPECT_EQ(r.CitedByPearls, std::count(r.CitedPearlList.begin(), r.CitedPearlList.end(), ';') / 2) << i;
      EXPECT_EQ(r.CitesPearls, std::count(r.CitingPearlList.begin(), r.CitingPearlList.end(), ';') / 2) << i;
    }
  }
};

TEST(KilledGrowth, TheFileOpensAfterEveryKillAndResumingGivesTheUninterruptedSession) {
  test::TempDir dir;
  ServerProcess server(dir);
  ASSERT_FALSE(server.BaseAddress().empty());

  const std::string oraclePath = dir.Path("oracle.wendrel");
  NewSession(oraclePath);
  const auto started = Clock::now();
  int status = 0;
  pid_t pid = StartGrower(oraclePath, server.BaseAddress());
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const auto growTime = Clock::now() - started;
  Reopened oracle(oraclePath);
  ASSERT_EQ(oracle.chain.PearlOrder().size(), 4u);

  std::mt19937 random(20261207);
  std::uniform_int_distribution<int64_t> wait(0, std::chrono::duration_cast<std::chrono::microseconds>(growTime).count());
  int kills = 0, rounds = 0;
  const auto start = Clock::now();
  // Rounds from a new file until at least eight kills landed inside a growth, within a limit.
  while (kills < 8 && Clock::now() - start < std::chrono::seconds(60)) {
    SCOPED_TRACE("round " + std::to_string(++rounds));
    const std::string path = dir.Path("session-" + std::to_string(rounds) + ".wendrel");
    NewSession(path);
    for (bool finished = false; !finished;) {
      pid = StartGrower(path, server.BaseAddress());
      std::this_thread::sleep_for(std::chrono::microseconds(wait(random)));
      kill(pid, SIGKILL);
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      if (WIFEXITED(status)) {
        ASSERT_EQ(WEXITSTATUS(status), 0) << "the grower failed";
        finished = true;
      } else {
        ++kills;
        Reopened afterKill(path);  // opens, restores and holds together
      }
    }
    Reopened resumed(path);
    test::ExpectSameChain(oracle.chain, resumed.chain, false);
    for (int32_t pearl : resumed.chain.PearlOrder()) EXPECT_FALSE(resumed.chain.PartlyGrown(pearl));
  }
  EXPECT_GE(kills, 8) << "in " << rounds << " rounds";
}

TEST(KilledGrowth, ADiskFullHalfWayWritesNothingHalfAndTheSessionResumes) {
  test::TempDir dir;
  ServerProcess server(dir);
  ASSERT_FALSE(server.BaseAddress().empty());
  int status = 0;
  const std::string oraclePath = dir.Path("oracle.wendrel");
  NewSession(oraclePath);
  pid_t pid = StartGrower(oraclePath, server.BaseAddress());
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  const std::string path = dir.Path("full.wendrel");
  NewSession(path);
  // Room for the first pages' write-ahead log and no more.
  pid = StartGrower(path, server.BaseAddress(), 200 * 1024);
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "no clear write error, or the growth stopped";
  {
    Reopened full(path);
    EXPECT_LT(full.chain.Count(), Reopened(oraclePath).chain.Count()) << "the file holds less than was grown";
  }
  pid = StartGrower(path, server.BaseAddress());
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  test::ExpectSameChain(Reopened(oraclePath).chain, Reopened(path).chain, false);
}

}  // namespace
}  // namespace wendrel
