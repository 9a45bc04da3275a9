// The POSIX process runner: arguments passed verbatim, exit codes, slices, and reaping of
// programs that were left running.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/process_runner.h"

namespace wendrel {
namespace {

// Runs until the program ends, at most ~10 s.
WaitResult WaitToEnd(RunningProcess& process) {
  WaitResult result = WaitResult::SliceElapsed;
  for (int i = 0; i < 100 && result == WaitResult::SliceElapsed; ++i) result = process.Wait(100);
  return result;
}

// True once no process (not even a zombie) has this id; polls up to ~5 s.
bool Disappears(int pid) {
  for (int i = 0; i < 100; ++i) {
    if (kill(pid, 0) != 0 && errno == ESRCH) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

TEST(PosixProcessRunner, PassesArgumentsVerbatimAndReportsExitCodes) {
  auto folder = std::filesystem::temp_directory_path() / ("runner_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  std::string source = (folder / "a b").string();
  std::string target = (folder / "c;$HOME \"d\"").string();
  std::ofstream(source) << "content";

  PosixProcessRunner runner;
  auto copy = runner.Start("cp", {source, target});
  ASSERT_NE(copy, nullptr);
  EXPECT_GT(copy->ProcessId(), 0);
  EXPECT_EQ(WaitToEnd(*copy), WaitResult::Ended);
  EXPECT_EQ(copy->ExitStatus(), 0);
  EXPECT_TRUE(std::filesystem::exists(target));

  auto failing = runner.Start("/bin/false", {});
  ASSERT_NE(failing, nullptr);
  EXPECT_EQ(failing->ExitStatus(), -1);
  EXPECT_EQ(WaitToEnd(*failing), WaitResult::Ended);
  EXPECT_EQ(failing->ExitStatus(), 1);
  EXPECT_EQ(failing->Wait(10), WaitResult::Ended);  // asking again is harmless

  std::filesystem::remove_all(folder);
}

TEST(PosixProcessRunner, ProgramThatCannotStartGivesNothing) {
  PosixProcessRunner runner;
  EXPECT_EQ(runner.Start("/nonexistent/program", {}), nullptr);
  EXPECT_EQ(runner.Start("wendrel-no-such-program-on-path", {}), nullptr);
  EXPECT_EQ(runner.Start("", {}), nullptr);
}

TEST(PosixProcessRunner, SliceRunsOutWhileTheProgramRunsAndAnAbandonedProgramIsReaped) {
  PosixProcessRunner runner;
  auto sleeper = runner.Start("sleep", {"0.6"});
  ASSERT_NE(sleeper, nullptr);
  int pid = sleeper->ProcessId();
  EXPECT_EQ(sleeper->Wait(20), WaitResult::SliceElapsed);
  sleeper.reset();  // left running
  EXPECT_EQ(kill(pid, 0), 0);
  EXPECT_TRUE(Disappears(pid)) << "the ended program stayed behind as a zombie";
}

}  // namespace
}  // namespace wendrel
