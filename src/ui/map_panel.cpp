// The map panel (MapPanel) and FormMain's map commands: switching the map, building it from the
// session's articles, node sizes, hub labels, and the map's hover and click events, which select
// the article in its list.
#include "ui/map_panel.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QSpinBox>
#include <algorithm>
#include <cmath>
#include <QHBoxLayout>
#include <QStatusBar>
#include <QThread>
#include <QVBoxLayout>

#include "layout/spatial.h"
#include "platform/user_folders.h"
#include "pointmap/article_look.h"
#include "ui/form_main.h"

namespace wendrel {

namespace {

// A pulse lasts a few hundred milliseconds; a map whose timer does not run is not waited for longer.
constexpr int kLongestPulseWaitMs = 2000;

const char* StageName(MapStage stage) {
  switch (stage) {
    case MapStage::Documents: return "documents";
    case MapStage::Matrix: return "term matrix";
    case MapStage::Similarity: return "similarities";
    case MapStage::Tree: return "spanning tree";
    case MapStage::Layout: return "layout";
  }
  return "";
}

}  // namespace

QSize DefaultMapImageSize(QSize view) {
  const double scale = std::max({2.0, 1600.0 / view.width(), 1200.0 / view.height()});
  return {static_cast<int>(std::lround(view.width() * scale)), static_cast<int>(std::lround(view.height() * scale))};
}

std::optional<QSize> AskMapImageSize(QWidget* parent, QSize suggested, QSize view) {
  QDialog dialog(parent);
  dialog.setWindowTitle("Save Map Image");
  dialog.setMinimumWidth(dialog.fontMetrics().horizontalAdvance("Save Map Image") * 2);
  auto* layout = new QFormLayout(&dialog);
  auto* width = new QSpinBox;
  auto* height = new QSpinBox;
  for (QSpinBox* side : {width, height}) {
    side->setRange(16, 20000);
    side->setSuffix(" px");
  }
  width->setValue(suggested.width());
  height->setValue(suggested.height());
  // The sides keep the view's proportions: the map is not stretched.
  const double ratio = static_cast<double>(view.height()) / view.width();
  QObject::connect(width, &QSpinBox::valueChanged, height, [=](int value) {
    if (width->hasFocus()) height->setValue(static_cast<int>(std::lround(value * ratio)));
  });
  QObject::connect(height, &QSpinBox::valueChanged, width, [=](int value) {
    if (height->hasFocus()) width->setValue(static_cast<int>(std::lround(value / ratio)));
  });
  layout->addRow("Width", width);
  layout->addRow("Height", height);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return QSize(width->value(), height->value());
}

// ---------------------------------------------------------------------------------------------
// The panel

MapPanel::MapPanel(Host& host) : m_host(host) {}

QGroupBox* MapPanel::BuildFrame() {
  VisualizationFrame = new QGroupBox("Map");
  auto* mapLayout = new QVBoxLayout(VisualizationFrame);
  DVisContainer = new MapCanvas;
  mapLayout->addWidget(DVisContainer, 1);
  MapHint = new QLabel(
      "Wheel: zoom \u00b7 drag: zoom in \u00b7 right button: zoom out \u00b7 1\u20139: pan \u00b7 "
      "Home or double-click: whole map");
  // A narrow panel breaks the line rather than growing for it or cutting it short.
  MapHint->setWordWrap(true);
  MapHint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  mapLayout->addWidget(MapHint);
  auto* sliderRow = new QHBoxLayout;
  sliderRow->addWidget(new QLabel("Labels from degree"));
  LabelDegree = new QSlider(Qt::Horizontal);
  LabelDegree->setRange(1, 10);
  LabelDegree->setValue(m_labelDegree);
  QObject::connect(LabelDegree, &QSlider::valueChanged, LabelDegree, [this](int value) { m_labelDegree = value; });
  sliderRow->addWidget(LabelDegree, 1);
  LabelDegreeValue = new QLabel("3");
  LabelDegreeValue->setMinimumWidth(LabelDegreeValue->fontMetrics().horizontalAdvance("0000"));
  sliderRow->addWidget(LabelDegreeValue);
  mapLayout->addLayout(sliderRow);
  VisualizationFrame->hide();  // until Map > Enabled
  DVis.InitializePM2DCtl(*DVisContainer, &DVisContainer->Picture());
  DVisContainer->Attach(DVis);
  ApplyArticleMapLook(DVis, DVisContainer->Picture());
  // The map is off until "Enabled" is ticked.
  DVis.PM2DCtlObject()->SetEnabled(false);
  DVisContainer->setEnabled(false);
  return VisualizationFrame;
}

void MapPanel::SetLabelDegree(int degree) {
  LabelDegree->setValue(degree);  // within the slider's range
  // A degree beyond the range is kept for the next map, as the user's wish.
  m_labelDegree = std::max(1, degree);
}

bool MapPanel::HasNode(int32_t node) const { return node >= 0 && node < DVis.NodeCount(); }

void MapPanel::PulseAndWait(int32_t node) {
  if (!HasNode(node)) return;
  DVis.PulseNode(node, 5);
  QElapsedTimer waited;
  waited.start();
  while (DVis.NodeIsPulsing() && waited.elapsed() < kLongestPulseWaitMs) {
    m_host.DoEvents();
    QThread::msleep(1);
  }
}

void MapPanel::Build(const std::vector<MapArticle>& articles, int order, const MapProgress& progress) {
  MapBuildSettings settings = m_settings;
  // The window's working files go to the user's cache folder, never beside the program.
  if (settings.WorkFolder.empty()) settings.WorkFolder = UserCacheFolder();
  settings.SecondOrder = order == 1;
  m_map = BuildArticleMap(articles, m_host, m_runner, settings, progress);
  m_order = order;
  ShowGraph();
  DVis.PM2DCtlObject()->SetFontName("rockwell");
  DVis.SetLabelColor(Rgb(0, 128, 255));
  LabelDegree->blockSignals(true);
  const int wanted = m_labelDegree;
  LabelDegree->setRange(1, std::max(1, LargestDegree(m_map)));
  LabelDegree->setValue(wanted);
  LabelDegree->blockSignals(false);
  // The new range may have moved the value without a signal.
  LabelDegreeValue->setNum(LabelDegree->value());
}

void MapPanel::ShowGraph() {
  std::shared_ptr<const Spatial> graph = m_map.MapGraph;
  if (!graph) graph = std::make_shared<Spatial>(m_host, m_runner);
  DVis.SetCoordinates(std::move(graph));
  // A new map has no selected node yet; the first click then colours the pearl's relations.
  DVis.SetSelectedNode(-1);
  DVis.RenderView(true, false);
  DVisContainer->update();
}

void MapPanel::Clear() {
  m_map = ArticleMap{};
  ShowGraph();
}

void MapPanel::ApplyNodeSize(const std::vector<CCRecord>& records) {
  if (m_nodeSize == NodeSize::Constant || DVis.NodeCount() == 0) {
    DVis.ResetNodeWeights();
    return;
  }
  std::vector<float> weights = NodeSizeWeights(records, m_nodeSize);
  // Records added since the map was built have no node.
  weights.resize(static_cast<size_t>(DVis.NodeCount()), 0.0f);
  DVis.SetNodeWeights(weights);
}

void MapPanel::ShowLabels(const std::vector<bool>& pearls) {
  DVis.ResetNodeLabels("");
  DVis.SetShowNodeLabels(true);
  const std::vector<std::string> labels = HubLabels(m_map, LabelDegree->value());
  for (size_t node = 0; node < labels.size(); ++node) DVis.SetNodeLabel(static_cast<int32_t>(node), labels[node]);
  const std::vector<int32_t> degrees = m_map.MapGraph ? TreeDegrees(m_map) : std::vector<int32_t>{};
  DVis.SetLabelPlacement(ArticleLabelPlacement(degrees, pearls));
  // Pearls are drawn over the articles around them, and larger.
  DVis.SetFrontNodes(pearls, kPearlEnlarge);
  DVis.RenderView(true, false);
  DVisContainer->update();
}

// ---------------------------------------------------------------------------------------------
// The window's map commands

bool FormMain::MapEnabled() const { return mMapEnabled->isChecked(); }

void FormMain::MarkPearlsOnMap() {
  for (int position = 1; position <= PearlList->RowCount(); ++position) {
    const int32_t node = PearlList->Row(position)->text(7).toInt() - 1;
    if (m_mapPane.HasNode(node)) m_mapPane.DVis.SetNodeCluster(node, 1);
  }
}

void FormMain::mMapEnabled_Click() {
  // The item ticks itself when chosen; its new state says which way to switch.
  const bool on = mMapEnabled->isChecked();
  // A disabled map gives its place to the summary and the search.
  m_mapPane.VisualizationFrame->setVisible(on);
  m_mapPane.DVis.PM2DCtlObject()->SetEnabled(on);
  m_mapPane.DVisContainer->setEnabled(on);
  mFitMap->setEnabled(on);
  mSaveMapImage->setEnabled(on);
  if (on) mTestVis_Click(0);
}

void FormMain::TickMapOrder() {
  // Nothing is ticked until a map was built; the items tick themselves when chosen.
  for (size_t k = 0; k < mTestVis.size(); ++k) {
    mTestVis[k]->setChecked(m_mapPane.Map().MapGraph != nullptr && static_cast<int>(k) == m_mapPane.Order());
  }
}

void FormMain::mTestVis_Click(int index) {
  TickMapOrder();
  if (!MapEnabled() || m_operationRunning) return;
  {
    Operation operation(*this, false);
    m_host.SetBusy(true);
    std::vector<MapArticle> articles;
    articles.reserve(static_cast<size_t>(Chain.Count()));
    for (int32_t i = 1; i <= Chain.Count(); ++i) {
      const CCRecord r = Chain.GetRecord(i);
      articles.push_back({r.Title, r.Abstract});
    }
    m_mapPane.Build(articles, index, [this](MapStage stage, double fraction) {
      Progress->setRange(0, 100);
      Progress->setValue(static_cast<int>(fraction * 100));
      Progress->setFormat(QString("Map: ") + StageName(stage) + " %p%");
    });
    TickMapOrder();
  }
  // A new layout resets every weight; the ticked node size is drawn again, so the menu and the
  // map agree.
  ApplyNodeSize();
  DVis_OnNodeClick(0);
  MarkPearlsOnMap();
  m_mapPane.DVis.SetShowNodeLabels(true);
  LabelDegree_Change();
  m_host.SetBusy(false);
}

void FormMain::BuildMapFromMenu(int index) {
  const bool builds = MapEnabled() && !m_operationRunning;
  mTestVis_Click(index);
  if (!builds) return;
  // Builds after a growth or a load leave the status line to what they report.
  statusBar()->showMessage(QString("Map built: %1 articles, %2-order similarity")
                               .arg(m_mapPane.DVis.NodeCount())
                               .arg(index == 1 ? "second" : "first"));
}

void FormMain::ClearMap() {
  m_mapPane.Clear();
  TickMapOrder();
}

void FormMain::LabelDegree_Change() {
  if (!MapEnabled()) return;
  const PointMap2D& map = m_mapPane.DVis;
  std::vector<bool> pearls(static_cast<size_t>(map.NodeCount()), false);
  for (int32_t node = 0; node < map.NodeCount() && node < Chain.Count(); ++node) {
    pearls[static_cast<size_t>(node)] = Chain.GetRecord(node + 1).IsPearl;
  }
  m_mapPane.ShowLabels(pearls);
}

void FormMain::mNodeSz_Click(int index) {
  if (!MapEnabled()) {
    // Off, the items keep their ticks: the one chosen is unticked again.
    for (size_t k = 0; k < mNodeSz.size(); ++k)
      mNodeSz[k]->setChecked(k == static_cast<size_t>(m_mapPane.CurrentNodeSize()));
    return;
  }
  for (QAction* item : mNodeSz) item->setChecked(false);
  mNodeSz[static_cast<size_t>(index)]->setChecked(true);
  m_mapPane.SetNodeSize(static_cast<NodeSize>(index));
  ApplyNodeSize();
  m_mapPane.DVisContainer->update();
}

void FormMain::ApplyNodeSize() {
  std::vector<CCRecord> records;
  if (m_mapPane.CurrentNodeSize() != NodeSize::Constant) {
    for (int32_t i = 1; i <= Chain.Count(); ++i) records.push_back(Chain.GetRecord(i));
  }
  m_mapPane.ApplyNodeSize(records);
}

void FormMain::mFitMap_Click() {
  if (!MapEnabled()) return;
  m_mapPane.DVis.FitView();
  m_mapPane.DVisContainer->update();
}

void FormMain::mSaveMapImage_Click() {
  if (!MapEnabled() || m_operationRunning) return;
  // The map's picture has its own kind of file; the Pearl List's dialogs keep theirs.
  const QString filter = CommonDialog1.Filter;
  const QString extension = CommonDialog1.DefaultExt;
  const QString fileName = CommonDialog1.FileName;
  CommonDialog1.DialogTitle = "Save Map Image";
  CommonDialog1.Filter = "PNG images (*.png);;SVG pictures (*.svg)";
  CommonDialog1.DefaultExt = "png";
  CommonDialog1.FileName = "map.png";
  CommonDialog1.ShowSave();
  const QString path = CommonDialog1.FileName;
  CommonDialog1.Filter = filter;
  CommonDialog1.DefaultExt = extension;
  CommonDialog1.FileName = fileName;
  if (path.isEmpty()) return;
  // The view is drawn again at the size chosen, as large as a page by default, the proportions kept.
  QImageSurface& picture = m_mapPane.DVisContainer->Picture();
  const Placement shown = picture.GetPlacement();
  const QSize view(static_cast<int>(shown.width), static_cast<int>(shown.height));
  if (view.isEmpty()) return;
  const std::optional<QSize> size = m_chooseImageSize(DefaultMapImageSize(view), view);
  if (!size || size->isEmpty()) return;
  Placement large = shown;
  large.width = static_cast<float>(size->width());
  large.height = static_cast<float>(size->height());
  picture.SetPlacement(large);
  m_mapPane.DVis.RenderView(true, false);
  // A name ending in ".svg" gets the view drawn again as vectors; any other a PNG of the picture.
  const bool svg = path.endsWith(".svg", Qt::CaseInsensitive);
  const bool saved = svg ? picture.SaveSvg(path.toStdString(), [this] { m_mapPane.DVis.RenderView(true, false); })
                         : picture.SavePng(path.toStdString());
  picture.SetPlacement(shown);
  m_mapPane.DVis.RenderView(true, false);
  m_mapPane.DVisContainer->update();
  if (saved) {
    statusBar()->showMessage(QString("Map image saved (%1 \u00d7 %2): %3").arg(size->width()).arg(size->height()).arg(path));
  } else {
    m_host.MessageBox("The map image could not be written to " + path.toStdString(), "Save Map Image",
                      MessageIcon::Critical, MessageButtons::Ok);
  }
}

void FormMain::DVis_OnNewNodeOver(int32_t node) {
  if (!MapEnabled()) return;
  m_mapPane.DVisContainer->setToolTip(QString::fromStdString(Chain.GetRecord(node + 1).Title));
}

void FormMain::DVis_OnNodeClick(int32_t node) {
  if (!MapEnabled() || m_operationRunning) return;
  CurrentIndex = node + 1;
  PearlList->setFocus();
  const CCRecord r = Chain.GetRecord(CurrentIndex);
  const auto select = [this](ListView& list, bool related) {
    const int16_t position = FindListRow(list, CurrentIndex);
    if (position < 1) return;
    QTreeWidgetItem* row = list.Row(position);
    list.setCurrentItem(row);
    list.scrollToItem(row);
    list.setFocus();
    if (related) {
      RelatedList_ItemClick(list, row);
    } else {
      PearlList_ItemClick(row);
    }
  };
  if (r.IsPearl) {
    select(*PearlList, false);
  } else if (r.CitesPearls != 0) {
    CitingList->setFocus();
    select(*CitingList, true);
  } else {
    select(*CitedList, true);
  }
}

}  // namespace wendrel
