// `wendrel serve` as a real child process (started without a shell, stopped by a signal), and the
// serve and corpus commands' arguments, messages and exit codes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <thread>
#include <tuple>

#include "cli/service_commands.h"
#include "corpus/corpus_generator.h"
#include "corpus/search_service.h"
#include "service_fixtures.h"
#include "test_http_server.h"
#include "test_paths.h"

extern char** environ;

namespace wendrel {
namespace {

using Clock = std::chrono::steady_clock;

// The program as a child process whose standard output is a pipe; killed and reaped if still
// there at the end.
class ChildProcess {
 public:
  explicit ChildProcess(std::vector<std::string> args) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    // The child starts with no signal blocked and the stop signals at their defaults, whatever
    // the test runner's thread had.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, stopSignals;
    sigemptyset(&none);
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &stopSignals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    args.insert(args.begin(), WENDREL_EXE);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = posix_spawn(&m_pid, WENDREL_EXE, &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[1]);
    m_out = fds[0];
    if (rc != 0) {
      close(m_out);
      throw std::runtime_error("cannot start " WENDREL_EXE);
    }
  }
  ~ChildProcess() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    close(m_out);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The first line of the child's output (without the newline), or nothing when none came in time.
  // The service writes that line with one flush, so one read gets it whole.
  std::optional<std::string> FirstLine(std::chrono::milliseconds timeout) {
    pollfd p{m_out, POLLIN, 0};
    char chunk[256];
    ssize_t n = poll(&p, 1, static_cast<int>(timeout.count())) == 1 ? read(m_out, chunk, sizeof(chunk)) : 0;
    std::string text(chunk, static_cast<size_t>(std::max<ssize_t>(n, 0)));
    if (text.find('\n') == std::string::npos) return std::nullopt;
    return text.substr(0, text.find('\n'));
  }

  // The wait status once the child has ended, or nothing when it did not end in time.
  std::optional<int> WaitForExit(std::chrono::seconds timeout) {
    for (auto deadline = Clock::now() + timeout; Clock::now() < deadline;) {
      int status = 0;
      if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        return status;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
  }

  pid_t Pid() const { return m_pid; }

 private:
  pid_t m_pid = -1;
  int m_out = -1;
};

class ServeCommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new test::TempDir();
    std::ostringstream lines;
    GenerateCorpus(60, 3, lines);
    s_corpus = test::BuildCorpus(*s_dir, "corpus", lines.str());
    s_firstId = nlohmann::json::parse(lines.str().substr(0, lines.str().find('\n')))["id"];
  }
  static void TearDownTestSuite() { delete s_dir; }

  static inline test::TempDir* s_dir = nullptr;
  static inline std::string s_corpus;
  static inline int64_t s_firstId = 0;
};

TEST_F(ServeCommandTest, ChildServesUntilStoppedBySignal) {
  for (int stopSignal : {SIGTERM, SIGINT}) {
    ChildProcess child({"serve", "--corpus", s_corpus, "--port", "0"});
    std::optional<std::string> line = child.FirstLine(std::chrono::seconds(60));
    ASSERT_TRUE(line) << "no address from the child";
    const std::string prefix = "Serving http://127.0.0.1:";
    ASSERT_EQ(line->rfind(prefix, 0), 0u) << *line;
    int port = std::stoi(line->substr(prefix.size()));
    ASSERT_GT(port, 0);

    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(5);
    client.set_read_timeout(20);
    auto reply = client.Get(("/json.svc/search?AppId=t&PublicationID=" + std::to_string(s_firstId)).c_str());
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_EQ(nlohmann::json::parse(reply->body)["d"]["Publication"]["Result"][0]["ID"], s_firstId);

    ASSERT_EQ(kill(child.Pid(), stopSignal), 0);
    std::optional<int> status = child.WaitForExit(std::chrono::seconds(30));
    ASSERT_TRUE(status) << "the child did not stop on signal " << stopSignal;
    EXPECT_TRUE(WIFEXITED(*status)) << "ended by signal " << (WIFSIGNALED(*status) ? WTERMSIG(*status) : 0);
    EXPECT_EQ(WEXITSTATUS(*status), 0);
  }
}

// OpenAlex that never answers holds the gateway's requests; a stop signal still ends the process
// at once, and each held request gets an answer.
TEST_F(ServeCommandTest, GatewayStopsOnSignalWhileRequestsWait) {
  test::HangingProxy openAlex;
  ChildProcess child({"serve", "--openalex", "--openalex-url", openAlex.BaseAddress(), "--api-key", "test-key",
                      "--cache", s_dir->Path("gateway.sqlite"), "--port", "0"});
  std::optional<std::string> line = child.FirstLine(std::chrono::seconds(60));
  ASSERT_TRUE(line) << "no address from the child";
  const int port = std::stoi(line->substr(line->rfind(':') + 1));

  std::vector<std::thread> waiting;
  std::vector<int> statuses(3, -1);
  for (int i = 0; i < 3; ++i)
    waiting.emplace_back([&, i] {
      httplib::Client client("127.0.0.1", port);
      client.set_read_timeout(60);
      auto reply = client.Get(("/json.svc/search?AppId=t&PublicationID=W" + std::to_string(i + 1)).c_str());
      statuses[static_cast<size_t>(i)] = reply ? reply->status : 0;
    });
  for (auto deadline = Clock::now() + std::chrono::seconds(30); openAlex.Held() < 3 && Clock::now() < deadline;)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(openAlex.Held(), 3);

  const auto signalled = Clock::now();
  ASSERT_EQ(kill(child.Pid(), SIGTERM), 0);
  std::optional<int> status = child.WaitForExit(std::chrono::seconds(30));
  const auto took = Clock::now() - signalled;
  for (auto& thread : waiting) thread.join();
  ASSERT_TRUE(status) << "the gateway did not stop";
  // At once, not after the exchanges' own 30-second limit (a generous bound for a loaded machine).
  EXPECT_LT(took, std::chrono::seconds(10));
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
  for (int reply : statuses) EXPECT_EQ(reply, 503);
}

TEST_F(ServeCommandTest, FailuresAreOneLineAndNonZero) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int code;
    const char* says;
  };
  SearchService busy(s_corpus);
  const std::string busyPort = std::to_string(busy.Start());
  // A copy cut short, as a download or a full disk leaves it.
  const std::string cutShort = s_dir->Path("cut-short.sqlite");
  std::filesystem::copy_file(s_corpus, cutShort, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::resize_file(cutShort, std::filesystem::file_size(s_corpus) / 2);
  const std::string damaged = s_dir->Path("damaged.sqlite");
  std::filesystem::copy_file(s_corpus, damaged, std::filesystem::copy_options::overwrite_existing);
  test::ZeroPages(damaged, test::ZeroPages(damaged, 0, 0) / 2, 1);
  const Case cases[] = {
      {"no corpus option", {}, 2, "--corpus is required"},
      {"missing corpus", {"--corpus", s_dir->Path("missing.sqlite")}, 1, "missing.sqlite"},
      {"not a corpus", {"--corpus", s_dir->Path("corpus.jsonl")}, 1, "not a corpus"},
      {"truncated corpus", {"--corpus", cutShort}, 1, "cut-short.sqlite is truncated"},
      {"damaged corpus", {"--corpus", damaged}, 1, "damaged.sqlite is damaged"},
      {"a folder", {"--corpus", s_dir->Path("")}, 1, "is a folder, not a corpus file"},
      {"port in use", {"--corpus", s_corpus, "--port", busyPort}, 1, "cannot listen"},
      {"port not a number", {"--corpus", s_corpus, "--port", "http"}, 2, "--port"},
      {"port out of range", {"--corpus", s_corpus, "--port", "70000"}, 2, "--port"},
      {"unknown option", {"--corpus", s_corpus, "--host", "0.0.0.0"}, 2, "--host"},
  };
  for (const Case& c : cases) {
    std::ostringstream out, err;
    EXPECT_EQ(RunServe(c.args, out, err), c.code) << c.name;
    EXPECT_EQ(out.str(), "") << c.name;
    std::string message = err.str();
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << c.name << ": " << message;
    EXPECT_NE(message.find(c.says), std::string::npos) << c.name << ": " << message;
  }
}

TEST_F(ServeCommandTest, CorpusCommandsGenerateAndImport) {
  std::string jsonl = s_dir->Path("cli.jsonl");
  std::string sqlite = s_dir->Path("cli.sqlite");
  std::ostringstream out, err, expected;
  ASSERT_EQ(RunCorpus({"generate", "--count", "40", "--seed", "9", "--out", jsonl}, out, err), 0) << err.str();
  GenerateCorpus(40, 9, expected);
  ASSERT_EQ(test::ReadFile(jsonl), expected.str());

  test::WriteText(jsonl, expected.str() + "{\"id\":\"bad\"}\n");
  out.str("");
  ASSERT_EQ(RunCorpus({"import", jsonl, "--out", sqlite}, out, err), 0) << err.str();
  const std::string problems = err.str();
  EXPECT_EQ(problems.substr(0, 9), "line 41: ");
  EXPECT_EQ(std::count(problems.begin(), problems.end(), '\n'), 1);
  EXPECT_EQ(out.str().rfind("Imported 40 publications into " + sqlite + " (1 line skipped;", 0), 0u) << out.str();
  SearchService served(sqlite);  // a corpus the service accepts
}

TEST_F(ServeCommandTest, CorpusCheckSaysWhetherAFileIsWhole) {
  const std::string damaged = s_dir->Path("check-damaged.sqlite");
  std::filesystem::copy_file(s_corpus, damaged, std::filesystem::copy_options::overwrite_existing);
  test::ZeroPages(damaged, 3, 1000000);
  struct Case {
    std::string path;
    int code;
    std::string says;
  };
  const Case cases[] = {
      {s_corpus, 0, s_corpus + " is whole"},
      {damaged, 1, damaged + " is damaged:\n  "},
      {s_dir->Path("corpus.jsonl"), 1, "not a corpus"},
      {s_dir->Path(""), 1, "is a folder"},
  };
  for (const Case& c : cases) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCorpus({"check", c.path}, out, err), c.code) << c.path << ": " << err.str();
    EXPECT_NE((out.str() + err.str()).find(c.says), std::string::npos) << out.str() << err.str();
  }
}

TEST_F(ServeCommandTest, CorpusCommandFailuresAndHelp) {
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{"shuffle"}, 2},
      {{"generate", "--out", s_dir->Path("x.jsonl")}, 2},
      {{"generate", "--count", "5", "--seed", "-1", "--out", s_dir->Path("x.jsonl")}, 2},
      {{"generate", "--count", "5", "--out", s_dir->Path("no/such/x.jsonl")}, 1},
      {{"import", "--out", s_dir->Path("x.sqlite")}, 2},
      {{"import", s_dir->Path("none.jsonl"), "--out", s_dir->Path("x.sqlite")}, 1},
      {{"import", "a.jsonl", "b.jsonl", "--out", s_dir->Path("x.sqlite")}, 2},
  };
  for (const auto& [args, code] : cases) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCorpus(args, out, err), code) << ::testing::PrintToString(args);
    const std::string message = err.str();
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
  }
  // Help is not a failure: usage on standard output, nothing on standard error.
  using Command = int (*)(const std::vector<std::string>&, std::ostream&, std::ostream&);
  const std::tuple<Command, std::vector<std::string>, const char*> helps[] = {
      {RunServe, {"--corpus", "x", "-h"}, "usage: wendrel serve"},
      {RunCorpus, {"--help"}, "usage: wendrel corpus"},
      {RunCorpus, {"import", "-h"}, "usage: wendrel corpus"}};
  for (const auto& [run, args, usage] : helps) {
    std::ostringstream out, err;
    EXPECT_EQ(run(args, out, err), 0);
    EXPECT_EQ(out.str().rfind(usage, 0), 0u);
    EXPECT_EQ(err.str(), "");
  }
}

}  // namespace
}  // namespace wendrel
