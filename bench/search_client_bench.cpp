// Reply-reading throughput: the JSON reader alone and the whole conversion into records, on
// synthetic replies shaped like the service's (10, 100 and 1000 publications).
#include <benchmark/benchmark.h>

#include <string>

#include "search_client/json_deserializer.h"
#include "search_client/result_records.h"

namespace {

const std::string kType = R"(:http:\/\/research.microsoft.com")";

std::string Author(int id) {
  return R"({"__type":"Author)" + kType + R"(,"Affiliation":null,"CitationCount":0,"DisplayPhotoURL":null,)" +
         R"("FirstName":"Hiroaki","GIndex":0,"HIndex":0,"HomepageURL":null,"ID":)" + std::to_string(id) +
         R"(,"LastName":"Okae","MiddleName":"","NativeName":null,"PublicationCount":0,"ResearchInterestDomain":null})";
}

std::string Keyword(int id, const char* name) {
  return R"({"__type":"Keyword)" + kType + R"(,"CitationCount":0,"ID":)" + std::to_string(id) + R"(,"Name":")" + name +
         R"(","PublicationCount":0})";
}

// Eight objects a publication, so 1000 publications stay within the reader's table.
std::string Publication(int i) {
  std::string abstract;
  for (int s = 0; s < 8; ++s) {
    abstract +=
        R"(Genomic imprinting is an epigenetic process; \"imprinted\" genes are expressed from one allele.\u000a)";
  }
  std::string authors;
  for (int a = 0; a < 4; ++a) {
    if (a > 0) authors += ",";
    authors += Author(1000 * i + a);
  }
  return R"({"__type":"Publication)" + kType + R"(,"Abstract":")" + abstract + R"(","Author":[)" + authors +
         R"(],"CitationContext":[],"CitationCount":)" + std::to_string(i % 3000) +
         R"(,"Conference":null,"DOI":"10.1016\/j.fertnstert.2010.06.)" + std::to_string(i) +
         R"(","FullVersionURL":["http:\/\/www.sciencedirect.com\/science\/article\/pii\/S00150282100102)" +
         std::to_string(i) + R"(","http:\/\/humrep.oxfordjournals.org\/cgi\/reprint\/23\/1\/)" + std::to_string(i) +
         R"(.pdf"],"ID":)" + std::to_string(32216321 + i) + R"(,"Journal":{"__type":"Journal)" + kType +
         R"(,"CitationCount":0,"EndYear":0,"FullName":"Fertility and Sterility","HomepageURL":null,"ID":1744,)" +
         R"("ISSN":null,"PublicationCount":0,"ResearchInterestDomain":null,"ShortName":"FERT STERIL","StartYear":0},)" +
         R"("Keyword":[)" + Keyword(2 * i, "Dna Methylation") + "," + Keyword(2 * i + 1, "Genomic Imprinting") +
         R"(],"ReferenceCount":31,"Title":"Aberrant methylation of imprinted genes in sperm \u2013 study )" +
         std::to_string(i) + R"(","Type":1,"Year":2011})";
}

std::string Reply(int publications) {
  std::string results;
  for (int i = 0; i < publications; ++i) {
    if (i > 0) results += ",";
    results += Publication(i);
  }
  return R"({"d":{"__type":"Response)" + kType +
         R"(,"Author":null,"Conference":null,"Domain":null,"Journal":null,"Keyword":null,"Organization":null,)" +
         R"("Publication":{"__type":"PublicationResponse)" + kType + R"(,"EndIdx":)" + std::to_string(publications) +
         R"(,"StartIdx":1,"TotalItem":)" + std::to_string(publications) + R"(,"Result":[)" + results +
         R"(]},"ResultCode":0,"Trend":null,"Version":"1.1"}})";
}

void BM_Read(benchmark::State& state) {
  const std::string reply = Reply(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    wendrel::JSONDeserializer reader;
    bool ok = reader.Read(reply, false);
    benchmark::DoNotOptimize(ok);
    if (!ok || reader.ObjectCount("Result") != state.range(0)) state.SkipWithError("reply not read");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(reply.size()));
  state.counters["reply_kb"] = static_cast<double>(reply.size()) / 1024.0;
}
BENCHMARK(BM_Read)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_ConvertReply(benchmark::State& state) {
  const std::string reply = Reply(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::vector<wendrel::CCRecord> records = wendrel::ConvertReply(reply);
    benchmark::DoNotOptimize(records.data());
    if (static_cast<int64_t>(records.size()) != state.range(0) + 1) state.SkipWithError("reply not converted");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(reply.size()));
  state.counters["reply_kb"] = static_cast<double>(reply.size()) / 1024.0;
}
BENCHMARK(BM_ConvertReply)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
