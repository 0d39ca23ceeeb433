#include "router/path_pattern.h"

#include "platform/invariant.h"

#include <cstddef>

namespace kiv {

class PatternBuilder final : public TemplateReader {
  public:
    explicit PatternBuilder(PathPattern& pattern) : pattern_(pattern) {}

    void literal(char c) override { currentLiteral().push_back(c); }
    void parameter(const PathParameter& parameter) override {
        if (parameter.kind == PathParameterKind::Fragment) {
            literal('#');
        }
        const auto characters = parameter.kind == PathParameterKind::Segment
                                    ? PathPattern::CharacterClass::NotSlash
                                    : PathPattern::CharacterClass::NotLineBreak;
        pattern_.groups_.push_back({characters, {}});
        pattern_.parameters_.push_back(parameter);
    }

  private:
    std::string& currentLiteral() {
        return pattern_.groups_.empty() ? pattern_.prefix_ : pattern_.groups_.back().following;
    }

    PathPattern& pattern_;
};

namespace {

// Calls found(e) for every e >= from at which `word` occurs in `text`, in increasing order
// (Knuth-Morris-Pratt: linear in the text and the word, whatever their content).
template <class Found>
void forEachOccurrence(std::string_view text, std::string_view word, std::size_t from, Found found) {
    if (word.empty()) {
        for (std::size_t e = from; e <= text.size(); ++e) {
            found(e);
        }
        return;
    }
    std::vector<std::size_t> border(word.size(), 0);
    for (std::size_t i = 1, k = 0; i < word.size(); ++i) {
        while (k > 0 && word[i] != word[k]) {
            k = border[k - 1];
        }
        if (word[i] == word[k]) {
            ++k;
        }
        border[i] = k;
    }
    for (std::size_t i = from, k = 0; i < text.size(); ++i) {
        while (k > 0 && text[i] != word[k]) {
            k = border[k - 1];
        }
        if (text[i] == word[k]) {
            ++k;
        }
        if (k == word.size()) {
            found(i + 1 - word.size());
            k = border[k - 1];
        }
    }
}

} // namespace

PathPattern PathPattern::compile(std::string_view path) {
    PathPattern pattern;
    if (path.find('{') == std::string_view::npos) {
        pattern.prefix_ = path;
        return pattern;
    }
    pattern.isLiteral_ = false;
    PatternBuilder builder(pattern);
    readTemplate(path, builder);
    return pattern;
}

bool PathPattern::accepts(CharacterClass characters, char c) noexcept {
    return characters == CharacterClass::NotSlash ? c != '/' : c != '\n' && c != '\r';
}

// The last group can end only where its following text ends the path, so a template of one
// group (nearly every route's) needs neither pass: the group takes everything between the
// prefix and that text, when every character of it is in the group's class.
bool PathPattern::matchOneGroup(std::string_view path, std::vector<std::string_view>& captures) const {
    const Group& group = groups_.front();
    const std::size_t start = prefix_.size();
    if (path.size() - start < group.following.size() || !path.ends_with(group.following)) {
        return false;
    }
    const std::size_t end = path.size() - group.following.size();
    for (std::size_t p = start; p < end; ++p) {
        if (!accepts(group.characters, path[p])) {
            return false;
        }
    }
    captures.push_back(path.substr(start, end - start));
    return true;
}

bool PathPattern::match(std::string_view path, std::vector<std::string_view>& captures) const {
    captures.clear();
    if (isLiteral_) {
        return path == prefix_;
    }
    if (!path.starts_with(prefix_)) {
        return false;
    }
    const std::size_t start = prefix_.size();
    const std::size_t n = path.size();
    if (groups_.size() == 1) {
        return matchOneGroup(path, captures);
    }

    // From the end: groupEnds[g][e] is set when group g may end at e, that is, its following
    // text occurs at e and the rest of the template matches after it. restFrom[p] tells
    // whether the template from the current group on matches path[p, n).
    std::vector<std::vector<bool>> groupEnds(groups_.size());
    std::vector<bool> restFrom(n + 1, false);
    restFrom[n] = true;
    for (std::size_t g = groups_.size(); g-- > 0;) {
        const Group& group = groups_[g];
        std::vector<bool>& ends = groupEnds[g];
        ends.assign(n + 1, false);
        forEachOccurrence(path, group.following, start, [&](std::size_t e) {
            if (restFrom[e + group.following.size()]) {
                ends[e] = true;
            }
        });
        bool matchesAfter = false; // restFrom[p + 1] for the group being computed
        for (std::size_t p = n + 1; p-- > start;) {
            const bool matchesHere = ends[p] || (p < n && accepts(group.characters, path[p]) && matchesAfter);
            restFrom[p] = matchesHere;
            matchesAfter = matchesHere;
        }
    }
    if (!restFrom[start]) {
        return false;
    }

    // From the start: each group takes the longest run that still lets the rest match.
    std::size_t position = start;
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        const Group& group = groups_[g];
        std::size_t runEnd = position;
        while (runEnd < n && accepts(group.characters, path[runEnd])) {
            ++runEnd;
        }
        std::size_t end = runEnd;
        while (!groupEnds[g][end]) {
            KIV_ASSERT(end > position, "the backward pass marked an end inside this group's run");
            --end;
        }
        captures.push_back(path.substr(position, end - position));
        position = end + group.following.size();
    }
    KIV_ASSERT(position == n, "the last group's text ends the path");
    return true;
}

} // namespace kiv
