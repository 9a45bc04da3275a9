// Replacing saves on POSIX: exclusive create beside the target, write, fsync, rename, and an fsync
// of the folder so the rename itself survives a power cut.
#include "platform/replacing_file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace wendrel {

// The temporaries of the saves in progress, where a signal handler can read them: it may call
// neither malloc nor a lock, so each path sits in a fixed slot marked live once written.
struct TemporarySlot {
  std::atomic<int> state{0};  // 0 free, 1 being written, 2 live
  char path[PATH_MAX];
};

namespace {

TemporarySlot g_temporaries[16];

TemporarySlot* Remember(const std::string& path) {
  if (path.size() >= PATH_MAX) return nullptr;
  for (TemporarySlot& slot : g_temporaries) {
    int expected = 0;
    if (!slot.state.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.state.store(2);
    return &slot;
  }
  // More saves at once than slots: the rest stay behind on a signal, for the next save to remove.
  return nullptr;
}

void Forget(TemporarySlot*& slot) {
  if (slot) slot->state.store(0);
  slot = nullptr;
}

void RemoveTemporariesAndEnd(int signal) {
  for (TemporarySlot& slot : g_temporaries)
    if (slot.state.load() == 2) unlink(slot.path);
  // The signal's own action, so that the exit status and the shell see what happened.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  raise(signal);
}

// "<name>.<pid>.<n>.tmp" beside the target, written by a process that no longer runs.
void RemoveAbandonedTemporaries(const std::string& target) {
  const std::filesystem::path path(target);
  const std::string prefix = path.filename().string() + ".";
  constexpr std::string_view kSuffix = ".tmp";
  std::error_code ec;
  std::filesystem::directory_iterator entries(path.parent_path().empty() ? "." : path.parent_path(), ec);
  for (; !ec && entries != std::filesystem::directory_iterator(); entries.increment(ec)) {
    const std::string name = entries->path().filename().string();
    if (name.size() <= prefix.size() + kSuffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0)
      continue;
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - kSuffix.size());
    const size_t dot = middle.find('.');
    if (dot == 0 || dot == std::string::npos || dot > 9 || dot + 1 == middle.size() ||
        !std::all_of(middle.begin(), middle.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); }) ||
        middle.find('.', dot + 1) != std::string::npos)
      continue;
    const pid_t pid = static_cast<pid_t>(std::stol(middle.substr(0, dot)));
    // A process that runs (or that we may not signal) may still be writing it.
    if (pid <= 0 || pid == getpid() || kill(pid, 0) == 0 || errno != ESRCH) continue;
    std::error_code ignored;
    std::filesystem::remove(entries->path(), ignored);
  }
}

}  // namespace

void RemoveTemporariesOnStopSignals() {
  struct sigaction action {};
  action.sa_handler = RemoveTemporariesAndEnd;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

ReplacingFile::ReplacingFile(std::string target) : m_target(std::move(target)) {
  RemoveAbandonedTemporaries(m_target);
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    m_temporary = m_target + "." + std::to_string(getpid()) + "." + std::to_string(counter++) + ".tmp";
    // A stop signal between creating the file and remembering it would leave it behind: the two
    // happen with the stop signals held back. The permissions follow the umask like any file the
    // program creates.
    sigset_t stops, before;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stops, &before);
    m_fd = open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const int error = errno;
    if (m_fd >= 0) m_slot = Remember(m_temporary);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (m_fd >= 0) return;
    errno = error;
    if (errno != EEXIST) break;
  }
  int error = errno;
  m_temporary.clear();
  Fail(error);
}

ReplacingFile::~ReplacingFile() {
  if (m_fd >= 0) close(m_fd);
  if (!m_temporary.empty()) std::remove(m_temporary.c_str());
  Forget(m_slot);
}

void ReplacingFile::Fail(int error) {
  throw ReplaceError(m_target, std::strerror(error));
}

void ReplacingFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(m_fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail(n < 0 ? errno : EIO);
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void ReplacingFile::Commit() {
  // The data reaches the disk before the rename, so a crash cannot leave an empty or partial
  // file in the target's place.
  if (fsync(m_fd) != 0) Fail(errno);
  int fd = m_fd;
  m_fd = -1;
  if (close(fd) != 0) Fail(errno);
  if (std::rename(m_temporary.c_str(), m_target.c_str()) != 0) Fail(errno);
  m_temporary.clear();
  Forget(m_slot);
  std::filesystem::path folder = std::filesystem::path(m_target).parent_path();
  int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
}

void ReplaceFile(const std::string& target, std::string_view content) {
  ReplacingFile file(target);
  file.Write(content);
  file.Commit();
}

}  // namespace wendrel
