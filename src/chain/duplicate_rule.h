// The second half of the chain's duplicate rule: whether two records that share a title can be the
// same work, judged by their years and their first authors' last names.
#pragma once

#include <optional>
#include <string>

#include "search_client/cc_record.h"

namespace wendrel {

// The last name of a first author written "Last, First" (the whole text when it has no comma),
// lower-cased, with the diacritics of Latin letters dropped ("Müller" and "MULLER" give "muller")
// and surrounding blanks trimmed; empty when there is none.
std::string LastNameKey(const std::string& firstAuthor);

// A title as titles are compared across tools: lower-cased, the diacritics of Latin letters
// dropped, and every blank, punctuation mark and short markup tag ("<i>", "</sub>") left out, so
// "Non-linear <i>E. coli</i> growth" and "NONLINEAR E coli growth." give the same key.
std::string TitleKey(const std::string& title);
// The key of the title before its subtitle (the text before the first ':' or a dash between
// blanks); empty when the title has no subtitle.
std::string MainTitleKey(const std::string& title);

// The year a record's Year text holds; none for "n/a", an empty text or anything not a number.
std::optional<int> YearNumber(const std::string& year);

// True when the years are at most one apart and the first authors' last names are equal after
// LastNameKey; each of the two counts as agreeing when either record lacks it. A journal version
// and its preprint usually differ by a year; generic titles ("Editorial", "Reply") shared by
// unrelated articles rarely agree on both.
bool MayBeSameWork(const CCRecord& a, const CCRecord& b);

}  // namespace wendrel
