// The compiled form of a route's path: a literal path, compared byte for byte, or a
// template, matched in one pass over the path.
//
// A template matches exactly as the ECMAScript expression of TemplateToRegex matches a whole
// path, and captures what that expression captures: every group is a greedy star over one
// character class ([^/] for {name}; any character but CR and LF for {+name} and {#name})
// between literal texts, so the expression's first match is the one whose group lengths,
// read from the first group on, are the greatest. The matcher finds it without backtracking:
// one pass from the end of the path marks, per group, where the rest of the template can
// match; one pass from the start then takes each group as long as the marks allow. Time and
// memory grow linearly with the path (times the number of parameters), and nothing recurses,
// so a path of any length is answered.
#pragma once

#include "router/url_template.h"

#include <string>
#include <string_view>
#include <vector>

namespace kiv {

class PathPattern {
  public:
    // A literal pattern when the path holds no "{", else the template's matcher.
    [[nodiscard]] static PathPattern compile(std::string_view path);

    bool isLiteral() const noexcept { return isLiteral_; }
    // The literal path; for a template the text before its first parameter.
    const std::string& literalPath() const noexcept { return prefix_; }
    // In group order: capture i belongs to parameter i.
    const std::vector<PathParameter>& parameters() const noexcept { return parameters_; }

    // Whether the whole path matches. On a match `captures` holds one raw (undecoded)
    // capture per parameter, in parameter order.
    [[nodiscard]] bool match(std::string_view path, std::vector<std::string_view>& captures) const;

  private:
    enum class CharacterClass { NotSlash, NotLineBreak };
    struct Group {
        CharacterClass characters;
        std::string following; // the literal text between this group and the next
    };
    friend class PatternBuilder;

    static bool accepts(CharacterClass characters, char c) noexcept;
    // match() for a template of one group, after the prefix has matched.
    bool matchOneGroup(std::string_view path, std::vector<std::string_view>& captures) const;

    bool isLiteral_ = true;
    std::string prefix_;
    std::vector<Group> groups_;
    std::vector<PathParameter> parameters_;
};

} // namespace kiv
