// kivhost writes three of the platform's rules a second time, apart from the plugin's code: the
// event name of a resource path, the matching of route templates, and which core runs which
// plugin version. Each pair is held together on every input of a small alphabet up to a length,
// so that an edge case either side reads differently shows up as the first input they part on.
#include "kivhost/core/event_names.h"
#include "kivhost/core/host_options.h"
#include "kivhost/core/path_template.h"

#include "host/api_version.h"
#include "host/event_names.h"
#include "router/path_pattern.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::test {
namespace {

// Every concatenation of up to `maxPieces` pieces, the empty one first.
std::vector<std::string> concatenations(const std::vector<std::string_view>& pieces, std::size_t maxPieces) {
    std::vector<std::string> all{""};
    for (std::size_t begin = 0, length = 1; length <= maxPieces; ++length) {
        const std::size_t end = all.size();
        for (std::size_t i = begin; i < end; ++i) {
            for (const std::string_view piece : pieces) {
                all.push_back(all[i] + std::string(piece));
            }
        }
        begin = end;
    }
    return all;
}

// Printable in a failure message: line breaks and NUL bytes spelled out.
std::string shown(std::string_view text) {
    std::string result;
    for (const char c : text) {
        result += c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\0' ? "\\0" : std::string(1, c);
    }
    return result;
}

TEST(PluginRulesAgreementTest, EventNamesOfPaths) {
    std::vector<std::string> paths =
        concatenations({"/", "a", "b/", "kiv-platform-config", "kiv-platform-config/", "?x=1"}, 7);
    for (const std::string_view path : {"KIV-PLATFORM-CONFIG/a/b/c/d/e", "/x%2Fy/z/w/v",
                                        "/\xC3\xA9/\xF0\x9F\x98\x80/q", "/a b/c\td/e", " /a"}) {
        paths.emplace_back(path);
    }
    paths.push_back(std::string("/a\0b/c/d/e", 10));
    paths.push_back("/" + std::string(100000, 'x') + "/y/z/w");
    for (const std::string& path : paths) {
        ASSERT_EQ(kivhost::eventNameForPath(path), eventNameForPath(path)) << shown(path);
    }
}

// Where the two readings part, known and kept out of the comparison: the plugin's router reads a
// "}" outside a parameter (in a template that has one) as the end of another parameter, and a "{"
// inside a parameter as its restart, where kivhost reads a literal "}" and lets the first "{"
// decide the kind; and the plugin's {+name} and {#name} stop at line breaks, kivhost's do not.
bool knownDifference(std::string_view pathTemplate, std::string_view path) {
    const bool hasParameter = pathTemplate.find('{') != std::string_view::npos;
    bool inside = false;
    for (const char c : pathTemplate) {
        if ((c == '{' && inside) || (c == '}' && !inside && hasParameter)) {
            return true;
        }
        if (c == '{' || c == '}') {
            inside = c == '{';
        }
    }
    const bool takesRest = pathTemplate.find("{+") != std::string_view::npos ||
                           pathTemplate.find("{#") != std::string_view::npos;
    return takesRest && path.find_first_of("\r\n") != std::string_view::npos;
}

TEST(PluginRulesAgreementTest, RouteTemplatesMatchTheSamePaths) {
    const std::vector<std::string> templates =
        concatenations({"/", "a", "{x}", "{+x}", "{#x}", "{", "}", "#"}, 3);
    const std::vector<std::string> paths = concatenations({"/", "a", "#", "}", "\n"}, 5);
    std::vector<std::string_view> captures;
    std::size_t compared = 0;
    for (const std::string& pathTemplate : templates) {
        const kivhost::PathTemplate ours(pathTemplate);
        const PathPattern plugins = PathPattern::compile(pathTemplate);
        for (const std::string& path : paths) {
            if (knownDifference(pathTemplate, path)) {
                continue;
            }
            ++compared;
            ASSERT_EQ(ours.matches(path), plugins.match(path, captures))
                << "template " << shown(pathTemplate) << ", path " << shown(path);
        }
    }
    EXPECT_GT(compared, templates.size() * paths.size() / 3) << "the known differences cover too much";
}

TEST(PluginRulesAgreementTest, CoresRunTheSamePluginVersions) {
    const std::uint32_t numbers[] = {0, 1, 17, 18, 19, 4294967295u};
    for (const std::uint32_t coreMajor : numbers) {
        for (const std::uint32_t coreMinor : numbers) {
            for (const std::uint32_t corePatch : numbers) {
                for (const std::uint32_t pluginMajor : numbers) {
                    for (const std::uint32_t pluginMinor : numbers) {
                        for (const std::uint32_t pluginPatch : numbers) {
                            const kivhost::CoreVersion core{coreMajor, coreMinor, corePatch};
                            const kivhost::CoreVersion plugin{pluginMajor, pluginMinor, pluginPatch};
                            ASSERT_EQ(core.accepts(plugin),
                                      isCompatible({pluginMajor, pluginMinor, pluginPatch, {}, {}},
                                                   {coreMajor, coreMinor, corePatch, {}, {}}))
                                << "core " << core.text() << ", plugin " << plugin.text();
                        }
                    }
                }
            }
        }
    }
}

} // namespace
} // namespace kiv::test
