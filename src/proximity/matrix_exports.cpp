// ProximityMatrix exports: dot text for the layout programs, the comma-separated matrix text, the
// upper triangle as a list, and the clipboard text.
#include <charconv>
#include <cmath>

#include "proximity/proximity_matrix.h"

namespace wendrel {
namespace {

// The shortest text that reads back as the same single, with a full stop.
std::string ShortestText(float value) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

}  // namespace

std::string FixedFive(double value) {
  char buffer[400];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 5);
  std::string text(buffer, result.ptr);
  // A negative value that rounds to zero is written without its sign.
  if (text == "-0.00000") text.erase(0, 1);
  return text;
}

std::string ProximityMatrix::Matrix2Dot(float lenPwr, uint8_t& firstNode, const std::string& /*nodeLabels*/,
                                        float minEdgeLen, float maxEdgeLen) {
  if (firstNode > 1) firstNode = 1;
  if (m_kind == 1 || m_kind == 2) Sim2Dis();
  return LinksToDot(GetLinks(minEdgeLen, maxEdgeLen), lenPwr, firstNode, *m_host);
}

std::string LinksToDot(std::vector<LinkRecord> links, float lenPwr, uint8_t firstNode, Host& host) {
  SortLinks(links, false, &host);
  std::string text = "graph G {\r\n\tnode [shape=plaintext,height=.0,width=.0];\r\n\tedge [weight=1.0];\r\n";
  for (const LinkRecord& link : links) {
    text += '\t';
    text += std::to_string(link.I + firstNode);
    text += " -- ";
    text += std::to_string(link.J + firstNode);
    text += " [len=";
    text += FixedFive(std::pow(static_cast<double>(link.Value), static_cast<double>(lenPwr)));
    text += "];\r\n";
    host.DoEvents();
  }
  return text + "}";
}

std::string ProximityMatrix::Matrix2IVCSparse() const {
  const std::string n = std::to_string(m_nodeCount);
  const std::string commas(static_cast<size_t>(m_nodeCount), ',');
  std::string text = "," + n + "," + n + "\rRowLabels" + commas + "\rColumnLabels" + commas + "\rData,\r";
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    for (int32_t j = 0; j < m_nodeCount; ++j) {
      if (j) text += ',';
      text += ShortestText(m_values[Cell(i, j)]);
    }
    text += "\r";
  }
  return text;
}

std::vector<float> ProximityMatrix::Matrix2Vector() const {
  std::vector<float> list;
  list.reserve(static_cast<size_t>(m_nodeCount) * static_cast<size_t>(std::max(m_nodeCount - 1, 0)) / 2 + 1);
  for (int32_t i = 0; i < m_nodeCount; ++i)
    for (int32_t j = i + 1; j < m_nodeCount; ++j) list.push_back(m_values[Cell(i, j)]);
  list.push_back(0);
  return list;
}

void ProximityMatrix::Copy2Clip() const {
  std::string text;
  for (int32_t i = 0; i < m_nodeCount; ++i) {
    if (i) text += "\r\n";
    for (int32_t j = 0; j < m_nodeCount; ++j) {
      if (j) text += '\t';
      text += FixedFive(m_values[Cell(i, j)]);
    }
    m_host->DoEvents();
  }
  m_host->SetClipboardText(text);
}

}  // namespace wendrel
