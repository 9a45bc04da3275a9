// The POSIX process runner: arguments passed verbatim, exit codes, and programs that cannot start.
// Slices, time limits and reaping are tested through ShellAndWait.
#include "platform/process_runner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "temp_dir.h"

namespace wendrel {
namespace {

// Runs until the program ends, at most ~10 s.
WaitResult WaitToEnd(RunningProcess& process) {
  WaitResult result = WaitResult::SliceElapsed;
  for (int i = 0; i < 100 && result == WaitResult::SliceElapsed; ++i) result = process.Wait(100);
  return result;
}

TEST(PosixProcessRunner, PassesArgumentsVerbatimReportsExitCodesAndRefusesMissingPrograms) {
  test::TempDir folder;
  const std::string target = folder.Path("c;$HOME \"d\"");
  std::ofstream(folder.Path("a b")) << "content";
  PosixProcessRunner runner;
  auto copy = runner.Start("cp", {folder.Path("a b"), target});
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(WaitToEnd(*copy), WaitResult::Ended);
  EXPECT_EQ(copy->ExitStatus(), 0);
  EXPECT_TRUE(std::filesystem::exists(target));

  auto failing = runner.Start("/bin/false", {});
  ASSERT_NE(failing, nullptr);
  EXPECT_EQ(failing->ExitStatus(), -1);
  EXPECT_EQ(WaitToEnd(*failing), WaitResult::Ended);
  EXPECT_EQ(failing->ExitStatus(), 1);
  EXPECT_EQ(failing->Wait(10), WaitResult::Ended);  // asking again is harmless

  for (const char* program : {"/nonexistent/program", "wendrel-no-such-program-on-path", ""}) {
    EXPECT_EQ(runner.Start(program, {}), nullptr) << program;  // cannot start
  }
}

}  // namespace
}  // namespace wendrel
