// Prim's algorithm under the fixed link order, and the choice of one tree of the forest.
#include "proximity/spanning_tree.h"

#include <algorithm>
#include <numeric>

namespace wendrel {

std::vector<TreeEdge> SpanningForest(int32_t n, const LinkRow& row, bool similarities, Host* host) {
  std::vector<TreeEdge> edges;
  if (n <= 0) return edges;
  const auto count = static_cast<size_t>(n);
  // The nodes not yet in a tree, in no particular order (the link order alone decides), and where
  // each of them stands in that list.
  std::vector<int32_t> outside(count);
  std::iota(outside.begin(), outside.end(), 0);
  std::vector<size_t> place(count);
  std::iota(place.begin(), place.end(), size_t{0});
  // Per outside node its first link into the growing tree; I < 0 while it has none.
  std::vector<TreeEdge> best(count, TreeEdge{0, -1, -1});

  auto remove = [&](size_t p) {
    const int32_t last = outside.back();
    outside[p] = last;
    place[static_cast<size_t>(last)] = p;
    outside.pop_back();
  };
  auto add = [&](int32_t u) {
    const float* values = row(u);
    for (const int32_t v : outside) {
      const float value = values[v];
      if (!(value >= 0 && value <= 1)) continue;
      const TreeEdge link{value, std::min(u, v), std::max(u, v)};
      TreeEdge& current = best[static_cast<size_t>(v)];
      if (current.I < 0 || LinkPrecedes(link, current, similarities)) current = link;
    }
    if (host) host->DoEvents();
  };

  while (!outside.empty()) {
    size_t chosen = outside.size();
    for (size_t p = 0; p < outside.size(); ++p) {
      const TreeEdge& link = best[static_cast<size_t>(outside[p])];
      if (link.I >= 0 && (chosen == outside.size() ||
                          LinkPrecedes(link, best[static_cast<size_t>(outside[chosen])], similarities)))
        chosen = p;
    }
    if (chosen == outside.size()) {
      // No link reaches the rest: the next tree grows from the lowest node left.
      chosen = static_cast<size_t>(std::min_element(outside.begin(), outside.end()) - outside.begin());
    } else {
      edges.push_back(best[static_cast<size_t>(outside[chosen])]);
    }
    const int32_t node = outside[chosen];
    remove(chosen);
    add(node);
  }
  return edges;
}

std::vector<TreeEdge> TreeOf(const std::vector<TreeEdge>& forest, int32_t n, int32_t& start, bool similarities) {
  if (forest.empty()) return {};
  std::vector<int32_t> parent(static_cast<size_t>(n));
  std::iota(parent.begin(), parent.end(), 0);
  auto root = [&parent](int32_t node) {
    while (parent[static_cast<size_t>(node)] != node) {
      parent[static_cast<size_t>(node)] = parent[static_cast<size_t>(parent[static_cast<size_t>(node)])];
      node = parent[static_cast<size_t>(node)];
    }
    return node;
  };
  for (const TreeEdge& e : forest) parent[static_cast<size_t>(root(e.I))] = root(e.J);

  // A node with a link in range is an end of some link of its tree.
  const bool startLinked = std::any_of(forest.begin(), forest.end(),
                                       [start](const TreeEdge& e) { return e.I == start || e.J == start; });
  if (!startLinked) {
    start = std::min_element(forest.begin(), forest.end(), [similarities](const TreeEdge& a, const TreeEdge& b) {
              return LinkPrecedes(a, b, similarities);
            })->I;
  }
  const int32_t tree = root(start);
  std::vector<TreeEdge> edges;
  for (const TreeEdge& e : forest)
    if (root(e.I) == tree) edges.push_back(e);
  return edges;
}

}  // namespace wendrel
