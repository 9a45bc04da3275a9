// File reads and writes of the chain on POSIX; replacing writes go through the platform's
// ReplacingFile, which replaces the target in one step.
#include "chain/chain_file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "chain/chain_error.h"
#include "platform/replacing_file.h"

namespace wendrel {

namespace {

std::string Reason(int error) { return std::strerror(error); }

// Opens a new file whose name starts with `prefix`; the permissions follow the umask like any
// file the program creates.
int CreateUnique(const std::string& prefix, std::string& path) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    path = prefix + "." + std::to_string(getpid()) + "." + std::to_string(counter++) + ".tmp";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Writes everything and closes; false with errno set when any step fails (the descriptor is
// closed either way).
bool WriteAndClose(int fd, const std::string& content) {
  const char* data = content.data();
  size_t left = content.size();
  while (left > 0) {
    ssize_t n = write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int error = n < 0 ? errno : EIO;
      close(fd);
      errno = error;
      return false;
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
  return close(fd) == 0;
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw ChainError("Cannot open " + path + ": it is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ChainError("Cannot open " + path + ": " + Reason(errno));
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw ChainError("Cannot read " + path);
  return bytes.str();
}

void WriteFileReplacing(const std::string& path, const std::string& content) {
  try {
    ReplaceFile(path, content);
  } catch (const ReplaceError& e) {
    throw ChainError("Cannot write " + path + ": " + e.Reason());
  }
}

void WriteFilesTogether(const std::vector<std::pair<std::string, std::string>>& files) {
  std::vector<std::unique_ptr<ReplacingFile>> written;
  const std::string* current = nullptr;
  try {
    // The temporaries that are not committed remove themselves when `written` goes.
    for (const auto& [path, content] : files) {
      current = &path;
      written.push_back(std::make_unique<ReplacingFile>(path));
      written.back()->Write(content);
    }
    for (size_t k = 0; k < written.size(); ++k) {
      current = &files[k].first;
      written[k]->Commit();
    }
  } catch (const ReplaceError& e) {
    throw ChainError("Cannot write " + *current + ": " + e.Reason());
  }
}

FolderLock::FolderLock(const std::string& folder) : m_folder(folder) {
  std::error_code ec;
  m_created = std::filesystem::create_directories(folder, ec);
  if (ec) throw ChainError("Cannot create the folder " + folder + ": " + ec.message());
  m_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (m_fd < 0) {
    const int error = errno;
    if (m_created) rmdir(folder.c_str());
    throw ChainError("Cannot open the folder " + folder + ": " + Reason(error));
  }
  if (flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(m_fd);
    throw ChainError(error == EWOULDBLOCK ? "another run is writing into " + folder + "; try again when it has ended"
                                          : "Cannot lock the folder " + folder + ": " + Reason(error));
  }
}

FolderLock::~FolderLock() {
  // Removing the folder fails, as it should, once it holds anything.
  if (m_created) rmdir(m_folder.c_str());
  close(m_fd);
}

TemporaryFile::TemporaryFile(const std::string& stem, const std::string& content) {
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  if (ec) throw ChainError("No temporary folder: " + ec.message());
  int fd = CreateUnique((folder / stem).string(), m_path);
  if (fd < 0) throw ChainError("Cannot create a temporary file in " + folder.string() + ": " + Reason(errno));
  if (!WriteAndClose(fd, content)) {
    int error = errno;
    std::remove(m_path.c_str());
    throw ChainError("Cannot write the temporary file " + m_path + ": " + Reason(error));
  }
}

TemporaryFile::~TemporaryFile() { std::remove(m_path.c_str()); }

}  // namespace wendrel
