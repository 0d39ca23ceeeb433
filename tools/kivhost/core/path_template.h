// Matches request paths against the path templates of the plugins' HTTP functions, as the
// platform does when it routes a request: {name} stands for a run of characters without "/",
// {+name} for any run, {#name} for "#" and any run; everything else stands for itself.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kiv::kivhost {

class PathTemplate {
  public:
    explicit PathTemplate(std::string_view templateText);

    // Whether the whole path matches.
    bool matches(std::string_view path) const;
    // A template without parameters matches exactly one path.
    bool isLiteral() const noexcept { return literal_; }

  private:
    enum class Piece : std::uint8_t { Character, Segment, Rest };
    struct Token {
        Piece piece;
        char character;
    };

    std::vector<Token> tokens_;
    bool literal_ = true;
};

} // namespace kiv::kivhost
