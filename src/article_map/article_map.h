// The article map: one routine that turns the titles and abstracts of a chain's articles into a
// laid-out similarity tree, plus the label pass and the node-size weights the map panel applies.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "layout/spatial.h"
#include "platform/host.h"
#include "platform/process_runner.h"
#include "search_client/cc_record.h"
#include "sparse/sparse_matrix_single.h"
#include "text/document_set.h"
#include "text/term_document_matrix.h"

namespace wendrel {

// One article of the map, in chain order: chain index i is node i-1 and document i.
struct MapArticle {
  std::string Title;
  std::string Abstract;
};

struct MapBuildSettings {
  bool SecondOrder = false;
  std::string GraphvizFolder = GraphvizProgramFolder();  // where the Graphviz programs are
  std::string GraphvizProgram = "sfdp";
  // Graphviz options of the layout: sfdp's faster force approximation, which lays a tree out in
  // about half the time with a picture as good (measured on trees of 1,000 to 20,000 articles).
  std::string GraphvizOptions = "-Gquadtree=fast";
  std::string StopWordPath;  // empty: common_words.txt in the program's folder
  std::string WorkFolder;    // where gvin.txt and gvout.txt go; empty: the layout's default folder
};

enum class MapStage { Documents, Matrix, Similarity, Tree, Layout };
using MapProgress = std::function<void(MapStage stage, double fraction)>;  // fraction 0..1 within the stage

// Nodes count from 0; node n is document n + 1 of MapTDM's matrix and chain index n + 1.
struct ArticleMap {
  std::unique_ptr<DocumentSet> MapDocs;
  std::unique_ptr<TermDocumentMatrix> MapTDM;
  std::shared_ptr<Spatial> MapGraph;  // what PointMap2D::SetCoordinates takes; node count = number of articles
  std::string DotText;                // the tree as dot text
  std::string LayoutFailure;          // empty when the layout program laid the tree out; else why not
};

// Documents (RIS field layout: title and abstract), term-document matrix (minimum length 3,
// capitalised tokens kept, stop words, document frequency 2 to 0.75 x documents, tf-idf), cosine
// similarities (of the similarities too when SecondOrder), their maximum spanning tree (equal
// similarities by the lower node pair, as Transform2MST) in every group of articles that share words
// (not only the group of the strongest link), its dot text (length 1 - similarity) and the Graphviz
// layout. The similarities are never kept as a table of all pairs: the trees are grown from one row
// of cosines at a time. The host gets the event-loop turns and messages of the libraries, the runner
// starts the layout program; both must outlive the map. A layout that fails (program missing, not
// ended within the time limit, a non-zero exit status, output that cannot be read) is told to the
// user once, in a "Graph layout failed" message, and kept in LayoutFailure; the map then holds
// whatever positions the layout left. An empty list gives an empty map (no nodes, no layout run);
// one article gives one node. Throws TextError when the stop-word file cannot be read.
ArticleMap BuildArticleMap(const std::vector<MapArticle>& articles, Host& host, ProcessRunner& runner,
                           const MapBuildSettings& settings, const MapProgress& progress = {});

// Every node's degree in the laid-out tree (MapGraph's edges; an edge from a node to itself counts
// once), in node order; empty for a map without a graph.
std::vector<int32_t> TreeDegrees(const ArticleMap& map);

// The label pass: one label per node ("term,term" of the document's two strongest terms) for nodes
// whose tree degree is at least minDegree, empty for the others.
std::vector<std::string> HubLabels(const ArticleMap& map, int minDegree);

// The Map menu's node sizes, in the menu's order.
enum class NodeSize { Constant, LogCitationCount, CitedCount, CitingCount };

// Node weights of a node size (Constant: all 1; LogCitationCount: ln(CitationCount + 1.5);
// CitedCount: CitedByPearls^1.5; CitingCount: CitesPearls^1.5), one per record, single precision.
// Throws std::out_of_range for a value outside the enumeration.
std::vector<float> NodeSizeWeights(const std::vector<CCRecord>& records, NodeSize size);

// The largest tree degree of the map's nodes (0 for an empty map), for the label slider's range.
int LargestDegree(const ArticleMap& map);

}  // namespace wendrel
