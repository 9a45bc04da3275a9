// The client commands of `wendrel`: record lines, converting saved replies, searching a service.
#include "cli/client_commands.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/scripted_host.h"
#include "test_http_server.h"

namespace wendrel {
namespace {

const char* kOneHit =
    R"({"d":{"__type":"Response:http:\/\/research.microsoft.com","Publication":{"EndIdx":1,"StartIdx":1,)"
    R"("TotalItem":1,"Result":[{"__type":"Publication:http:\/\/research.microsoft.com","Abstract":"Line one\u000aLine\ttwo",)"
    R"("Author":[{"FirstName":"Ada","LastName":"Lovelace"}],"CitationCount":3,"Conference":null,)"
    R"("DOI":"10.1000\/x","FullVersionURL":[],"ID":42,"Journal":{"FullName":"Notes"},"Keyword":[],)"
    R"("ReferenceCount":1,"Title":"Back\\slash","Type":1,"Year":1843}]},"ResultCode":0}})";

const char* kNoHit =
    R"({"d":{"Publication":{"EndIdx":0,"StartIdx":0,"TotalItem":0,"Result":null},"ResultCode":0}})";

TEST(FormatRecordLine, FourteenTabSeparatedFieldsWithEscapes) {
  CCRecord r;
  r.PK = "1";
  r.CitationCount = -2;
  r.ReferenceCount = 32767;
  r.Title = "a\tb";
  r.Abstract = "x\r\ny\\z";
  r.FullTextURL = "n/a";
  EXPECT_EQ(FormatRecordLine(r), "1\t\t-2\t32767\t\t\ta\\tb\tx\\r\\ny\\\\z\t\t\t\t\t\tn/a");
}

class CommandOutput : public ::testing::Test {
 protected:
  std::ostringstream out, err;
  ScriptedHost host;
};

TEST_F(CommandOutput, RecordsConvertsASavedReply) {
  std::string path = ::testing::TempDir() + "/one_hit.json";
  std::ofstream(path) << kOneHit;
  ASSERT_EQ(RunRecords({path}, out, err), 0) << err.str();
  EXPECT_EQ(out.str(),
            "42\t\t3\t1\tJournal\t1843\tBack\\\\slash\tLine one\\nLine\\ttwo\tLovelace, Ada\t\tNotes\t\t10.1000/x\tn/a\n");
}

TEST_F(CommandOutput, RecordsRefusesWhatItCannotRead) {
  EXPECT_EQ(RunRecords({"/nonexistent/reply.json"}, out, err), 1);
  EXPECT_NE(err.str().find("cannot read /nonexistent/reply.json"), std::string::npos);
  EXPECT_EQ(RunRecords({}, out, err), 2);
  EXPECT_EQ(RunRecords({"a", "b"}, out, err), 2);
  EXPECT_TRUE(out.str().empty());
}

TEST_F(CommandOutput, SearchPrintsTheRecordsFoundAndNothingWhenNothingIs) {
  std::string lastQuery;
  test::TestHttpServer server([&](const httplib::Request& req, httplib::Response& res) {
    lastQuery = req.get_param_value("TitleQuery") + "|" + req.get_param_value("YearStart") + "|" +
                req.get_param_value("EndIdx");
    res.set_content(req.get_param_value("TitleQuery") == "nothing" ? kNoHit : kOneHit, "application/json");
  });
  ASSERT_EQ(RunSearch({"--service", server.BaseAddress(), "--title", "Back: Slash", "--from", "1800"}, host, out, err),
            0)
      << err.str();
  EXPECT_EQ(lastQuery, "back  slash|1800|100");
  EXPECT_EQ(out.str().substr(0, 3), "42\t");
  std::ostringstream none;
  ASSERT_EQ(RunSearch({"--service", server.BaseAddress(), "--title", "nothing"}, host, none, err), 0);
  EXPECT_EQ(none.str(), "");
}

TEST_F(CommandOutput, SearchErrorsAreOneLineAndNonZero) {
  std::string dead = "http://127.0.0.1:" + std::to_string(test::UnusedPort());
  EXPECT_EQ(RunSearch({"--service", dead, "--text", "x"}, host, out, err), 1);
  EXPECT_NE(err.str().find("the search service at " + dead + " failed: "), std::string::npos);
  std::string message = err.str();
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
  err.str("");
  EXPECT_EQ(RunSearch({"--from", "nineteen"}, host, out, err), 2);
  EXPECT_NE(err.str().find("--from takes a whole number"), std::string::npos);
  EXPECT_EQ(RunSearch({"--colour", "red"}, host, out, err), 2);
  EXPECT_EQ(RunSearch({"--title"}, host, out, err), 2);
  EXPECT_TRUE(out.str().empty());
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(CommandOutput, EveryClientCommandHasHelp) {
  EXPECT_EQ(RunSearch({"--help"}, host, out, err), 0);
  EXPECT_EQ(RunRecords({"--help"}, out, err), 0);
  EXPECT_EQ(RunDemo({"--help"}, host, out, err), 0);
  EXPECT_NE(out.str().find("usage: wendrel search"), std::string::npos);
  EXPECT_NE(out.str().find("usage: wendrel records"), std::string::npos);
  EXPECT_NE(out.str().find("usage: wendrel demo"), std::string::npos);
  EXPECT_TRUE(err.str().empty());
}

}  // namespace
}  // namespace wendrel
