// Saves that replace a file in one step: the new content goes to a temporary file beside the
// target, reaches the disk, and is renamed over the target, so a crash, a kill or a full disk at
// any moment leaves either the old file or the new one whole, never a part of either.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace wendrel {

// "cannot write <target>: <reason>"; callers rethrow it as their own subsystem's error.
class ReplaceError : public std::runtime_error {
 public:
  ReplaceError(const std::string& target, std::string reason)
      : std::runtime_error("cannot write " + target + ": " + reason), m_reason(std::move(reason)) {}
  // The system's reason alone ("No space left on device").
  const std::string& Reason() const { return m_reason; }

 private:
  std::string m_reason;
};

struct TemporarySlot;

// A temporary file "<target>.<pid>.<n>.tmp" in the target's folder, created empty; write it through
// Write or, for writers that open files by name (SQLite, streams), through Path(). Commit flushes it
// to the disk and renames it over the target; without Commit the destructor removes it. Throws
// ReplaceError. Creating one also removes the temporaries of the same target left by processes
// that are gone (killed in the middle of a save), and, once RemoveTemporariesOnStopSignals has
// been called, SIGINT and SIGTERM remove it before the process ends.
class ReplacingFile {
 public:
  explicit ReplacingFile(std::string target);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  const std::string& Path() const { return m_temporary; }
  void Write(std::string_view bytes);
  void Commit();

 private:
  [[noreturn]] void Fail(int error);

  std::string m_target;
  std::string m_temporary;
  int m_fd = -1;
  // Where a stop signal finds the temporary; none when all slots were taken.
  TemporarySlot* m_slot = nullptr;
};

// From now on SIGINT and SIGTERM first remove the temporaries of the saves in progress, then end
// the process as the signal would have. For programs that do not handle those signals otherwise;
// a thread that blocks them and waits for them (sigwait) is not affected. Idempotent.
void RemoveTemporariesOnStopSignals();

// Replaces the file at `target` with `content` through a ReplacingFile. Throws ReplaceError.
void ReplaceFile(const std::string& target, std::string_view content);

}  // namespace wendrel
