// FormMain's map panel: the calls the lists make on the map while it is enabled.
#include <QElapsedTimer>
#include <QThread>

#include "ui/form_main.h"

namespace wendrel {

namespace {
// A pulse lasts a few hundred milliseconds; a map whose timer does not run is not waited for longer.
constexpr int kLongestPulseWaitMs = 2000;
}  // namespace

bool FormMain::MapEnabled() const { return mMapEnabled->isChecked(); }

bool FormMain::MapHasNode(int32_t node) const { return node >= 0 && node < DVis.NodeCount(); }

void FormMain::MarkPearlsOnMap() {
  for (int position = 1; position <= PearlList->RowCount(); ++position) {
    const int32_t node = PearlList->Row(position)->text(7).toInt() - 1;
    if (MapHasNode(node)) DVis.SetNodeCluster(node, 1);
  }
}

void FormMain::PulseAndWait(int32_t node) {
  if (!MapHasNode(node)) return;
  DVis.PulseNode(node, 5);
  QElapsedTimer waited;
  waited.start();
  while (DVis.NodeIsPulsing() && waited.elapsed() < kLongestPulseWaitMs) {
    m_host.DoEvents();
    QThread::msleep(1);
  }
}

// Part of the interface the session commands call after a load or a new pearl; the map build it
// starts comes with the map panel, and until then there is nothing to rebuild.
void FormMain::mTestVis_Click(int) {}

}  // namespace wendrel
