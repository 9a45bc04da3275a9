// The new-session dialog.
#include "ui/form_new_session.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/form_main.h"

namespace wendrel {

FormNewSession::FormNewSession(FormMain& main) : QDialog(&main), m_main(main) {
  setWindowTitle("New Session");
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel("Start from a topic search, or load a Pearl List saved in an earlier session.");
  intro->setWordWrap(true);
  layout->addWidget(intro);
  auto* frame = new QGroupBox("How do you want to start?");
  auto* options = new QVBoxLayout(frame);
  NewType[0] = new QRadioButton("New Topic Search (Cold Start)");
  NewType[1] = new QRadioButton("Import Bibliography (Hot Start)");
  NewType[0]->setChecked(true);
  for (QRadioButton* option : NewType) options->addWidget(option);
  layout->addWidget(frame);
  Start = new QPushButton("Start");
  Start->setDefault(true);
  layout->addWidget(Start, 0, Qt::AlignRight);
  connect(Start, &QPushButton::clicked, this, [this] { Start_Click(); });
}

void FormNewSession::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The chosen option has the focus: the arrow keys move between the options and Enter starts
  // with the one chosen (Start is the default button).
  (NewType[0]->isChecked() ? NewType[0] : NewType[1])->setFocus();
}

void FormNewSession::closeEvent(QCloseEvent* event) {
  if (m_unloading) {
    event->accept();
  } else {
    event->ignore();
  }
}

// Escape would close the dialog like its close box; it is refused the same way.
void FormNewSession::reject() {
  if (m_unloading) QDialog::reject();
}

void FormNewSession::Unload() {
  m_unloading = true;
  close();
}

void FormNewSession::Start_Click() {
  hide();
  if (NewType[0]->isChecked()) {
    m_main.mAddPearl->setEnabled(false);
    m_main.SetWindowEnabled(true);
    m_main.show();
    // A topic search starts on the Search tab, with the text field ready for the first word.
    m_main.SSTab1->setCurrentIndex(1);
    m_main.ASQField[0]->setFocus();
  } else {
    m_main.show();
    m_main.SetWindowEnabled(true);
    m_main.ImportRIS();
  }
}

}  // namespace wendrel
