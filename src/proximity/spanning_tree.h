// The spanning tree of the network code and of the article map: Prim's algorithm over rows of link
// values handed out one node at a time, with one fixed rule for equal values, so that a table and
// the map's similarity rows give the same tree for the same values.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/host.h"

namespace wendrel {

// A link of the tree: its value and its two nodes, I < J.
struct TreeEdge {
  float Value = 0;
  int32_t I = 0;
  int32_t J = 0;
  bool operator==(const TreeEdge&) const = default;
};

// Whether link a enters a spanning tree before link b: the better value (the larger for
// similarities, the smaller for distances), and among equal values the lower node pair (the lower
// I, then the lower J). With this order no two links tie, so each connected part of the network has
// exactly one spanning tree, whatever node it is grown from.
inline bool LinkPrecedes(const TreeEdge& a, const TreeEdge& b, bool similarities) {
  if (a.Value != b.Value) return similarities ? a.Value > b.Value : a.Value < b.Value;
  return a.I != b.I ? a.I < b.I : a.J < b.J;
}

// The values of one node's links: row(u) gives n values, value v for the link u-v (the value at u
// itself is not read). Only values in [0, 1] are links. The pointer must stay valid until the next
// call.
using LinkRow = std::function<const float*(int32_t node)>;

// The spanning forest of n nodes under LinkPrecedes: one tree per connected part, each grown by
// Prim's algorithm from its lowest node, the parts in the order of their lowest nodes. Every node
// gets its row read exactly once; the host's event loop turns after each node added to a tree.
// Time n^2 besides the rows, memory a few values per node.
std::vector<TreeEdge> SpanningForest(int32_t n, const LinkRow& row, bool similarities, Host* host);

// Of a spanning forest, the tree that holds node start, or, when start is -1 or has no link, the
// tree of the first link under LinkPrecedes (start then becomes that link's I). Empty when the
// forest has no link.
std::vector<TreeEdge> TreeOf(const std::vector<TreeEdge>& forest, int32_t n, int32_t& start, bool similarities);

}  // namespace wendrel
