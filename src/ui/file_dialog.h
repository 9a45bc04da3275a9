// The window's one file dialog: what it remembers between uses, and the seam that shows it (a Qt
// dialog in the program, a scripted one in tests).
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace wendrel {

// Title, file name and initial folder persist between uses, as a single common dialog would;
// Cancel is no error: it leaves an empty file name.
class FileDialog {
 public:
  enum class Kind { Open, Save };
  // Shows the dialog and returns the chosen path, empty when cancelled.
  using Chooser = std::function<QString(Kind kind, const QString& title, const QString& fileName,
                                        const QString& folder)>;

  explicit FileDialog(QWidget* parent);
  void SetChooser(Chooser chooser) { m_chooser = std::move(chooser); }

  QString DialogTitle;
  QString FileName;
  QString InitDir;
  QString DefaultExt = "ris";
  QString Filter = "RIS files (*.ris);;All files (*)";

  void ShowOpen() { Show(Kind::Open); }
  void ShowSave() { Show(Kind::Save); }

 private:
  void Show(Kind kind);
  QWidget* m_parent;
  Chooser m_chooser;
};

}  // namespace wendrel
