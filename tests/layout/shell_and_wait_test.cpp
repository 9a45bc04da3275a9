// Running a command line and waiting in slices: splitting, argument checks, start failures, the
// time limit and reaping of the program left running.
#include "layout/shell_and_wait.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/scripted_host.h"

namespace wendrel {
namespace {

// Remembers whether it was asked to start anything and the id of the program it started.
class RememberingRunner : public ProcessRunner {
 public:
  std::unique_ptr<RunningProcess> Start(const std::string& program, const std::vector<std::string>& arguments) override {
    asked = true;
    auto process = m_runner.Start(program, arguments);
    pid = process ? process->ProcessId() : 0;
    return process;
  }
  bool asked = false;
  int pid = 0;

 private:
  PosixProcessRunner m_runner;
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

TEST(ShellAndWait, BadArgumentsStartNothingAndAMissingProgramGivesOne) {
  struct Case {
    std::string command;
    int32_t timeoutMs, windowStyle, breakMode, expected;
  };
  const Case cases[] = {{"  ", 1000, 6, 2, kShellBadArguments},   {"true", -1, 6, 2, kShellBadArguments},
                        {"true", 1000, 6, 3, kShellBadArguments}, {"true", 1000, 6, -1, kShellBadArguments},
                        {"true", 1000, 5, 2, kShellBadArguments}, {"true", 1000, 7, 2, kShellBadArguments},
                        {"true", 0, 4, 0, kShellEnded},           {"true", 0, 0, 0, kShellEnded},
                        {"\"/nonexistent folder/sfdp\" in -Tplain -oout", 1000, 6, 2, kShellNotStarted}};
  for (const auto& c : cases) {
    ScriptedHost host;
    RememberingRunner runner;
    EXPECT_EQ(ShellAndWait(c.command, c.timeoutMs, c.windowStyle, c.breakMode, host, runner), c.expected) << c.command;
    EXPECT_EQ(runner.asked, c.expected != kShellBadArguments) << c.command;
    EXPECT_EQ(host.DoEventsCount(), 0) << c.command;
  }
}

TEST(ShellAndWait, ProgramOutlivingTheLimitIsLeftRunningAndReapedLater) {
  ScriptedHost host;
  RememberingRunner runner;
  const auto start = std::chrono::steady_clock::now();
  // 600 ms is exceeded after the second slice, each handing the event loop a turn.
  EXPECT_EQ(ShellAndWait("sleep 30", 600, 6, 2, host, runner), kShellTimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_EQ(host.DoEventsCount(), 2);
  ASSERT_GT(runner.pid, 0);
  ASSERT_EQ(kill(runner.pid, 0), 0) << "the program should still run";
  ASSERT_EQ(kill(runner.pid, SIGKILL), 0);
  bool gone = false;
  for (int i = 0; i < 100 && !gone; ++i) {
    gone = kill(runner.pid, 0) != 0 && errno == ESRCH;
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(gone) << "the ended program stayed behind as a zombie";
}

}  // namespace
}  // namespace wendrel
