// Helpers of the layout and map tests: files and fake layout programs in a temporary folder, dot
// text in the layout the proximity exports write, and plain output with given positions.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "temp_dir.h"

namespace wendrel::test {

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// An executable shell script `name` in folder.
inline void WriteProgram(const TempDir& folder, const std::string& name, const std::string& body) {
  WriteFile(folder.Path(name), "#!/bin/sh\n" + body + "\n");
  chmod(folder.Path(name).c_str(), 0755);
}

struct DotEdge {
  int from;
  int to;
  double length;
};

// Dot text as the proximity exports write it: CR LF line ends, no line break after "}".
inline std::string DotText(const std::vector<DotEdge>& edges) {
  std::string text = "graph G {\r\n\tnode [shape=plaintext,height=.0,width=.0];\r\n\tedge [weight=1.0];\r\n";
  for (const auto& edge : edges) {
    char length[32];
    std::snprintf(length, sizeof length, "%.5f", edge.length);
    text += "\t" + std::to_string(edge.from) + " -- " + std::to_string(edge.to) + " [len=" + length + "];\r\n";
  }
  return text + "}";
}

// Plain output for nodes named 1..n at the given positions.
inline std::string PlainText(double width, double height, const std::vector<std::pair<double, double>>& positions) {
  std::string text = "graph 1 " + std::to_string(width) + " " + std::to_string(height) + "\n";
  for (size_t i = 0; i < positions.size(); ++i) {
    text += "node " + std::to_string(i + 1) + " " + std::to_string(positions[i].first) + " " +
            std::to_string(positions[i].second) + " 0.1 0.1 " + std::to_string(i + 1) + " solid plaintext black lightgrey\n";
  }
  return text + "stop\n";
}

}  // namespace wendrel::test
