#pragma once

#include <string_view>
#include <vector>

namespace parlumo::service {

// Corpus chrF: the character n-gram F-score of translations against references
// (n = 1..6, recall weighted by beta = 2), with the n-gram counts of all sentences
// pooled before the score is taken. Characters are Unicode code points of the UTF-8
// text; white space is left out. The F-score of each order is averaged over the
// orders that both sides have n-grams of. 0 to 100; 100 for identical text.
double CorpusChrF(const std::vector<std::string_view>& translations,
                  const std::vector<std::string_view>& references);

}  // namespace parlumo::service
