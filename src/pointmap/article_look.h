// The article map's look, shared by the desktop window and the command line's picture: a dark
// background, discs in the colours of pearls and their relations with outlines that stand out,
// nodes never smaller than a few pixels, labels placed without overlap, and a legend.
#pragma once

#include <cstdint>
#include <vector>

#include "pointmap/point_map.h"

namespace wendrel {

constexpr Color kArticleMapBackground = Rgb(80, 80, 80);
constexpr Color kPearlColor = Rgb(255, 0, 0);
constexpr Color kCitedColor = Rgb(130, 60, 0);
constexpr Color kCitingColor = Rgb(130, 200, 0);
// Clusters of the article map (0: any other article).
constexpr int16_t kPearlCluster = 1;
constexpr int16_t kCitedCluster = 2;
constexpr int16_t kCitingCluster = 3;
// The smallest radius a node is drawn with, in pixels.
constexpr float kArticleNodePixels = 3;
// The largest, and how much larger than other articles pearls are drawn.
constexpr float kArticleNodeMaxPixels = 24;
constexpr float kPearlEnlarge = 1.6f;

// Sets the colours, shapes, edges and legibility of map on the surface it draws on (its background
// colour too). Call after InitializePM2DCtl.
void ApplyArticleMapLook(PointMap2D& map, Surface& surface);

// Labels by hub degree (node i has degrees[i]), pearls' labels before all others, and no label over
// a pearl's node.
LabelPlacement ArticleLabelPlacement(const std::vector<int32_t>& degrees, const std::vector<bool>& pearls);

}  // namespace wendrel
