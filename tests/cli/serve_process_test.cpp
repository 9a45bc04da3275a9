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
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <thread>

#include "service_fixtures.h"
#include "cli/service_commands.h"
#include "service/corpus_generator.h"
#include "service/search_service.h"
#include "test_paths.h"

extern char** environ;

namespace wendrel {
namespace {

using Clock = std::chrono::steady_clock;

// A child process whose standard output is a pipe; killed and reaped if still there at the end.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& args) {
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
    std::vector<std::string> argvText = {WENDREL_EXE};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = posix_spawn(&m_pid, WENDREL_EXE, &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[1]);
    m_out = fds[0];
    if (rc != 0) {
      m_pid = -1;
      throw std::runtime_error("cannot start " + std::string(WENDREL_EXE));
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

  // One line of the child's output (without the newline), or nothing when none came in time.
  std::optional<std::string> ReadLine(std::chrono::seconds timeout) {
    auto deadline = Clock::now() + timeout;
    for (;;) {
      size_t end = m_buffer.find('\n');
      if (end != std::string::npos) {
        std::string line = m_buffer.substr(0, end);
        m_buffer.erase(0, end + 1);
        return line;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return std::nullopt;
      pollfd p{m_out, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char chunk[256];
      ssize_t n = read(m_out, chunk, sizeof(chunk));
      if (n <= 0) return std::nullopt;
      m_buffer.append(chunk, static_cast<size_t>(n));
    }
  }

  // The wait status once the child has ended, or nothing when it did not end in time.
  std::optional<int> WaitForExit(std::chrono::seconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
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
  std::string m_buffer;
};

class ServeCommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new test::TempDir();
    std::ostringstream lines;
    GenerateCorpus(60, 3, lines);
    s_corpus = new std::string(test::BuildCorpus(*s_dir, "corpus", lines.str()));
    s_firstId = nlohmann::json::parse(lines.str().substr(0, lines.str().find('\n')))["id"];
  }
  static void TearDownTestSuite() {
    delete s_corpus;
    delete s_dir;
  }

  static test::TempDir* s_dir;
  static std::string* s_corpus;
  static int64_t s_firstId;
};

test::TempDir* ServeCommandTest::s_dir = nullptr;
std::string* ServeCommandTest::s_corpus = nullptr;
int64_t ServeCommandTest::s_firstId = 0;

TEST_F(ServeCommandTest, ChildServesUntilStoppedBySignal) {
  for (int stopSignal : {SIGTERM, SIGINT}) {
    ChildProcess child({"serve", "--corpus", *s_corpus, "--port", "0"});
    std::optional<std::string> line = child.ReadLine(std::chrono::seconds(60));
    ASSERT_TRUE(line) << "no address from the child";
    const std::string prefix = "Serving http://127.0.0.1:";
    ASSERT_EQ(line->rfind(prefix, 0), 0u) << *line;
    int port = std::stoi(line->substr(prefix.size()));
    ASSERT_GT(port, 0);

    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(5);
    client.set_read_timeout(20);
    auto reply = client.Get(("/json.svc/search?AppId=t&PublicationID=" + std::to_string(s_firstId) +
                             "&ResultObjects=Publication&PublicationContent=AllInfo&StartIdx=1&EndIdx=1")
                                .c_str());
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

TEST_F(ServeCommandTest, FailuresAreOneLineAndNonZero) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int code;
    const char* says;
  };
  SearchService busy(*s_corpus);
  const std::string busyPort = std::to_string(busy.Start());
  const Case cases[] = {
      {"no corpus option", {}, 2, "--corpus is required"},
      {"missing corpus", {"--corpus", s_dir->Path("missing.sqlite")}, 1, "missing.sqlite"},
      {"not a corpus", {"--corpus", s_dir->Path("corpus.jsonl")}, 1, "not a corpus"},
      {"port in use", {"--corpus", *s_corpus, "--port", busyPort}, 1, "cannot listen"},
      {"port not a number", {"--corpus", *s_corpus, "--port", "http"}, 2, "--port"},
      {"port out of range", {"--corpus", *s_corpus, "--port", "70000"}, 2, "--port"},
      {"unknown option", {"--corpus", *s_corpus, "--host", "0.0.0.0"}, 2, "--host"},
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
  std::ostringstream out, err;
  ASSERT_EQ(RunCorpus({"generate", "--count", "40", "--seed", "9", "--out", jsonl}, out, err), 0) << err.str();
  std::ostringstream expected;
  GenerateCorpus(40, 9, expected);
  std::string written = test::ReadFile(jsonl);
  EXPECT_EQ(written, expected.str());

  test::WriteText(jsonl, written + "{\"id\":\"bad\"}\n");
  out.str("");
  ASSERT_EQ(RunCorpus({"import", jsonl, "--out", sqlite}, out, err), 0) << err.str();
  std::string problems = err.str();
  EXPECT_EQ(problems.substr(0, 9), "line 41: ");
  EXPECT_EQ(std::count(problems.begin(), problems.end(), '\n'), 1);
  EXPECT_EQ(out.str().rfind("Imported 40 publications into " + sqlite + " (1 line skipped;", 0), 0u) << out.str();
  SearchService served(sqlite);  // a corpus the service accepts
}

TEST_F(ServeCommandTest, CorpusCommandFailures) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int code;
  };
  const Case cases[] = {
      {"no subcommand", {}, 2},
      {"unknown subcommand", {"shuffle"}, 2},
      {"count missing", {"generate", "--out", s_dir->Path("x.jsonl")}, 2},
      {"count zero", {"generate", "--count", "0", "--out", s_dir->Path("x.jsonl")}, 2},
      {"seed negative", {"generate", "--count", "5", "--seed", "-1", "--out", s_dir->Path("x.jsonl")}, 2},
      {"out missing", {"generate", "--count", "5"}, 2},
      {"unwritable out", {"generate", "--count", "5", "--out", s_dir->Path("no/such/x.jsonl")}, 1},
      {"input missing", {"import", "--out", s_dir->Path("x.sqlite")}, 2},
      {"unreadable input", {"import", s_dir->Path("none.jsonl"), "--out", s_dir->Path("x.sqlite")}, 1},
      {"two inputs", {"import", "a.jsonl", "b.jsonl", "--out", s_dir->Path("x.sqlite")}, 2},
  };
  for (const Case& c : cases) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCorpus(c.args, out, err), c.code) << c.name;
    std::string message = err.str();
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << c.name << ": " << message;
  }
  EXPECT_FALSE(std::filesystem::exists(s_dir->Path("x.sqlite")));
}

TEST_F(ServeCommandTest, HelpGoesToStandardOutput) {
  const std::vector<std::vector<std::string>> serve = {{"--help"}, {"--corpus", "x", "-h"}};
  for (const auto& args : serve) {
    std::ostringstream out, err;
    EXPECT_EQ(RunServe(args, out, err), 0);
    EXPECT_EQ(out.str().rfind("usage: wendrel serve", 0), 0u);
    EXPECT_EQ(err.str(), "");
  }
  const std::vector<std::vector<std::string>> corpus = {{"--help"}, {"generate", "--help"}, {"import", "-h"}};
  for (const auto& args : corpus) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCorpus(args, out, err), 0);
    EXPECT_EQ(out.str().rfind("usage: wendrel corpus", 0), 0u);
    EXPECT_EQ(err.str(), "");
  }
}

}  // namespace
}  // namespace wendrel
