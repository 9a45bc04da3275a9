// The "Export for Reference Managers…" dialog: which list, which decision, which format and which
// file an export of the chain is written to.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>

#include <optional>

#include "chain/exchange_exports.h"
#include "ui/file_dialog.h"

namespace wendrel {

// Browse goes through the window's file dialog, which it leaves as it found it but for the folder
// it remembers. The file name follows the list, the decision and the format (pearls.ris, cited.csv,
// all-included.ris, ...) until the user names the file. OK stays off while no file is named.
class ExportDialog : public QDialog {
 public:
  // `folder` is where the suggested file goes. The chain's lists, and the search results, can be
  // chosen only when there are any.
  ExportDialog(FileDialog& files, const QString& folder, bool chainLists, bool searchResults, QWidget* parent);

  QComboBox* ListChoice = nullptr;
  QComboBox* DecisionChoice = nullptr;  // "any", then the decisions
  QComboBox* FormatChoice = nullptr;
  QLineEdit* FilePath = nullptr;
  QPushButton* Browse = nullptr;
  QDialogButtonBox* Buttons = nullptr;

  // The chosen list; none for the search results.
  std::optional<ExchangeList> List() const;
  // Chooses the list at `index` if it can be chosen, else the first that can.
  void ChooseList(int index);
  // The chosen decision; none for any.
  std::optional<Verdict> Decision() const;
  ExchangeFormat Format() const;
  QString Path() const { return FilePath->text().trimmed(); }
  // True when the path was chosen in the file dialog, which has asked about replacing it already.
  bool PathConfirmed() const { return !m_browsed.isEmpty() && m_browsed == Path(); }

  void Browse_Click();

 private:
  QString SuggestedName() const;
  void ChoiceChanged();

  FileDialog& m_files;
  QString m_suggested;  // the name last suggested, replaced while the path still ends in it
  QString m_browsed;
};

}  // namespace wendrel
