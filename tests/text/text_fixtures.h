// Shared by the text tests: a document set on a scripted host and files in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/scripted_host.h"
#include "temp_dir.h"
#include "test_paths.h"
#include "text/document_set.h"
#include "text/text_error.h"

namespace wendrel::test {

class TextTest : public ::testing::Test {
 protected:
  // Writes `name` (folders included) under this test's temporary folder; returns its path.
  std::string Write(const std::string& name, const std::string& content) {
    std::filesystem::path path = dir.Root() / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  // Makes the set a one-field table (format 0) of the texts.
  void Fill(const std::vector<std::string>& texts) {
    std::vector<std::vector<std::string>> rows;
    for (const auto& t : texts) rows.push_back({t});
    set.SetDocuments(rows, 0, static_cast<int32_t>(rows.size()));
  }
  std::vector<std::string> Column(int field) const {
    std::vector<std::string> out;
    for (int32_t d = 0; d < set.DocumentCount(); ++d) out.push_back(set.Text(d, field));
    return out;
  }
  TempDir dir;
  ScriptedHost host;
  DocumentSet set{host};
};

}  // namespace wendrel::test
