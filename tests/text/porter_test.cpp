// The stemmer: the published examples, this program's variations, short, long and odd words.
#include "text/porter.h"

#include <gtest/gtest.h>

#include <string>

namespace wendrel {
namespace {

struct Case {
  const char* input;
  const char* expected;
};

const Case kCases[] = {
    // Left alone: short words (after trimming), the empty text.
    {"at", "at"}, {"is", "is"}, {"ox", "ox"}, {"a", "a"}, {"", ""}, {" at ", " at "},
    // Step 1.
    {"caresses", "caress"}, {"ponies", "poni"}, {"cats", "cat"}, {"caress", "caress"}, {"feed", "feed"},
    {"agreed", "agre"}, {"plastered", "plaster"}, {"motoring", "motor"}, {"sing", "sing"}, {"conflated", "conflat"},
    {"troubled", "troubl"}, {"sized", "size"}, {"hopping", "hop"}, {"falling", "fall"}, {"hissing", "hiss"},
    {"fizzed", "fizz"}, {"failing", "fail"}, {"filing", "file"}, {"happy", "happi"}, {"sky", "sky"},
    // Steps 2 to 5.
    {"relational", "relat"}, {"conditional", "condit"}, {"digitizer", "digit"}, {"operator", "oper"},
    {"generalizations", "gener"}, {"goodness", "good"}, {"adjustable", "adjust"}, {"adoption", "adopt"},
    {"effective", "effect"}, {"probate", "probat"}, {"rate", "rate"}, {"cease", "ceas"}, {"controll", "control"},
    {"roll", "roll"}, {"connection", "connect"}, {"connecting", "connect"}, {"triplicate", "triplic"},
    {"hopefulness", "hope"},
    // Variations: a suffix never matches the whole word; bli -> ble; logi -> log.
    {"ies", "ie"}, {"sses", "sse"}, {"archaeology", "archaeolog"}, {"sensibly", "sensibl"},
    // "y" after "y" is a vowel; capitals are consonants and keep their case.
    {"sayyid", "sayyid"}, {"Running", "Run"}, {"CATS", "CATS"},
    // Each suffix of steps 2 to 4 on a stem of measure 1 (steps 2 and 3 apply, 4 does not); where
    // suffixes nest, the first in list order wins ("entli" before "eli", "biliti" before "aliti").
    {"convational", "convat"}, {"convtional", "convtion"}, {"convenci", "convenc"}, {"convanci", "convanc"},
    {"convizer", "conviz"}, {"convbli", "convbl"}, {"convalli", "conval"}, {"conventli", "convent"},
    {"conveli", "conv"}, {"convousli", "convous"}, {"convization", "conviz"}, {"convation", "convat"},
    {"convator", "convat"}, {"convalism", "conval"}, {"conviveness", "conviv"}, {"convfulness", "conv"},
    {"convousness", "convous"}, {"convaliti", "conval"}, {"conviviti", "conviv"}, {"convbiliti", "convbl"},
    {"convlogi", "convlog"}, {"convicate", "convic"}, {"convative", "conv"}, {"convalize", "conval"},
    {"conviciti", "convic"}, {"convical", "convic"}, {"convful", "conv"}, {"convness", "conv"},
    // On a stem of measure 2 step 4 removes the suffix; "ion" only after "s" or "t".
    {"reconement", "recon"}, {"reconment", "recon"}, {"reconent", "recon"}, {"reconsion", "recons"},
    {"recontion", "recont"}, {"reconion", "reconion"}, {"reconou", "recon"}, {"reconiti", "recon"},
    {"reconible", "recon"}, {"reconize", "recon"}, {"bational", "bation"}, {"bization", "bizat"},
    // Non-Latin letters are consonants, one per character.
    {"caf\xC3\xA9s", "caf\xC3\xA9"}, {"na\xC3\xAFvely", "na\xC3\xAFv"},
};

TEST(PorterStem, Words) {
  for (const Case& c : kCases) EXPECT_EQ(PorterStem(c.input), c.expected) << "input: " << c.input;
  // 256 characters: unchanged; 255 still stem.
  std::string longWord = std::string(251, 'x') + "ating";
  EXPECT_EQ(PorterStem(longWord), longWord);
  EXPECT_EQ(PorterStem(std::string(250, 'x') + "ating"), std::string(250, 'x') + "ate");
}

}  // namespace
}  // namespace wendrel
