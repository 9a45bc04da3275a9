// FormMain's settings: the window's size and place, the splitters, the column widths, the lists'
// screening filters, the map's state and the last folder, in the program's settings file.
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

// The screening filters of list `index` (as ListFilter counts), kept as the names of those ticked.
const char* const kFilterKeys[4] = {"filters/cited", "filters/pearls", "filters/citing", "filters/search"};

QStringList FilterNames(const ScreeningFilter& filter) {
  QStringList names;
  if (filter.undecidedOnly) names << "undecided-only";
  if (filter.hideExcluded) names << "hide-excluded";
  if (filter.hideKnown) names << "hide-known";
  return names;
}

ScreeningFilter FilterFromNames(const QStringList& names) {
  return {.undecidedOnly = names.contains("undecided-only"),
          .hideExcluded = names.contains("hide-excluded"),
          .hideKnown = names.contains("hide-known")};
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
  for (size_t k = 0; k < 4; ++k) m_screening.SetFilter(k, FilterFromNames(settings.value(kFilterKeys[k]).toStringList()));
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
  for (size_t k = 0; k < 4; ++k) settings.setValue(kFilterKeys[k], FilterNames(m_screening.Filter(k)));
}

}  // namespace wendrel
