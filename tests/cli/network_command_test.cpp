// `wendrel network`: each reduction from a matrix file to dot or matrix text, and its errors.
#include "cli/network_command.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/scripted_host.h"
#include "temp_dir.h"

namespace wendrel {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class NetworkCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    // Similarities 0.9 (0-1), 0.8 (1-2), 0.7 (2-3), 0.1 elsewhere.
    std::ofstream(dir.Path("m.tsv"), std::ios::binary) << "1\t0.9\t0.1\t0.1\t\r\n"
                                                           "0.9\t1\t0.8\t0.1\r\n"
                                                           "0.1\t0.8\t1\t0.7\r\n"
                                                           "0.1\t0.1\t0.7\t1\r\n";
  }
  int Run(std::vector<std::string> args) {
    out.str("");
    err.str("");
    return RunNetwork(args, host, out, err);
  }
  test::TempDir dir;
  ScriptedHost host;
  std::ostringstream out, err;
};

TEST_F(NetworkCommand, SpanningTreeAsDot) {
  ASSERT_EQ(Run({"--matrix", dir.Path("m.tsv"), "--mst", "--dot", dir.Path("t.dot")}), 0) << err.str();
  EXPECT_EQ(out.str(), "links kept: 3\n");
  EXPECT_EQ(ReadFile(dir.Path("t.dot")),
            "graph G {\r\n\tnode [shape=plaintext,height=.0,width=.0];\r\n\tedge [weight=1.0];\r\n"
            "\t1 -- 2 [len=0.10000];\r\n\t2 -- 3 [len=0.20000];\r\n\t3 -- 4 [len=0.30000];\r\n}");
  // As distances the three 0.1 links form the tree.
  ASSERT_EQ(Run({"--matrix", dir.Path("m.tsv"), "--kind", "3", "--mst", "3", "--dot", dir.Path("d.dot")}), 0);
  EXPECT_NE(ReadFile(dir.Path("d.dot")).find("\t1 -- 4 [len=0.10000];"), std::string::npos);
}

TEST_F(NetworkCommand, SpanningTreeOfEqualLinksTakesTheLowerPairs) {
  // Five nodes, every pair 0.5: from whichever node, the tree is the lower pairs 1-2 ... 1-5, the
  // rule the map's tree follows too.
  std::ofstream file(dir.Path("ties.tsv"), std::ios::binary);
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 5; ++j) file << (i == j ? "1" : "0.5") << (j < 4 ? "\t" : "\r\n");
  }
  file.close();
  for (const char* start : {"0", "4"}) {
    ASSERT_EQ(Run({"--matrix", dir.Path("ties.tsv"), "--mst", start, "--dot", dir.Path("t.dot")}), 0) << err.str();
    EXPECT_EQ(ReadFile(dir.Path("t.dot")),
              "graph G {\r\n\tnode [shape=plaintext,height=.0,width=.0];\r\n\tedge [weight=1.0];\r\n"
              "\t1 -- 2 [len=0.50000];\r\n\t1 -- 3 [len=0.50000];\r\n\t1 -- 4 [len=0.50000];\r\n"
              "\t1 -- 5 [len=0.50000];\r\n}")
        << "start " << start;
  }
}

TEST_F(NetworkCommand, OtherReductions) {
  ASSERT_EQ(Run({"--matrix", dir.Path("m.tsv"), "--knn", "1", "--csv", dir.Path("k.txt")}), 0) << err.str();
  EXPECT_EQ(out.str(), "links kept: 3\n");
  EXPECT_EQ(ReadFile(dir.Path("k.txt")).substr(0, 5), ",4,4\r");
  ASSERT_EQ(Run({"--matrix", dir.Path("m.tsv"), "--pathfinder", "0"}), 0);
  EXPECT_EQ(out.str(), "links kept: 3\n");
  ASSERT_EQ(Run({"--matrix", dir.Path("m.tsv"), "--pathfinder", "1", "1"}), 0);
  EXPECT_EQ(out.str(), "links kept: 6\n");
  ASSERT_EQ(Run({"--matrix", dir.Path("m.tsv"), "--geodesic", "--dot", dir.Path("g.dot")}), 0);
  EXPECT_EQ(out.str(), "links kept: 6\n");
  EXPECT_NE(ReadFile(dir.Path("g.dot")).find("\t1 -- 3 [len=0.30000];"), std::string::npos);
}

TEST_F(NetworkCommand, Errors) {
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  const std::string m = dir.Path("m.tsv");
  const Case cases[] = {
      {{"--matrix", m}, 2},
      {{"--matrix", m, "--mst", "--geodesic"}, 2},
      {{"--matrix", m, "--knn", "0"}, 2},
      {{"--matrix", m, "--mst", "9"}, 2},
      {{"--matrix", m, "--geodesic", "5"}, 2},
      {{"--matrix", m, "--mst", "--dot", "a", "--csv", "b"}, 2},
      {{"--matrix", dir.Path("missing.tsv"), "--mst"}, 1},
      {{"--matrix", m, "--mst", "--dot", dir.Path("no/such/folder/t.dot")}, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.args), c.status) << c.args.back();
    EXPECT_NE(err.str().find("wendrel network: "), std::string::npos);
  }
}

}  // namespace
}  // namespace wendrel
