// The window's screening: deciding on articles by key (I, E, M, U) and by the Article menu, the
// reason picker and the reasons editor, the Decision, Known and Gen. columns, the lists' screening
// filters, the decision counts after the lists' captions, the screening fields of the summary and
// the generations' yields.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chain/screening.h"
#include "platform/host.h"
#include "ui/list_view.h"

namespace wendrel {

class FormMain;

// Asks for the reason of an exclusion: the session's reasons, the last one used (else the first)
// current, so that Enter takes it; Escape cancels.
class ReasonPicker : public QDialog {
 public:
  ReasonPicker(const std::vector<std::string>& reasons, const std::string& last, QWidget* parent);
  QListWidget* Reasons = nullptr;
  // The reason chosen; empty when none is current.
  std::string Chosen() const;
};

// The session's exclusion reasons, one a line; an emptied list gives back the defaults.
class ReasonsEditor : public QDialog {
 public:
  ReasonsEditor(const std::vector<std::string>& reasons, QWidget* parent);
  QPlainTextEdit* Text = nullptr;
  std::vector<std::string> Reasons() const;
};

// The screening filters of one list: which rows it leaves out besides the filter box's text.
struct ScreeningFilter {
  bool undecidedOnly = false;
  bool hideExcluded = false;
  bool hideKnown = false;
  bool newOnly = false;  // only the articles new since the last run (a refresh)
  bool Any() const { return undecidedOnly || hideExcluded || hideKnown || newOnly; }
};

// Owned by the window, for its life. Lists are indexed as FormMain's ListFilter: Cited, Pearl,
// Citing, search results (0 to 3). The three columns are the last of every list; articles are
// chain records (from 1), and a search result is screened when it is one of the chain's articles.
class ScreeningControls {
 public:
  ScreeningControls(FormMain& form, Host& host);

  // Shows a screening dialog (the reason picker, the reasons editor) and says whether it was
  // accepted; the program runs it modally, tests drive its controls.
  void SetDialogRunner(std::function<bool(QDialog&)> run) { m_runDialog = std::move(run); }

  // --- Built with the window ---
  // The Article menu's decisions and the Session menu's reasons, generations and known papers.
  void AddArticleCommands(QMenu& article);
  void AddSessionCommands(QMenu& session);
  // The decision, labels and note of the article shown, under its summary.
  QWidget* BuildSummaryBox();
  // The filter button of list `index`, beside its filter box.
  QPushButton* BuildFilterButton(ListView& list, size_t index);
  // The lists take decisions by key, act on several selected rows and hear of focus.
  void AttachList(ListView& list, size_t index);
  static constexpr int kColumns = 4;  // Decision, Known, Gen., New
  static std::vector<std::pair<QString, int>> Columns(double scale);
  // Shows the decision and the known mark beside the list's first column, where a narrow window
  // still has them in view; the columns keep their numbers.
  static void PlaceColumns(ListView& list);
  static const char* const kColumnTips[kColumns];

  // --- Shown ---
  // Fills the screening columns of a list's rows (before they are sorted).
  void FillRows(ListView& list);
  // After decisions: fills every list's screening columns, sorts and filters the lists again and
  // counts the decisions after their captions.
  void Refresh();
  // The decisions among a list's rows after its caption's text: ", 40 included, 97 excluded, 75 to
  // screen" (and ", 3 known"); empty when no row has a decision and none is known.
  QString CountsText(const ListView& list) const;
  // The screening of the article shown in the summary (0 or -1: none of the chain's).
  void ShowArticle(int32_t index);
  // Whether the Article menu's decisions apply to the rows `list` has selected.
  void UpdateCommands(ListView& list);

  // --- Commands ---
  // Decides on the selected rows of the list last used (else the article shown). An exclusion
  // asks its reason first; false when it was cancelled or there was nothing to decide on.
  bool DecideSelected(Verdict verdict);
  // The articles the decisions would go to: the chain records of the visible selected rows.
  std::vector<int32_t> Targets(const ListView& list) const;
  void EditReasons();
  void ShowGenerations();
  // Reads the user's library (BibTeX, RIS, CSL-JSON or a list of DOIs) and marks the articles it
  // holds known; says how its entries matched and lists the possible matches, which stay unmarked.
  void ImportKnownPapers();

  const ScreeningFilter& Filter(size_t index) const { return m_filters[index]; }
  void SetFilter(size_t index, const ScreeningFilter& filter);

  QAction* mInclude = nullptr;
  QAction* mExclude = nullptr;
  QAction* mMaybe = nullptr;
  QAction* mUndecide = nullptr;
  QAction* mExclusionReasons = nullptr;
  QAction* mGenerations = nullptr;
  QAction* mImportKnown = nullptr;
  QLabel* DecisionText = nullptr;
  QLineEdit* LabelsField = nullptr;
  QLineEdit* NoteField = nullptr;
  std::array<QPushButton*, 4> FilterButton{};

 private:
  // The chain record a row stands for; 0 for a search result the chain does not hold.
  int32_t RowArticle(const ListView& list, const QTreeWidgetItem& row) const;
  void FillRow(const ListView& list, QTreeWidgetItem& row) const;
  void ApplyFilter(size_t index);
  // The picker's reason; none when it was cancelled.
  std::optional<std::string> AskReason();
  void Decided(ListView& list, const std::vector<int32_t>& articles);
  void SaveFields();

  FormMain& m_form;
  Host& m_host;
  std::function<bool(QDialog&)> m_runDialog;
  std::array<ListView*, 4> m_lists{};
  std::array<ScreeningFilter, 4> m_filters{};
  ListView* m_activeList = nullptr;  // the list the decisions go to
  int32_t m_shown = 0;               // the article whose fields the summary shows
};

}  // namespace wendrel
