// The window's file dialog on QFileDialog.
#include "ui/file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace wendrel {

FileDialog::FileDialog(QWidget* parent) : m_parent(parent) {
  m_chooser = [this](Kind kind, const QString& title, const QString& fileName, const QString& folder) {
    const QString start = fileName.isEmpty() ? folder : QDir(folder).filePath(fileName);
    const QString filter = Filter;
    if (kind == Kind::Open) return QFileDialog::getOpenFileName(m_parent, title, start, filter);
    QFileDialog dialog(m_parent, title, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(DefaultExt);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
  };
}

void FileDialog::Show(Kind kind) {
  FileName = m_chooser(kind, DialogTitle, FileName, InitDir);
  if (!FileName.isEmpty()) InitDir = QFileInfo(FileName).absolutePath();
}

}  // namespace wendrel
