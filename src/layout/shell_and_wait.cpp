// modShellAndWait on the process runner seam.
#include "layout/shell_and_wait.h"

namespace wendrel {

namespace {
constexpr int kSliceMs = 500;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& command) {
  std::vector<std::string> parts;
  std::string current;
  bool inQuotes = false;
  bool inPart = false;
  for (char c : command) {
    if (c == '"') {
      inQuotes = !inQuotes;
      inPart = true;  // "" is an empty argument
    } else if (IsBlank(c) && !inQuotes) {
      if (inPart) parts.push_back(current);
      current.clear();
      inPart = false;
    } else {
      current += c;
      inPart = true;
    }
  }
  if (inPart) parts.push_back(current);
  return parts;
}

int32_t ShellAndWait(const std::string& command, int32_t timeoutMs, int32_t windowStyle, int32_t breakMode, Host& host,
                     ProcessRunner& runner) {
  std::vector<std::string> parts = SplitCommandLine(command);
  bool styleValid = (windowStyle >= 0 && windowStyle <= 4) || windowStyle == 6;
  if (parts.empty() || parts[0].empty() || timeoutMs < 0 || breakMode < 0 || breakMode > 2 || !styleValid) {
    return kShellBadArguments;
  }
  std::string program = parts[0];
  parts.erase(parts.begin());
  auto process = runner.Start(program, parts);
  if (!process || process->ProcessId() == 0) return kShellNotStarted;

  int64_t elapsed = 0;
  for (;;) {
    switch (process->Wait(kSliceMs)) {
      case WaitResult::Ended:
      case WaitResult::Failed:
        return kShellEnded;
      case WaitResult::SliceElapsed:
        host.DoEvents();
        elapsed += kSliceMs;
        if (timeoutMs > 0 && elapsed > timeoutMs) return kShellTimedOut;
        break;
    }
  }
}

}  // namespace wendrel
