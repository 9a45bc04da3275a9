// `wendrel grow`: grows a citation chain without a window, from pearl IDs or a RIS file, and writes
// its lists, its event history and a table of the candidates for the next pearl.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "chain/citation_chain.h"
#include "platform/host.h"
#include "platform/terminal_host.h"

namespace wendrel {

// The progress of a grow run, from the chain's events: which pearl of how many, which phase
// (record, cited, citing), how many of the direction's pages are merged, and the seconds the chain
// estimates its citing pages still take. Shown as a bar redrawn in place on a terminal, or as one
// plain line per step. It is also the caption handed to the chain, which it only keeps.
class GrowProgress : public Caption {
 public:
  GrowProgress(std::ostream& out, bool bar);

  std::string GetCaption() const override { return m_caption; }
  void SetCaption(const std::string& caption) override { m_caption = caption; }

  // Sets the events that move the progress on; the others in `events` stay as they are.
  void Listen(ChainEvents& events);
  // The run grows this many pearls; each AddPearl the chain begins is the next of them.
  void Expect(int pearls);
  // A pearl the run passes over without asking the chain.
  void SkipPearl() { ++m_pearl; }
  // Reference `item` of `items` of a seed list is being resolved; `notFound` of those before it
  // were not. Shown at most once a second, and for the first and the last.
  void Resolving(int32_t item, int32_t items, size_t notFound);
  // Ends a bar line in progress so that other output starts on a line of its own.
  void BreakLine();
  void Finish();
  // Grows with every event of the chain: a sign that the run moves on.
  uint64_t Changes() const { return m_changes; }

 private:
  void PhaseStarted(PearlPhase phase);
  void Show();
  std::string Step() const;

  std::ostream& m_out;
  bool m_bar;
  bool m_lineOpen = false;
  std::string m_caption;
  uint64_t m_changes = 0;
  int m_pearl = 0;
  int m_pearls = 0;
  PearlPhase m_phase = PearlPhase::Begin;
  int32_t m_pagesDone = 0;  // of the phase's direction
  int32_t m_pages = 0;
  std::string m_seconds;
  std::chrono::steady_clock::time_point m_nextResolving{};
};

// The host of a grow run. Messages are printed through a TerminalHost. The large-citation
// question is answered Yes (limit the citing articles) when --max-citing was given or there is no
// terminal, and asked otherwise. The HTTP retry question is asked on a terminal; without one it is
// answered Retry until the run has been stuck for retryBudget, then Cancel.
class GrowHost : public Host {
 public:
  GrowHost(std::istream& in, std::ostream& err, bool interactive, GrowProgress& progress, bool limitCiting,
           int32_t citingLimit, std::chrono::milliseconds retryBudget = std::chrono::minutes(1));

  void DoEvents() override {}
  MessageResult MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override;
  void SetBusy(bool) override {}
  void SetClipboardText(const std::string& text) override { m_terminal.SetClipboardText(text); }
  bool OpenAddress(const std::string& address) override { return m_terminal.OpenAddress(address); }

 private:
  TerminalHost m_terminal;
  std::ostream& m_err;
  bool m_interactive;
  GrowProgress& m_progress;
  bool m_limitCiting;
  int32_t m_citingLimit;
  std::chrono::milliseconds m_retryBudget;
  std::optional<std::chrono::steady_clock::time_point> m_stuckSince;
  uint64_t m_changesWhenStuck = 0;
};

// Reads standard input when it is a terminal and draws a bar when standard error is one.
int RunGrow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The same with the terminal given: `in` is asked when interactive; progressBar draws the bar.
int RunGrow(const std::vector<std::string>& args, std::istream& in, bool interactive, std::ostream& out,
            std::ostream& err, bool progressBar);

}  // namespace wendrel
