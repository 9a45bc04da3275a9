// FormMain's settings: the window's size and place, the splitters, the column widths, the map's
// state and the last folder, in the program's settings file.
#include <QDir>
#include <QScreen>
#include <QSettings>

#include "ui/form_main.h"

namespace wendrel {

namespace {

// The program's settings file: $XDG_CONFIG_HOME/wendrel/wendrel-search.conf.
QSettings ProgramSettings() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "wendrel", "wendrel-search"); }

const char* SettingsKey(const ListView* list, const FormMain& form) {
  return list == form.CitedList ? "lists/cited" : list == form.PearlList ? "lists/pearls"
                                              : list == form.CitingList ? "lists/citing" : "lists/search";
}

}  // namespace

std::string FormMain::SettingsFile() { return ProgramSettings().fileName().toStdString(); }

void FormMain::RestoreSettings() {
  m_keepSettings = true;
  QSettings settings = ProgramSettings();
  restoreGeometry(settings.value("window/geometry").toByteArray());
  // A geometry kept on a larger screen (or with another screen beside it) fits this one.
  if (const QScreen* shown = screen()) FitToScreen(shown->availableGeometry());
  LeftSplit->restoreState(settings.value("window/left").toByteArray());
  MainSplit->restoreState(settings.value("window/split").toByteArray());
  // Only the widths: the sort column and order stay the lists' own.
  for (ListView* list : {CitedList, PearlList, CitingList, SearchResult}) {
    const QVariantList widths = settings.value(SettingsKey(list, *this)).toList();
    for (int column = 0; column < std::min(static_cast<int>(widths.size()), list->columnCount()); ++column) {
      if (const int width = widths[column].toInt(); width > 0) list->setColumnWidth(column, width);
    }
  }
  const QString folder = settings.value("files/folder").toString();
  if (!folder.isEmpty() && QDir(folder).exists()) CommonDialog1.InitDir = folder;
  m_mapPane.SetLabelDegree(settings.value("map/labels", m_mapPane.WantedLabelDegree()).toInt());
  if (settings.value("map/enabled", false).toBool() != mMapEnabled->isChecked()) mMapEnabled->trigger();
  m_recentSessions = settings.value("sessions/recent").toStringList();
  FillRecentSessions();
}

void FormMain::SaveRecentSessions() const { ProgramSettings().setValue("sessions/recent", m_recentSessions); }

void FormMain::SaveSettings() const {
  QSettings settings = ProgramSettings();
  settings.setValue("window/geometry", saveGeometry());
  settings.setValue("window/left", LeftSplit->saveState());
  settings.setValue("window/split", MainSplit->saveState());
  for (const ListView* list : {CitedList, PearlList, CitingList, SearchResult}) {
    QVariantList widths;
    for (int column = 0; column < list->columnCount(); ++column) widths << list->OwnColumnWidth(column);
    settings.setValue(SettingsKey(list, *this), widths);
  }
  settings.setValue("files/folder", CommonDialog1.InitDir);
  settings.setValue("map/enabled", mMapEnabled->isChecked());
  settings.setValue("map/labels", m_mapPane.WantedLabelDegree());
  settings.setValue("sessions/recent", m_recentSessions);
}

}  // namespace wendrel
