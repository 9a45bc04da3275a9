// Reading the references of a BibTeX file as seeds for a pearl list: the fields a look-up by
// title needs, in the shape the RIS reader gives them.
#pragma once

#include <string_view>
#include <vector>

#include "chain/ris_reader.h"

namespace wendrel {

// Every entry of BibTeX text, in file order, except @comment, @preamble and @string and the
// entries others name as their crossref (a paper's @proceedings; its title and year fill the
// paper's missing venue and year). Values in braces (nested to any depth) or in quotes; braces
// are taken off, LaTeX's accents, letters, dashes and escaped specials become UTF-8 characters.
// Authors are given as "Last, First" whether the file says "First Last" or "Last, First". Fields
// read: author, title, year, doi, abstract, journal or booktitle (the source), url, crossref.
// An entry cut off by the end of the text is read as far as it goes.
std::vector<RisReference> ReadBibTeXReferences(std::string_view text);

// True for a file name ending in ".bib" (any case): a pearl list load reads it as BibTeX.
bool IsBibTeXFileName(std::string_view fileName);

// The references of a pearl list file: BibTeX for a .bib file, the entries of a plain list of DOIs
// and service IDs, RIS for any other.
std::vector<RisReference> ReadPearlListReferences(std::string_view fileName, std::string_view bytes);

// Why a pearl list file yields no reference ("it is empty", "it holds no BibTeX entry", "it is a
// Web of Science file, not RIS", ...); empty when it yields at least one.
std::string PearlListProblem(std::string_view fileName, std::string_view bytes);

}  // namespace wendrel
