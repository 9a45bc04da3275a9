// Replacing saves on POSIX: exclusive create beside the target, write, fsync, rename, and an fsync
// of the folder so the rename itself survives a power cut.
#include "platform/replacing_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace wendrel {

ReplacingFile::ReplacingFile(std::string target) : m_target(std::move(target)) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    m_temporary = m_target + "." + std::to_string(getpid()) + "." + std::to_string(counter++) + ".tmp";
    // The permissions follow the umask like any file the program creates.
    m_fd = open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd >= 0) return;
    if (errno != EEXIST) break;
  }
  int error = errno;
  m_temporary.clear();
  Fail(error);
}

ReplacingFile::~ReplacingFile() {
  if (m_fd >= 0) close(m_fd);
  if (!m_temporary.empty()) std::remove(m_temporary.c_str());
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
