// Spatial: a network laid out by a Graphviz command-line program, with the node positions, the
// drawing's extent and the edge list read from the network's dot text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/process_runner.h"

namespace wendrel {

// A file, plain-output or dot-text failure of the layout readers.
class LayoutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One edge of the dot text; node indices count from 0 (the dot text's node number minus the
// first node number).
struct SpatialEdge {
  float Length = 0;  // the edge's "len"
  int32_t FromNode = 0;
  int32_t ToNode = 0;
};

// The folder holding `sfdp` on PATH (the default Graphviz folder), or empty when none does.
std::string DefaultGraphvizFolder();
// Where both programs run Graphviz from: that folder, else /usr/bin.
std::string GraphvizProgramFolder();

// Where the working files go by default: in a build tree the program's own folder when it is
// writable; otherwise, and always for an installed program, the per-user cache folder.
std::string DefaultWorkFolder();

// Nodes are indexed from 0. Positions are Graphviz plain-output units as read (Y grows upwards
// in Graphviz's drawings). A Spatial is filled by one GraphVisLayout_CLI (or LoadGVPlain plus
// SetGraphFromDot) and then only read. The working files "gvin.txt" and "gvout.txt" live in the
// work folder and are left in place after a layout.
class Spatial {
 public:
  Spatial(Host& host, ProcessRunner& runner);

  const std::string& WorkFolder() const { return m_workFolder; }
  void SetWorkFolder(std::string folder) { m_workFolder = std::move(folder); }
  // Options for the layout program, put on its command line before the input file (empty: none;
  // words separated by spaces, none quoted).
  const std::string& LayoutOptions() const { return m_layoutOptions; }
  void SetLayoutOptions(std::string options) { m_layoutOptions = std::move(options); }

  // Runs `program` ("neato", "fdp" or "sfdp"; anything else runs sfdp) from `folder` on dotText
  // and reads the positions of nodes firstNode .. firstNode + nodeCount - 1 and the edge list.
  // False, silently, when the program cannot be started, fails to end within 20 s; file and
  // parse failures show the "Graph layout failed" message and return the result as it stood.
  bool GraphVisLayout_CLI(const std::string& folder, const std::string& program, const std::string& dotText,
                          int32_t nodeCount, int32_t firstNode);

  // Reads the plain output "gvout.txt" of the work folder (`path` is not used). Returns false
  // always; throws LayoutError for a missing file or a malformed line.
  bool LoadGVPlain(const std::string& path, int32_t firstNode, int32_t nodeCount);

  // Builds the edge list from dot text in the layout Matrix2Dot writes (three header lines, one
  // line per edge, "}" without a line break). Throws LayoutError for a malformed edge line.
  void SetGraphFromDot(const std::string& dotText, int32_t firstNode);

  // The file's lines, each followed by CR LF. Throws LayoutError when it cannot be read.
  static std::string GraphFromFile(const std::string& path);

  int32_t NodeCount() const { return m_nodeCount; }
  float X(int32_t node) const;
  float Y(int32_t node) const;
  float ScaleX() const { return m_scaleX; }
  float ScaleY() const { return m_scaleY; }

  int32_t EdgeCount() const { return static_cast<int32_t>(m_edges.size()); }
  const SpatialEdge& Edge(int32_t index) const;
  // Edge records touching node; an edge from the node to itself counts once.
  int32_t NodeDegree(int32_t node) const;

  // The extreme coordinates, the search starting from 100 (min) and -100 (max).
  float MinX() const;
  float MaxX() const;
  float MinY() const;
  float MaxY() const;

  // Euclidean distances between all nodes: NodeCount x NodeCount singles, row-major, entry
  // i * NodeCount + j for nodes i and j.
  std::vector<float> GetProximityMatrix() const;

  // Puts "X<TAB>Y<CR><LF>" per node on the clipboard; nothing when there are no nodes.
  void Copy2Clip() const;

  // Time limit of the layout program, in milliseconds.
  static constexpr int32_t kLayoutTimeLimitMs = 20000;

 private:
  void ResetPositions(int32_t nodeCount);
  std::string WorkFile(const char* name) const;
  void CheckNode(int32_t node) const;

  Host& m_host;
  ProcessRunner& m_runner;
  std::string m_workFolder;
  std::string m_layoutOptions;
  int32_t m_nodeCount = 0;
  std::vector<float> m_x;
  std::vector<float> m_y;
  float m_scaleX = 0;
  float m_scaleY = 0;
  std::vector<SpatialEdge> m_edges;
};

}  // namespace wendrel
