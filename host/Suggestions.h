#pragma once

// "Did you mean ...?" for a misspelt name: the one or two names closest to what was typed.

#include <string>
#include <vector>

// The names closest to word, ignoring case: the one or two that begin with it, else those at the
// smallest edit distance when that is small for the word's length. None when nothing is close.
std::vector<std::string> closestNames(const std::string& word, const std::vector<std::string>& names);

// "; did you mean "A"?" or "; did you mean "A" or "B"?", or "" when nothing is close.
std::string didYouMean(const std::string& word, const std::vector<std::string>& names);
