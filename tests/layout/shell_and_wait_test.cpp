// Running a command line and waiting in slices: argument checks, start failures, the time limit.
#include "layout/shell_and_wait.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/scripted_host.h"

namespace wendrel {
namespace {

// Remembers the id of the program it started.
class RememberingRunner : public ProcessRunner {
 public:
  std::unique_ptr<RunningProcess> Start(const std::string& program, const std::vector<std::string>& arguments) override {
    m_program = program;
    m_arguments = arguments;
    auto process = m_runner.Start(program, arguments);
    m_pid = process ? process->ProcessId() : 0;
    return process;
  }
  int Pid() const { return m_pid; }
  const std::string& Program() const { return m_program; }
  const std::vector<std::string>& Arguments() const { return m_arguments; }

 private:
  PosixProcessRunner m_runner;
  int m_pid = 0;
  std::string m_program;
  std::vector<std::string> m_arguments;
};

TEST(SplitCommandLine, HonoursDoubleQuotes) {
  struct Case {
    const char* name;
    std::string command;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"layout command", "\"/opt/graph viz/sfdp\" \"/w d/gvin.txt\" -Tplain -o\"/w d/gvout.txt\"",
       {"/opt/graph viz/sfdp", "/w d/gvin.txt", "-Tplain", "-o/w d/gvout.txt"}},
      {"plain words and runs of blanks", "  sleep \t 5  ", {"sleep", "5"}},
      {"empty quotes are an empty argument", "prog \"\" x", {"prog", "", "x"}},
      {"unterminated quote runs to the end", "prog \"a b", {"prog", "a b"}},
      {"shell syntax is not interpreted", "echo $HOME;ls|wc", {"echo", "$HOME;ls|wc"}},
      {"blank", "   ", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.command), c.expected) << c.name;
}

TEST(ShellAndWait, RejectsBadArgumentsWithoutStartingAnything) {
  struct Case {
    const char* name;
    std::string command;
    int32_t timeoutMs;
    int32_t windowStyle;
    int32_t breakMode;
  };
  const Case cases[] = {
      {"blank command", "  ", 1000, 6, 2},
      {"negative limit", "true", -1, 6, 2},
      {"break mode 3", "true", 1000, 6, 3},
      {"break mode -1", "true", 1000, 6, -1},
      {"window style 5", "true", 1000, 5, 2},
      {"window style 7", "true", 1000, 7, 2},
      {"window style -1", "true", 1000, -1, 2},
  };
  for (const auto& c : cases) {
    ScriptedHost host;
    RememberingRunner runner;
    EXPECT_EQ(ShellAndWait(c.command, c.timeoutMs, c.windowStyle, c.breakMode, host, runner), kShellBadArguments)
        << c.name;
    EXPECT_TRUE(runner.Program().empty()) << c.name;
  }
  ScriptedHost host;
  RememberingRunner runner;
  for (int32_t style : {0, 1, 2, 3, 4, 6}) EXPECT_EQ(ShellAndWait("true", 0, style, 0, host, runner), kShellEnded);
}

TEST(ShellAndWait, ProgramThatCannotStartGivesOne) {
  ScriptedHost host;
  PosixProcessRunner runner;
  EXPECT_EQ(ShellAndWait("\"/nonexistent folder/sfdp\" in -Tplain -oout", 1000, 6, 2, host, runner), kShellNotStarted);
  EXPECT_EQ(host.DoEventsCount(), 0);
}

TEST(ShellAndWait, WaitsForTheProgramHandingTheEventLoopATurnPerSlice) {
  ScriptedHost host;
  RememberingRunner runner;
  // A failing program still counts as ended: only the wait is reported.
  EXPECT_EQ(ShellAndWait("sh -c \"sleep 0.7; exit 3\"", 5000, 6, 2, host, runner), kShellEnded);
  EXPECT_EQ(runner.Arguments(), (std::vector<std::string>{"-c", "sleep 0.7; exit 3"}));
  EXPECT_GE(host.DoEventsCount(), 1);  // one turn per 500 ms slice that did not end the wait
}

TEST(ShellAndWait, ProgramOutlivingTheLimitIsLeftRunningAndReapedLater) {
  ScriptedHost host;
  RememberingRunner runner;
  auto start = std::chrono::steady_clock::now();
  // 600 ms is exceeded after the second slice.
  EXPECT_EQ(ShellAndWait("sleep 30", 600, 6, 2, host, runner), kShellTimedOut);
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(1000));
  EXPECT_EQ(host.DoEventsCount(), 2);

  int pid = runner.Pid();
  ASSERT_GT(pid, 0);
  ASSERT_EQ(kill(pid, 0), 0) << "the program should still run";
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  bool gone = false;
  for (int i = 0; i < 100 && !gone; ++i) {
    gone = kill(pid, 0) != 0 && errno == ESRCH;
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(gone) << "the ended program stayed behind as a zombie";
}

}  // namespace
}  // namespace wendrel
