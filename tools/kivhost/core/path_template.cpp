#include "kivhost/core/path_template.h"

#include <algorithm>

namespace kiv::kivhost {

// kivhost's own copy of the template rule, kept apart from the plugin's router so that it checks it.
PathTemplate::PathTemplate(std::string_view templateText) {
    std::size_t at = 0;
    while (at < templateText.size()) {
        const char c = templateText[at];
        if (c != '{') {
            tokens_.push_back({Piece::Character, c});
            ++at;
            continue;
        }
        literal_ = false;
        const std::size_t close = templateText.find('}', at);
        // A parameter that is never closed stands for nothing, as in the plugin's own router.
        if (close == std::string_view::npos) {
            break;
        }
        const char kind = close > at + 1 ? templateText[at + 1] : '\0';
        if (kind == '+') {
            tokens_.push_back({Piece::Rest, 0});
        } else if (kind == '#') {
            tokens_.push_back({Piece::Character, '#'});
            tokens_.push_back({Piece::Rest, 0});
        } else {
            tokens_.push_back({Piece::Segment, 0});
        }
        at = close + 1;
    }
}

// Runs the template as a small automaton over the path: the set of template positions reached
// so far advances one character at a time, so any path is matched in time proportional to its
// length times the template's, with no backtracking and no recursion.
bool PathTemplate::matches(std::string_view path) const {
    const std::size_t count = tokens_.size();
    std::vector<char> reached(count + 1, 0);
    std::vector<char> next(count + 1, 0);
    auto closeOverWildcards = [&](std::vector<char>& states) {
        for (std::size_t i = 0; i < count; ++i) {
            if (states[i] && tokens_[i].piece != Piece::Character) {
                states[i + 1] = 1;
            }
        }
    };
    reached[0] = 1;
    closeOverWildcards(reached);
    for (const char c : path) {
        std::fill(next.begin(), next.end(), 0);
        bool any = false;
        for (std::size_t i = 0; i < count; ++i) {
            if (!reached[i]) {
                continue;
            }
            const Token& token = tokens_[i];
            std::size_t target;
            if (token.piece == Piece::Character) {
                if (token.character != c) {
                    continue;
                }
                target = i + 1;
            } else if (token.piece == Piece::Rest || c != '/') {
                target = i;
            } else {
                continue;
            }
            next[target] = 1;
            any = true;
        }
        if (!any) {
            return false;
        }
        closeOverWildcards(next);
        reached.swap(next);
    }
    return reached[count] != 0;
}

} // namespace kiv::kivhost
