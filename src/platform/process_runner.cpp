// POSIX process runner: posix_spawn, non-blocking waitpid polled within a slice, and a reaper
// for programs that are abandoned while still running.
#include "process_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace wendrel {

namespace {

// How often a slice looks at the program; short enough that an ended program is noticed at once.
constexpr auto kPollInterval = std::chrono::milliseconds(5);

class PosixProcess : public RunningProcess {
 public:
  explicit PosixProcess(pid_t pid) : m_pid(pid) {}

  ~PosixProcess() override {
    if (m_state != State::Running) return;
    // The program is left running as the caller asked; a detached thread waits for its end so
    // that it does not stay behind as a zombie.
    pid_t pid = m_pid;
    std::thread([pid] {
      while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  }

  int ProcessId() const override { return m_pid; }

  WaitResult Wait(int sliceMs) override {
    if (m_state == State::Ended) return WaitResult::Ended;
    if (m_state == State::Lost) return WaitResult::Failed;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(sliceMs < 0 ? 0 : sliceMs);
    for (;;) {
      int status = 0;
      pid_t done = waitpid(m_pid, &status, WNOHANG);
      if (done == m_pid) {
        m_state = State::Ended;
        if (WIFEXITED(status)) m_exitStatus = WEXITSTATUS(status);
        else if (WIFSIGNALED(status)) m_exitStatus = 128 + WTERMSIG(status);
        return WaitResult::Ended;
      }
      if (done < 0 && errno != EINTR) {
        m_state = State::Lost;
        return WaitResult::Failed;
      }
      auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return WaitResult::SliceElapsed;
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kPollInterval, deadline - now));
    }
  }

  int ExitStatus() const override { return m_exitStatus; }

 private:
  enum class State { Running, Ended, Lost };
  pid_t m_pid;
  State m_state = State::Running;
  int m_exitStatus = -1;
};

}  // namespace

std::unique_ptr<RunningProcess> PosixProcessRunner::Start(const std::string& program,
                                                          const std::vector<std::string>& arguments) {
  if (program.empty()) return nullptr;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return nullptr;
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (!m_showOutput) {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = 0;
  int error = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0 || pid <= 0) return nullptr;
  return std::make_unique<PosixProcess>(pid);
}

}  // namespace wendrel
