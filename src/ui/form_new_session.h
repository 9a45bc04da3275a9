// The dialog shown over the main window at start: a topic search (cold start) or loading a saved
// Pearl List (hot start).
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QRadioButton>
#include <array>

namespace wendrel {

class FormMain;

// Only Start leaves the dialog: the close box is refused; the program may close it.
class FormNewSession : public QDialog {
 public:
  explicit FormNewSession(FormMain& main);

  std::array<QRadioButton*, 2> NewType{};
  QPushButton* Start = nullptr;

  // Closes the dialog for good (the program's own close, which is never refused).
  void Unload();
  void Start_Click();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  FormMain& m_main;
  bool m_unloading = false;
};

}  // namespace wendrel
