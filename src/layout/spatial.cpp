// Spatial: running the layout program, reading its plain output and the dot text's edges, and
// the questions answered on the laid-out graph.
#include "spatial.h"

#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <unordered_map>

#include "platform/number_text.h"
#include "platform/user_folders.h"
#include "layout/shell_and_wait.h"

namespace wendrel {

namespace {

constexpr int32_t kLayoutWindowStyle = 6;  // minimised, without taking the focus
constexpr int32_t kLayoutBreakMode = 2;

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw LayoutError("cannot open " + path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// The file's lines (split at LF, a CR before it dropped), each followed by lineEnd.
std::string LinesJoined(const std::string& content, const std::string& lineEnd) {
  std::string joined;
  joined.reserve(content.size() + 16);
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    size_t next = end == std::string::npos ? content.size() : end + 1;
    if (end == std::string::npos) end = content.size();
    size_t lineEndAt = (end > start && content[end - 1] == '\r') ? end - 1 : end;
    joined.append(content, start, lineEndAt - start);
    joined += lineEnd;
    start = next;
  }
  return joined;
}

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    if (at == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, at - start));
    start = at + 1;
  }
}

float SingleField(std::string_view field, std::string_view line) {
  auto value = ParseNumber(field);
  if (!value) throw LayoutError("not a number in line: " + std::string(line));
  return static_cast<float>(*value);
}

// A whole number as the conversion to a 32-bit integer reads it: rounded half to even.
int32_t WholeField(std::string_view field, std::string_view line) {
  auto value = ParseNumber(field);
  if (!value) throw LayoutError("not a node number in line: " + std::string(line));
  double rounded = std::nearbyint(*value);
  if (!(rounded >= std::numeric_limits<int32_t>::min() && rounded <= std::numeric_limits<int32_t>::max())) {
    throw LayoutError("node number out of range in line: " + std::string(line));
  }
  return static_cast<int32_t>(rounded);
}

// A node number of an edge line less the first node's, refused when the difference leaves the
// 32-bit range (-2147483648 less a first node of 1 once wrapped).
int32_t NodeIndex(std::string_view field, std::string_view line, int32_t firstNode) {
  const int64_t index = static_cast<int64_t>(WholeField(field, line)) - firstNode;
  if (index < std::numeric_limits<int32_t>::min() || index > std::numeric_limits<int32_t>::max()) {
    throw LayoutError("node number out of range in line: " + std::string(line));
  }
  return static_cast<int32_t>(index);
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  result.reserve(text.size());
  size_t start = 0;
  size_t at = 0;
  while ((at = text.find(from, start)) != std::string_view::npos) {
    result.append(text.substr(start, at - start));
    result.append(to);
    start = at + from.size();
  }
  result.append(text.substr(start));
  return result;
}

// Position of the first "node <name> " for every name in text: the same answer as searching for
// each "node <k> " in turn, in one pass.
std::unordered_map<std::string_view, size_t> FirstNodeLines(std::string_view text) {
  std::unordered_map<std::string_view, size_t> first;
  constexpr std::string_view kNode = "node ";
  size_t at = 0;
  while ((at = text.find(kNode, at)) != std::string_view::npos) {
    size_t nameStart = at + kNode.size();
    size_t space = text.find(' ', nameStart);
    if (space != std::string_view::npos) first.emplace(text.substr(nameStart, space - nameStart), at);
    at = nameStart;
  }
  return first;
}

std::string ProgramPath(const std::string& folder, const std::string& program) {
  const char* name = "/sfdp";
  if (program == "neato") name = "/neato";
  else if (program == "fdp") name = "/fdp";
  return folder + name;
}

}  // namespace

std::string DefaultGraphvizFolder() {
  const char* path = std::getenv("PATH");
  if (!path) return "";
  for (std::string_view folder : SplitAt(path, ':')) {
    if (folder.empty()) continue;
    std::string candidate = std::string(folder) + "/sfdp";
    if (access(candidate.c_str(), X_OK) == 0) return std::string(folder);
  }
  return "";
}

std::string GraphvizProgramFolder() {
  std::string folder = DefaultGraphvizFolder();
  return folder.empty() ? "/usr/bin" : folder;
}

std::string DefaultWorkFolder() {
  const std::string folder = ProgramFolder();
  if (!InstalledProgram() && access(folder.c_str(), W_OK) == 0) return folder;
  return UserCacheFolder();
}

Spatial::Spatial(Host& host, ProcessRunner& runner) : m_host(host), m_runner(runner), m_workFolder(DefaultWorkFolder()) {}

std::string Spatial::WorkFile(const char* name) const { return m_workFolder + "/" + name; }

void Spatial::ResetPositions(int32_t nodeCount) {
  if (nodeCount < 0) throw LayoutError("negative node count");
  m_nodeCount = nodeCount;
  m_x.assign(nodeCount, 0.0f);
  m_y.assign(nodeCount, 0.0f);
}

bool Spatial::GraphVisLayout_CLI(const std::string& folder, const std::string& program, const std::string& dotText,
                                 int32_t nodeCount, int32_t firstNode) {
  ResetPositions(nodeCount);
  bool result = false;
  std::string commandLine;
  try {
    const std::string inPath = WorkFile("gvin.txt");
    const std::string outPath = WorkFile("gvout.txt");
    {
      std::ofstream out(inPath, std::ios::binary | std::ios::trunc);
      out << dotText << "\r\n";
      if (!out.flush()) throw LayoutError("cannot write " + inPath);
    }
    // A failing program may leave no output; removing the previous layout's output keeps its
    // positions from being read as this graph's.
    std::error_code ignored;
    std::filesystem::remove(outPath, ignored);

    const std::string quote = "\"";
    std::string in = quote + inPath + quote + " -Tplain -o";
    std::string outPart = quote + outPath + quote;
    commandLine = quote + ProgramPath(folder, program) + quote + " " +
                  (m_layoutOptions.empty() ? std::string() : m_layoutOptions + " ") + in + outPart;

    int32_t status = ShellAndWait(commandLine, kLayoutTimeLimitMs, kLayoutWindowStyle, kLayoutBreakMode, m_host, m_runner);
    if (status != kShellEnded) return false;
    LoadGVPlain(outPath, firstNode, nodeCount);
    result = true;
    SetGraphFromDot(dotText, firstNode);
  } catch (const std::exception&) {
    m_host.MessageBox("Command:" + (commandLine.empty() ? folder : commandLine), "Graph layout failed",
                      MessageIcon::Critical, MessageButtons::Ok);
  }
  return result;
}

bool Spatial::LoadGVPlain(const std::string& /*path*/, int32_t firstNode, int32_t nodeCount) {
  ResetPositions(nodeCount);
  const std::string text = LinesJoined(ReadWholeFile(WorkFile("gvout.txt")), "\r");

  size_t firstLineEnd = text.find('\r');
  std::string_view firstLine =
      std::string_view(text).substr(0, firstLineEnd == std::string::npos ? text.size() : firstLineEnd + 1);
  auto header = SplitAt(firstLine, ' ');
  if (header.size() < 4) throw LayoutError("plain output without its graph line");
  m_scaleX = static_cast<float>(LeadingNumber(header[2]));
  m_scaleY = static_cast<float>(LeadingNumber(header[3]));

  auto nodeLines = FirstNodeLines(text);
  for (int32_t c = 0; c < nodeCount; ++c) {
    std::string name = std::to_string(static_cast<int64_t>(firstNode) + c);
    auto found = nodeLines.find(name);
    if (found != nodeLines.end()) {
      size_t end = text.find('\r', found->second);
      std::string_view line = std::string_view(text).substr(found->second, end == std::string::npos ? std::string::npos
                                                                                                    : end - found->second);
      auto fields = SplitAt(line, ' ');
      if (fields.size() < 4) throw LayoutError("node line with too few fields: " + std::string(line));
      m_x[c] = SingleField(fields[2], line);
      m_y[c] = SingleField(fields[3], line);
    } else {
      // A node the program did not place is strung out along the bottom of the drawing.
      m_x[c] = static_cast<float>(static_cast<double>(c) / nodeCount * m_scaleX);
      m_y[c] = m_scaleY / 1000.0f;
    }
    m_host.DoEvents();
  }
  return false;
}

void Spatial::SetGraphFromDot(const std::string& dotText, int32_t firstNode) {
  std::string compact;
  compact.reserve(dotText.size());
  for (char c : dotText) {
    if (c != ' ' && c != '\t') compact += c;
  }
  auto lines = SplitAt(compact, '\n');
  const int64_t last = static_cast<int64_t>(lines.size()) - 1;
  if (last < 3) throw LayoutError("dot text without its header and closing lines");

  std::vector<SpatialEdge> edges;
  edges.reserve(last - 3);
  for (int64_t k = 3; k < last; ++k) {
    const std::string line = ReplaceAll(ReplaceAll(ReplaceAll(lines[k], "--", " "), "[len=", " "), "];", "");
    auto fields = SplitAt(line, ' ');
    if (fields.size() < 3) throw LayoutError("malformed edge line: " + std::string(lines[k]));
    SpatialEdge edge;
    edge.FromNode = NodeIndex(fields[0], lines[k], firstNode);
    edge.ToNode = NodeIndex(fields[1], lines[k], firstNode);
    edge.Length = SingleField(fields[2], lines[k]);
    edges.push_back(edge);
  }
  m_edges = std::move(edges);
}

std::string Spatial::GraphFromFile(const std::string& path) { return LinesJoined(ReadWholeFile(path), "\r\n"); }

void Spatial::CheckNode(int32_t node) const {
  if (node < 0 || node >= m_nodeCount) throw LayoutError("node index out of range: " + std::to_string(node));
}

float Spatial::X(int32_t node) const {
  CheckNode(node);
  return m_x[node];
}

float Spatial::Y(int32_t node) const {
  CheckNode(node);
  return m_y[node];
}

const SpatialEdge& Spatial::Edge(int32_t index) const {
  if (index < 0 || index >= EdgeCount()) throw LayoutError("edge index out of range: " + std::to_string(index));
  return m_edges[index];
}

int32_t Spatial::NodeDegree(int32_t node) const {
  int32_t degree = 0;
  for (const auto& edge : m_edges) {
    if (edge.FromNode == node || edge.ToNode == node) ++degree;
  }
  return degree;
}

float Spatial::MinX() const {
  float value = 100;
  for (float x : m_x) value = std::min(value, x);
  return value;
}

float Spatial::MaxX() const {
  float value = -100;
  for (float x : m_x) value = std::max(value, x);
  return value;
}

float Spatial::MinY() const {
  float value = 100;
  for (float y : m_y) value = std::min(value, y);
  return value;
}

float Spatial::MaxY() const {
  float value = -100;
  for (float y : m_y) value = std::max(value, y);
  return value;
}

std::vector<float> Spatial::GetProximityMatrix() const {
  const size_t n = static_cast<size_t>(m_nodeCount);
  std::vector<float> table(n * n);
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = 0; j < n; ++j) {
      float dx = m_x[i] - m_x[j];
      float dy = m_y[i] - m_y[j];
      table[i * n + j] = std::sqrt(dx * dx + dy * dy);
    }
  }
  return table;
}

void Spatial::Copy2Clip() const {
  if (m_nodeCount == 0) return;
  std::string text;
  char buffer[64];
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    // Up to 7 significant digits, the shortest form of a single.
    auto end = std::to_chars(buffer, buffer + sizeof buffer, m_x[i], std::chars_format::general, 7).ptr;
    text.append(buffer, end);
    text += '\t';
    end = std::to_chars(buffer, buffer + sizeof buffer, m_y[i], std::chars_format::general, 7).ptr;
    text.append(buffer, end);
    text += "\r\n";
  }
  m_host.SetClipboardText(text);
}

}  // namespace wendrel
