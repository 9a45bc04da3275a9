// The text commands of `wendrel`: stem, tdm and docs.
#include "cli/text_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>

#include "platform/scripted_host.h"
#include "temp_dir.h"
#include "text/porter.h"
#include "test_paths.h"

namespace wendrel {
namespace {

class TextCommands : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& content) {
    std::ofstream(dir.Path(name)) << content;
    return dir.Path(name);
  }
  // Runs the program through the shell (stderr joined to stdout): what it printed, and its status.
  static std::pair<std::string, int> RunProgram(const std::string& arguments) {
    const std::string command = std::string("'") + WENDREL_EXE + "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {"cannot run " + command, -1};
    std::string output;
    char buffer[256];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    return {output, pclose(pipe)};
  }
  test::TempDir dir;
  std::ostringstream out, err;
  ScriptedHost host;
};

TEST_F(TextCommands, StemWritesOneStemPerLine) {
  for (bool interactive : {false, true}) {
    std::istringstream in("caresses\r\nponies\n\nRunning\ncaf\xE9s");
    out.str("");
    ASSERT_EQ(RunStem({}, in, interactive, out, err), 0);
    // The last word is Windows-1252 and comes out as UTF-8; it has no line end of its own.
    EXPECT_EQ(out.str(), "caress\nponi\n\nRun\ncaf\xC3\xA9\n") << interactive;
  }
  std::istringstream in("word\n");
  EXPECT_EQ(RunStem({"extra"}, in, false, out, err), 2);
}

// Counts the writes and flushes that reach it.
class CountingBuffer : public std::stringbuf {
 public:
  int writes = 0;
  int flushes = 0;

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    ++writes;
    return std::stringbuf::xsputn(s, n);
  }
  int sync() override {
    ++flushes;
    return std::stringbuf::sync();
  }
};

// Piped words are read and answered in blocks, whatever the input is tied to; lines that span
// two blocks come out whole.
TEST_F(TextCommands, StemAnswersPipedInputInBlocks) {
  std::string words, expected;
  for (int i = 0; i < 40000; ++i) {
    std::string word = std::string(i % 7 + 1, static_cast<char>('a' + i % 26)) + (i % 3 ? "ing" : "ational");
    words += word + (i % 5 ? "\n" : "\r\n");
    expected += PorterStem(word) + "\n";
  }
  CountingBuffer buffer;
  std::ostream counted(&buffer);
  std::istringstream in(words);
  in.tie(&counted);
  ASSERT_EQ(RunStem({}, in, false, counted, err), 0);
  EXPECT_EQ(buffer.str(), expected);
  EXPECT_LE(buffer.writes, static_cast<int>(expected.size() / 65536) + 2);
  EXPECT_EQ(buffer.flushes, 1);
  EXPECT_EQ(in.tie(), &counted);  // given back as it was
}

// The program itself reads piped standard input to its end.
TEST_F(TextCommands, ProgramStemsPipedWords) {
  std::string words = Write("words.txt", "running\r\ncats\nrelational");
  const auto [output, status] = RunProgram("stem < '" + words + "'");
  ASSERT_EQ(status, 0) << output;
  EXPECT_EQ(output, "run\ncat\nrelat\n");
}

// A write that fails is reported, not taken for success.
TEST_F(TextCommands, StemReportsOutputThatCannotBeWritten) {
  std::istringstream in("running\n");
  std::ostream broken(nullptr);
  EXPECT_EQ(RunStem({}, in, false, broken, err), 1);
  EXPECT_NE(err.str().find("could not be written"), std::string::npos);
}

TEST_F(TextCommands, TdmSavesBesideTheFileAndReports) {
  std::string path = Write("docs.txt", "apple banana cherry\nbanana cherry date\napple cherry date\nelder fig\n");
  std::vector<std::string> args = {path, "--format", "0", "--stopwords", test::DataPath("text_stopwords.txt"),
                                   "--scheme", "0"};
  ASSERT_EQ(RunTdm(args, host, out, err), 0) << err.str();
  // Default filter: at least 2 documents, at most 3 (3/4 of 4).
  EXPECT_EQ(out.str(), dir.Path("docs_0.tdm") + "\ndocuments: 4\nterms: 4\n");
  std::string saved = test::ReadFile(dir.Path("docs_0.tdm"));
  EXPECT_EQ(saved.substr(0, saved.find('\r')), "4\t4\tWeight=0\tNormalise=False");
  EXPECT_NE(saved.find("apple\t1\t0\t1\t0\r\n"), std::string::npos);
  out.str("");
  ASSERT_EQ(RunTdm(args, host, out, err), 0);  // a second run takes the next version
  EXPECT_EQ(out.str().substr(0, out.str().find('\n')), dir.Path("docs_1.tdm"));
}

TEST_F(TextCommands, TdmReportsBadInputOnOneLine) {
  struct Case { std::vector<std::string> args; int code; std::string message; };
  const Case cases[] = {
      {{"x.txt"}, 2, "--format is required"},
      {{"x.txt", "--format", "12"}, 2, ""},
      {{"/nonexistent/x.txt", "--format", "0"}, 1, "cannot open /nonexistent/x.txt"},
      {{Write("none.txt", "short\nlines\n"), "--format", "0"}, 1, "holds no document in format 0 (no record of more than 8"},
      {{Write("none.txt", "short\nlines\n"), "--format", "0", "--min-bytes", "40"}, 1, "(no record of more than 20 characters)"},
  };
  for (const Case& c : cases) {
    err.str("");
    EXPECT_EQ(RunTdm(c.args, host, out, err), c.code) << c.args[0];
    std::string message = err.str();
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
  }
}

TEST_F(TextCommands, DocsPrintsFieldsAndCountsAndExports) {
  std::vector<std::string> args = {test::DataPath("text_format6.txt"), "--format", "6", "--tsv", dir.Path("d.tsv"),
                                   "--ris", dir.Path("d.ris")};
  ASSERT_EQ(RunDocs(args, host, out, err), 0) << err.str();
  EXPECT_EQ(out.str().substr(0, out.str().find("documents")),
            "fields: 6\n  0\tPublication Type\n  1\tAuthor(s)\n  2\tPublication Year\n  3\tTitle\n  4\tAbstract\n"
            "  5\tNotes\n");
  EXPECT_NE(out.str().find("documents: 2\nwords: "), std::string::npos);
  std::string tsv = test::ReadFile(dir.Path("d.tsv"));
  EXPECT_EQ(tsv.substr(0, tsv.find('\n') + 1), "Publication Type\tAuthor(s)\tPublication Year\tTitle\tAbstract\tNotes\t\r\n");
  EXPECT_NE(test::ReadFile(dir.Path("d.ris")).find("TI - A title\r\n"), std::string::npos);
  out.str("");
  ASSERT_EQ(RunDocs({test::DataPath("text_format1.txt"), "--format", "1", "--separator", "@@"}, host, out, err), 0);
  EXPECT_NE(out.str().find("  1\tBody, with comma\n"), std::string::npos);
  EXPECT_NE(out.str().find("documents: 2\n"), std::string::npos);
}

TEST_F(TextCommands, ProgramFindsTheShippedStopWordsBesideIt) {
  std::string path = Write("docs.txt", "The maps of the articles\nThe maps of the pearls\nThe chains of the pearls\n");
  const auto [output, status] = RunProgram("tdm '" + path + "' --format 0 --max-df 3");
  ASSERT_EQ(status, 0) << output;
  EXPECT_EQ(output, dir.Path("docs_0.tdm") + "\ndocuments: 3\nterms: 2\n");
  // "the" and "of" are stop words; "maps" and "pearls" are in two documents, "articles" and "chains" in one.
  std::string saved = test::ReadFile(dir.Path("docs_0.tdm"));
  EXPECT_NE(saved.find("\r\nmaps\t"), std::string::npos);
  EXPECT_NE(saved.find("\r\npearls\t"), std::string::npos);
}

}  // namespace
}  // namespace wendrel
