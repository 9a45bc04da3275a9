// A chain of a few articles for the review tests, merged as pages without a service.
#pragma once

#include <string>
#include <vector>

#include "chain/citation_chain.h"
#include "fake_http_client.h"
#include "platform/scripted_host.h"

namespace wendrel::test {

inline CCRecord ReviewArticle(const std::string& pk, const std::string& title, const std::string& year,
                              const std::string& firstAuthor, const std::string& doi = "",
                              const std::string& coAuthors = "") {
  CCRecord r;
  r.PK = pk;
  r.Title = title;
  r.Year = year;
  r.FirstAuthor = firstAuthor;
  r.CoAuthors = coAuthors;
  r.DOI = doi;
  return r;
}

// Articles 1 to 6: two "Editorial"s a decade apart and two versions of "Screening tools compared"
// two years apart with their own DOIs, so that the chain keeps each apart.
class ReviewChain {
 public:
  ReviewChain() {
    Merge({ReviewArticle("101", "Growth of citation networks", "2019", "Øberg, Lena", "10.1000/Growth",
                         "Berg, Ole, "),
           ReviewArticle("102", "Pearl growing in practice: a field guide", "2015", "Smith, John"),
           ReviewArticle("103", "Editorial", "2000", "Ng, Al"), ReviewArticle("104", "Editorial", "2010", "Ng, Al"),
           ReviewArticle("105", "Screening tools compared", "2018", "Diaz, Eva", "10.1000/tools.a"),
           ReviewArticle("106", "Screening tools compared", "2020", "Diaz, Eva", "10.1000/tools.b")});
  }
  // Appends the articles the chain does not hold yet, as a page of a growing pearl would.
  void Merge(std::vector<CCRecord> articles) {
    articles.insert(articles.begin(), CCRecord{});
    chain.AgeRelations();
    chain.MergePage(articles, 1, PearlRelation::Cited);
  }

  ScriptedHost host;
  FakeHttpClient http;
  MASCitationChain chain{host, http, "http://127.0.0.1:1"};
};

}  // namespace wendrel::test
