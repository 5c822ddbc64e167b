#include "host/Suggestions.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace {

std::string lowered(const std::string& text) {
    std::string result = text;
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

// Insertions, deletions, substitutions and swaps of neighbours that turn a into b.
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min(
                {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

}  // namespace

std::vector<std::string> closestNames(const std::string& word, const std::vector<std::string>& names) {
    const std::string typed = lowered(word);
    if (typed.empty()) return {};
    std::vector<std::string> beginning;
    for (const std::string& name : names)
        if (name.size() > typed.size() && lowered(name).rfind(typed, 0) == 0) beginning.push_back(name);
    if (typed.size() >= 2 && !beginning.empty() && beginning.size() <= 2) return beginning;

    const std::size_t allowed = std::max<std::size_t>(1, typed.size() / 3);
    std::size_t best = allowed;
    std::vector<std::string> closest;
    for (const std::string& name : names) {
        if (name.empty()) continue;
        const std::size_t distance = editDistance(typed, lowered(name));
        if (distance > best) continue;
        if (distance < best) closest.clear();
        best = distance;
        if (closest.size() < 2 && std::find(closest.begin(), closest.end(), name) == closest.end())
            closest.push_back(name);
    }
    return closest;
}

std::string didYouMean(const std::string& word, const std::vector<std::string>& names) {
    const std::vector<std::string> closest = closestNames(word, names);
    if (closest.empty()) return "";
    std::string text = "; did you mean \"" + closest[0] + "\"";
    if (closest.size() > 1) text += " or \"" + closest[1] + "\"";
    return text + "?";
}
