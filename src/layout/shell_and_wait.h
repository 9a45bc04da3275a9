// modShellAndWait: start the program of a command line (split here, no shell involved) through the
// process runner and wait for it, handing the event loop a turn between waits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/process_runner.h"

namespace wendrel {

// The statuses ShellAndWait returns.
constexpr int32_t kShellEnded = 0;
constexpr int32_t kShellNotStarted = 1;
constexpr int32_t kShellTimedOut = 2;
constexpr int32_t kShellBadArguments = 3;

// Splits a command line at blanks outside double quotes; the quotes themselves are dropped, so
// '"/a b/sfdp" "/w/gvin.txt" -Tplain -o"/w/gvout.txt"' gives /a b/sfdp, /w/gvin.txt, -Tplain and
// -o/w/gvout.txt. No other shell syntax is interpreted.
std::vector<std::string> SplitCommandLine(const std::string& command);

// Starts the command's program (no shell) and waits for it in slices of 500 ms, calling
// host.DoEvents after every slice that did not end the wait. Returns 3 for bad arguments (empty
// command, timeoutMs < 0, breakMode outside 0-2, windowStyle outside 0-4 and not 6), 1 when the
// program cannot be started, 2 when the elapsed slices exceed timeoutMs (> 0; 0 means no limit;
// the program is left running), and 0 when the program ended or the wait itself failed. The
// program's own exit code is not reported. Programs started here show no window and their console
// output is discarded, whatever the window style; breakMode has no effect beyond its range test.
int32_t ShellAndWait(const std::string& command, int32_t timeoutMs, int32_t windowStyle, int32_t breakMode, Host& host,
                     ProcessRunner& runner);

}  // namespace wendrel
