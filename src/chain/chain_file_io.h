// Whole-file reads and replacing writes for the chain's files, and a temporary file that removes
// itself.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace wendrel {

// The file's bytes; throws ChainError naming the file and the reason when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Writes the content to a new file beside `path` and renames it over `path`, so a failed write
// (full disk, missing folder, size limit) leaves the previous file as it was and no partial file.
// Throws ChainError naming the file and the reason.
void WriteFileReplacing(const std::string& path, const std::string& content);

// Writes several files as one: every file's content goes to a temporary beside it first, and only
// when all are written are they renamed over their targets, so a failed write (full disk, size
// limit) leaves every target as it was and no temporary behind. Throws ChainError naming the file.
void WriteFilesTogether(const std::vector<std::pair<std::string, std::string>>& files);

// An exclusive lock on a folder for as long as the object lives, so that two runs never write into
// one folder at once. The folder is created when it does not exist, and removed again when the
// lock goes while it is still empty (a run that wrote nothing leaves nothing). The lock is the
// system's advisory lock on the folder itself: no lock file joins the folder's files, and the
// system lets it go when the process ends in any way. Throws ChainError when the folder cannot be
// created or opened, or another process holds the lock.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  std::string m_folder;
  int m_fd = -1;
  bool m_created = false;
};

// A file in the system's temporary folder, removed when the object goes away (also when an
// exception passes).
class TemporaryFile {
 public:
  // Creates the file with the content; `stem` becomes part of its name. Throws ChainError.
  TemporaryFile(const std::string& stem, const std::string& content);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

}  // namespace wendrel
