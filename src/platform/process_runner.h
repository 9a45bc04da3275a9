// The process runner: starts a program with its arguments (no shell) and waits for it in slices,
// so that a caller can hand the event loop a turn between slices.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace wendrel {

enum class WaitResult {
  Ended,         // the program has ended (and has been reaped)
  SliceElapsed,  // the slice ran out while the program still runs
  Failed,        // the wait itself failed (the process is no longer ours to wait for)
};

// A started program. Destroying it while the program still runs leaves the program running;
// the runner reaps it when it ends, so no zombie remains.
class RunningProcess {
 public:
  virtual ~RunningProcess() = default;
  virtual int ProcessId() const = 0;
  // Waits up to sliceMs milliseconds for the program to end.
  virtual WaitResult Wait(int sliceMs) = 0;
  // The exit code after Ended (128 + signal number when a signal ended it); -1 before.
  virtual int ExitStatus() const = 0;
};

class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  // Starts program (a path, or a name looked up on PATH when it has no slash) with the given
  // arguments; nullptr when it cannot be started.
  virtual std::unique_ptr<RunningProcess> Start(const std::string& program,
                                                const std::vector<std::string>& arguments) = 0;
};

// posix_spawn on POSIX systems. Standard input reads /dev/null; standard output and error go to
// /dev/null unless showOutput is set, so a console program shows nothing, as a minimised
// console window would.
class PosixProcessRunner : public ProcessRunner {
 public:
  explicit PosixProcessRunner(bool showOutput = false) : m_showOutput(showOutput) {}
  std::unique_ptr<RunningProcess> Start(const std::string& program,
                                        const std::vector<std::string>& arguments) override;

 private:
  bool m_showOutput;
};

}  // namespace wendrel
