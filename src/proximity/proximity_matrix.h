// ProximityMatrix: a square table of proximities between nodes (documents or terms), how it is
// filled, its reduction to sparse networks (MST, kNN, Pathfinder, geodesic) and its export as text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/host.h"
#include "sparse/misc_functions.h"

namespace wendrel {

class TermDocumentMatrix;

// Nodes count from 0. Values form an n x n table in which -1 marks an absent value; kinds 1
// (documents) and 2 (terms) hold similarities, 3 and 4 the matching distances, 0 is unset. The
// table is symmetric after every operation except SetValue and SetFromDense, which store what they
// are given; the network code reads pairs i < j from the upper triangle. The link-count table
// (links in the path behind a value) exists only once InitLinks or SetLinkCount made it: the
// spanning tree and the exports never need its n x n integers. The host gives the event loop its
// turns inside the long loops and holds the clipboard.
class ProximityMatrix {
 public:
  // The distance that stands for an absent link in the network transforms.
  static constexpr float kNoLink = 9999999.0f;

  explicit ProximityMatrix(Host& host) : m_host(&host) {}

  int32_t CurrentMatrixType() const { return m_kind; }
  int32_t NodeCount() const { return m_nodeCount; }
  // Throw std::out_of_range outside 0..NodeCount - 1.
  float Value(int32_t i, int32_t j) const;
  // 0 when the link-count table was never made.
  int32_t LinkCount(int32_t i, int32_t j) const;

  // Reads a tab-separated square table (format 0 is the only one): the first line gives n and row
  // and column 0; each later block of n - 1 lines gives rows 1..n - 1 from their second piece on,
  // every value written to both (i, j) and (j, i), so the lower triangle of the file wins. A piece
  // without a leading number reads 0. False, with the matrix unchanged, for another format, a
  // missing file, an empty first line or fewer lines than the first line has columns; a file
  // ending inside a later block keeps what it gave.
  bool LoadMatrix(const std::string& filePath, int32_t format, int32_t type);
  // Similarity <-> distance: kinds 1 <-> 3 and 2 <-> 4, every value above -1 off the diagonal
  // becomes 1 - value. Nothing for kind 0.
  void Sim2Dis();
  // Cosines (or inner products, cosine false) between documents (terms) of a term-document
  // matrix, weighted by its TermWeight; dissimilarity gives 1 - cosine and a distance kind.
  void ComputeDocAngles(const TermDocumentMatrix& tdm, int32_t scheme, bool normPreWeight, bool cosine,
                        bool dissimilarity);
  void ComputeTermAngles(const TermDocumentMatrix& tdm, int32_t scheme, bool normPreWeight, bool cosine,
                         bool dissimilarity);
  // Kept for callers of the full interface; distances are computed through Sim2Dis instead.
  void ComputeDocDistances() {}

  // Operations of the network code and the map pipeline.
  void InitMatrix(int32_t n, int32_t kind);
  // table is row-major n x n (cell (i, j) at i * n + j); taken over without a copy.
  void SetFromDense(std::vector<float> table, int32_t n, int32_t kind);
  void SetValue(int32_t i, int32_t j, float v);
  // Ignored for a single node.
  void SetLinkCount(int32_t i, int32_t j, int32_t count);
  // Link count 1 for every pair i != j, 0 on the diagonal.
  void InitLinks();
  // Diagonal 0; every other value of magnitude exactly 1 (absent, or the distance of a zero
  // similarity) becomes kNoLink.
  void PrepareDistances();
  // Pairs i < j (row by row) whose value lies in [min, max].
  std::vector<LinkRecord> GetLinks(float min, float max) const;

  // Network reductions: new matrices of the same node count and kind whose kept links carry their
  // value, every other pair -1. A reduction that finds no link gives a network without links.
  // K nearest neighbours of each node (K may be lowered to n - 2); nothing for 0 nodes.
  std::optional<ProximityMatrix> Transform2KNN(int32_t& k) const;
  // Spanning tree over the links valued in [0, 1] (maximum for kinds 1 and 2, minimum otherwise),
  // grown from startNode's best link; startNode -1, or a node without such a link, starts from
  // the best link of all and receives its first node. Stops when the links leave nodes unreached.
  // Equal values are taken in the order of LinkPrecedes (the lower node pair first), so the tree
  // is the one SpanningForest grows, here and in the map.
  ProximityMatrix Transform2MST(int32_t& startNode) const;
  // Pathfinder network PFNET(r, n - 1) of the distances (r 0 = infinity); converts a similarity
  // matrix to distances in place first. The result holds the kept distances, 0 on the diagonal.
  ProximityMatrix Transform2FastPF(uint8_t r);
  // Pathfinder with at most q links per path; nothing unless the kind is 3 or 4. FastPFQ2 keeps a
  // link only when both k orders (ascending and descending) find no shorter path.
  std::optional<ProximityMatrix> FastPFQ(uint8_t r, int32_t q) const;
  std::optional<ProximityMatrix> FastPFQ2(uint8_t r, int32_t q) const;
  // Shortest additive path lengths (kNoLink where there is no path), with link counts; progress
  // "Geodesic - K=" k goes to the caption when one is given. Nothing for 0 nodes.
  std::optional<ProximityMatrix> Transform2Geodesic(Caption* progress = nullptr) const;
  // Kept for callers of the full interface; they compute nothing and return no matrix.
  void TransformFastMST() const {}
  void BUNNI() const {}

  // Dot text of the links whose distance lies in [minEdgeLen, maxEdgeLen], ascending, with length
  // distance ^ lenPwr and nodes numbered from firstNode (above 1 is taken, and set, as 1). A
  // similarity matrix becomes a distance matrix first, in place. nodeLabels is not written.
  std::string Matrix2Dot(float lenPwr, uint8_t& firstNode, const std::string& nodeLabels, float minEdgeLen,
                         float maxEdgeLen);
  // ",n,n", label lines, "Data," and the n rows of comma-separated values; lines end with CR.
  std::string Matrix2IVCSparse() const;
  // The upper triangle row by row, then one 0.
  std::vector<float> Matrix2Vector() const;
  // The table as tab-separated "0.00000" values, rows joined by CR LF, onto the clipboard.
  void Copy2Clip() const;

 private:
  size_t Cell(int32_t i, int32_t j) const { return static_cast<size_t>(i) * static_cast<size_t>(m_nodeCount) + static_cast<size_t>(j); }
  void CheckNode(int32_t i) const;
  // Every value (i, j) has the same bits as (j, i).
  bool IsSymmetric() const;
  // The Pathfinder working copy: this matrix's values with link counts and prepared distances.
  ProximityMatrix PathfinderCopy() const;
  // The triple loop of Pathfinder on w: q < 0 means no limit on the links of a path.
  void PathfinderPass(ProximityMatrix& w, uint8_t r, int32_t q, bool descending) const;
  // Sets to -1 every pair i < j of w whose value in this matrix differs from reference's.
  void PruneChanged(ProximityMatrix& w, const ProximityMatrix& reference) const;
  void ComputeAngles(const std::vector<std::vector<std::pair<int32_t, double>>>& vectors, bool cosine,
                     bool dissimilarity, int32_t kind);

  Host* m_host;
  int32_t m_nodeCount = 0;
  int32_t m_kind = 0;
  std::vector<float> m_values;
  std::vector<int32_t> m_linkCounts;  // empty until made
};

// The dot text of Matrix2Dot for its links (I < J, listed pair by pair as GetLinks lists them, each
// valued as a distance): sorted ascending with SortLinks, each with length value ^ lenPwr, nodes
// numbered from firstNode. The host's event loop turns after each line.
std::string LinksToDot(std::vector<LinkRecord> links, float lenPwr, uint8_t firstNode, Host& host);

// Numbers for texts other programs read: fixed with five decimals ("0.00000") and a full stop
// whatever the locale.
std::string FixedFive(double value);

}  // namespace wendrel
