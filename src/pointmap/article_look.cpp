// The article map's shared look.
#include "pointmap/article_look.h"

#include <algorithm>

namespace wendrel {

void ApplyArticleMapLook(PointMap2D& map, Surface& surface) {
  surface.SetBackColor(kArticleMapBackground);
  map.SetShowEdges(true);
  map.SetNodeShape(3);
  map.SetClusterColor(kPearlCluster, RedOf(kPearlColor), GreenOf(kPearlColor), BlueOf(kPearlColor));
  map.SetClusterColor(kCitedCluster, RedOf(kCitedColor), GreenOf(kCitedColor), BlueOf(kCitedColor));
  map.SetClusterColor(kCitingCluster, RedOf(kCitingColor), GreenOf(kCitingColor), BlueOf(kCitingColor));
  map.SetLabelColor(Rgb(0, 128, 255));
  map.SetOutlineContrast(true, kArticleMapBackground);
  map.SetMinimumNodePixels(kArticleNodePixels);
  map.SetMaximumNodePixels(kArticleNodeMaxPixels);
  map.SetLegend({{"pearl", kPearlColor},
                 {"cited by pearl", kCitedColor},
                 {"citing pearl", kCitingColor},
                 {"other article", map.GetClusterColor(0)}});
}

LabelPlacement ArticleLabelPlacement(const std::vector<int32_t>& degrees, const std::vector<bool>& pearls) {
  LabelPlacement placement;
  placement.enabled = true;
  placement.priority.resize(degrees.size());
  // Above every degree of this tree, so every pearl comes before every hub.
  int32_t largest = 0;
  for (const int32_t degree : degrees) largest = std::max(largest, degree);
  const auto pearlFirst = static_cast<float>(largest) + 1;
  for (size_t i = 0; i < degrees.size(); ++i) {
    const bool pearl = i < pearls.size() && pearls[i];
    placement.priority[i] = static_cast<float>(degrees[i]) + (pearl ? pearlFirst : 0.0f);
  }
  placement.keepClear = pearls;
  return placement;
}

}  // namespace wendrel
