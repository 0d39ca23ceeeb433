// URL templates: "/kiv-kr-shutdown-law/v1/queue-status/{queue_id}" names one parameter per
// braced part. {name} takes one path segment, {+name} the rest of the path (reserved
// expansion) and {#name} a fragment after a "#". The same reading of a template yields its
// regular-expression text (TemplateToRegex) and the compiled matcher of routes (PathPattern).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

enum class PathParameterKind : std::uint32_t {
    Segment = 1,           // {name}: "([^/]*)"
    ReservedExpansion = 2, // {+name}: "(.*)"
    Fragment = 3,          // {#name}: "#(.*)"
};

struct PathParameter {
    PathParameterKind kind = PathParameterKind::Segment;
    std::string name;

    friend bool operator==(const PathParameter&, const PathParameter&) = default;
};

// What reading a template yields, in template order: literal characters and parameters.
// Braces need not balance: "{" always (re)starts a parameter, "}" always ends one, and
// text after an unclosed "{" yields nothing.
class TemplateReader {
  public:
    virtual void literal(char c) = 0;
    virtual void parameter(const PathParameter& parameter) = 0;

  protected:
    ~TemplateReader() = default;
};
void readTemplate(std::string_view pathTemplate, TemplateReader& reader);

// The ECMAScript expression of a template, to be matched against a whole path: literal
// characters with the expression operators ^$.*+?()[]|\ escaped, and one group per
// parameter. `parameters` receives the parameters in group order.
[[nodiscard]] std::string TemplateToRegex(std::string_view pathTemplate,
                                          std::vector<PathParameter>& parameters);

// Decodes a URL piece ("+" is a space, "%41" the byte 0x41). It never fails: a malformed escape
// decodes to some byte and a truncated one is dropped, so that a path the host passes on is
// always routed, and the handler judges what it received. The result may hold NUL bytes.
[[nodiscard]] std::string UrlDecode(std::string_view text);

} // namespace kiv
