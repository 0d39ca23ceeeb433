// The path matcher against the standard library's ECMAScript engine: on generated templates
// and short paths both must agree on whether the whole path matches and on every capture.
#include "router/path_pattern.h"
#include "router/url_template.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::test {
namespace {

class TemplateGenerator {
  public:
    explicit TemplateGenerator(std::uint32_t seed) : random_(seed) {}

    // Literal characters include expression operators and the braces that make parameters;
    // every template holds at least one "{".
    std::string pathTemplate() {
        static constexpr std::string_view kAlphabet = "/ab.#{{{}}}++*?()[|\\$^-";
        std::string text;
        const std::size_t length = pick(12);
        for (std::size_t i = 0; i < length; ++i) {
            text.push_back(kAlphabet[pick(kAlphabet.size() - 1)]);
        }
        text.insert(pick(text.size()), 1, '{');
        return text;
    }

    // A path that often fits the template: its literal text with random fillings for the
    // parameters, sometimes mutated.
    std::string pathFor(std::string_view pathTemplate) {
        class Instantiator final : public TemplateReader {
          public:
            explicit Instantiator(TemplateGenerator& generator) : generator_(generator) {}
            void literal(char c) override { path.push_back(c); }
            void parameter(const PathParameter& parameter) override {
                if (parameter.kind == PathParameterKind::Fragment) {
                    path.push_back('#');
                }
                path += generator_.filling();
            }
            std::string path;

          private:
            TemplateGenerator& generator_;
        };
        Instantiator instantiator(*this);
        readTemplate(pathTemplate, instantiator);
        std::string path = std::move(instantiator.path);
        if (pick(3) == 0 && !path.empty()) {
            path[pick(path.size() - 1)] = kFillAlphabet[pick(kFillAlphabet.size() - 1)];
        }
        if (pick(5) == 0) {
            path.insert(pick(path.size()), filling());
        }
        return path;
    }

  private:
    static constexpr std::string_view kFillAlphabet = "/ab#.\n\r%+?";

    std::string filling() {
        std::string text;
        const std::size_t length = pick(4);
        for (std::size_t i = 0; i < length; ++i) {
            text.push_back(kFillAlphabet[pick(kFillAlphabet.size() - 1)]);
        }
        return text;
    }

    std::size_t pick(std::size_t max) { return std::uniform_int_distribution<std::size_t>(0, max)(random_); }

    std::mt19937 random_;
};

TEST(PathPatternDifferentialTest, CapturesWhatTheEcmaScriptExpressionCaptures) {
    TemplateGenerator generator(20240611);
    std::size_t matches = 0;
    for (int round = 0; round < 4000; ++round) {
        const std::string pathTemplate = generator.pathTemplate();
        std::vector<PathParameter> parameters;
        const std::regex expression(TemplateToRegex(pathTemplate, parameters),
                                    std::regex::ECMAScript | std::regex::optimize);
        const PathPattern pattern = PathPattern::compile(pathTemplate);
        ASSERT_FALSE(pattern.isLiteral());
        ASSERT_EQ(pattern.parameters(), parameters);
        for (int attempt = 0; attempt < 8; ++attempt) {
            const std::string path = generator.pathFor(pathTemplate);
            std::smatch expected;
            const bool expectedMatch = std::regex_match(path, expected, expression);
            std::vector<std::string_view> captures;
            ASSERT_EQ(pattern.match(path, captures), expectedMatch)
                << "template " << pathTemplate << ", path " << path;
            if (!expectedMatch) {
                continue;
            }
            ++matches;
            ASSERT_EQ(captures.size(), expected.size() - 1);
            for (std::size_t i = 0; i < captures.size(); ++i) {
                ASSERT_TRUE(expected[i + 1].matched);
                EXPECT_EQ(captures[i], expected[i + 1].str())
                    << "group " << i + 1 << " of template " << pathTemplate << ", path " << path;
            }
        }
    }
    // The generator must exercise matches, not only refusals.
    EXPECT_GT(matches, 8000u);
}

} // namespace
} // namespace kiv::test
