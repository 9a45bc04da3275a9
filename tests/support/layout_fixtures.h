// Helpers of the layout and map tests: a private work folder, fake layout programs, dot text in
// the layout the proximity exports write, and graphs with given positions.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace wendrel::test {

// A fresh folder under the temporary folder, removed with the object.
class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> counter{0};
    m_path = std::filesystem::temp_directory_path() /
             ("wendrel_layout_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  std::string Path() const { return m_path.string(); }
  std::string File(const std::string& name) const { return (m_path / name).string(); }
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(File(name), std::ios::binary) << content;
  }
  // An executable script `name` in this folder.
  void WriteProgram(const std::string& name, const std::string& body) const {
    Write(name, "#!/bin/sh\n" + body + "\n");
    chmod(File(name).c_str(), 0755);
  }

 private:
  std::filesystem::path m_path;
};

inline std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
