// The folders of src/, include/ and tools/ form layers, and a folder includes only from the layers
// its row of the table below allows: the edges that exist, and no more. The check reads every
// source's include lines, so a new include that crosses a layer the wrong way fails the build's
// tests rather than waiting for a reader. kivhost's folders are named with their tool
// ("kivhost/core"); kivhost's core sees plugins only through include/kiv, never the library's
// own folders, which keeps it an independent check of the library.
//
// Inside each folder of the library the files form floors as well. A header and the sources that
// implement it are one component; components include only floors below their own, so a folder
// has no include loop, and an include stands at the top of its file, before any code (a header
// that includes another at its tail hides a loop).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::test {
namespace {

struct Layer {
    std::string_view folder;
    std::vector<std::string_view> uses; // folders it may include from besides itself
};

// Bottom first; a row names only folders of rows above it, so the layers have no cycle.
const std::vector<Layer> kLayers = {
    {"kiv", {}}, // include/kiv: the records shared with hosts, plain C
    {"platform", {}},
    {"format", {"platform"}},
    {"value", {"platform", "format", "kiv"}},
    {"logging", {"platform", "kiv"}},
    {"binding", {"platform", "format", "value", "kiv"}},
    {"router", {"platform", "format", "value", "binding", "kiv"}},
    {"host", {"platform", "format", "value", "logging", "binding", "router", "kiv"}},
    {"service", {"platform", "format", "value", "logging", "binding", "host"}},
    {"kivhost/platform", {}},
    {"kivhost/core", {"platform", "value", "kiv", "kivhost/platform"}},
    {"kivhost/timeline", {"kivhost/core"}},
    {"kivhost/scenario", {"platform", "value", "kivhost/core"}},
    {"kivhost/serve",
     {"platform", "kivhost/platform", "value", "kivhost/core", "kivhost/scenario", "kivhost/timeline"}},
    {"kivhost/command",
     {"platform", "kivhost/platform", "kivhost/core", "kivhost/scenario", "kivhost/serve",
      "kivhost/timeline"}},
};

const Layer* layerOf(std::string_view folder) {
    const auto found = std::find_if(kLayers.begin(), kLayers.end(),
                                    [&](const Layer& layer) { return layer.folder == folder; });
    return found == kLayers.end() ? nullptr : &*found;
}

// The folder an include line names, or nothing when the line includes no project folder: not an
// include, a header without a folder, or a system header in angle brackets.
std::optional<std::string> includedFolder(std::string_view line) {
    const auto skipSpace = [&] {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
    };
    skipSpace();
    if (!line.starts_with('#')) {
        return std::nullopt;
    }
    line.remove_prefix(1);
    skipSpace();
    if (!line.starts_with("include")) {
        return std::nullopt;
    }
    line.remove_prefix(std::string_view("include").size());
    skipSpace();
    if (line.empty() || (line.front() != '"' && line.front() != '<')) {
        return std::nullopt;
    }
    const bool quoted = line.front() == '"';
    line.remove_prefix(1);
    const std::string_view path = line.substr(0, line.find(quoted ? '"' : '>'));
    std::size_t slash = path.find('/');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    if (path.substr(0, slash) == "kivhost") {
        slash = path.find('/', slash + 1);
    }
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view folder = path.substr(0, slash);
    if (!quoted && !layerOf(folder)) {
        return std::nullopt;
    }
    return std::string(folder);
}

// Why `folder` may not include `line`, or "" when it may.
std::string violation(std::string_view folder, std::string_view line) {
    const std::optional<std::string> included = includedFolder(line);
    if (!included || *included == folder) {
        return "";
    }
    const Layer* layer = layerOf(folder);
    if (!layer) {
        return "folder '" + std::string(folder) + "' has no row in the layer table";
    }
    if (!layerOf(*included)) {
        return "'" + *included + "' is no folder of the layer table";
    }
    if (std::find(layer->uses.begin(), layer->uses.end(), *included) == layer->uses.end()) {
        return "'" + std::string(folder) + "' may not include from '" + *included + "'";
    }
    return "";
}

bool isSource(const std::filesystem::path& path) {
    const std::string extension = path.extension().string();
    return extension == ".h" || extension == ".hpp" || extension == ".c" || extension == ".cpp" ||
           extension == ".cc" || extension == ".inc";
}

// A source's folder below its top folder: the first segment, or the first two for a tool's.
std::string folderOf(const std::filesystem::path& relative) {
    std::vector<std::string> segments;
    for (const std::filesystem::path& segment : relative) {
        segments.push_back(segment.string());
    }
    const std::size_t depth = !segments.empty() && segments.front() == "kivhost" ? 2 : 1;
    if (segments.size() <= depth) {
        return "(top)";
    }
    std::string folder = segments.front();
    if (depth == 2) {
        folder += "/" + segments[1];
    }
    return folder;
}

// The component of a file in a folder whose headers are `headers` (their names without extension):
// its own header's, else the longest header name that its name extends ("flat_value_reading.cpp"
// implements "flat_value"), else its own name.
std::string componentOf(const std::string& stem, const std::set<std::string>& headers) {
    if (headers.contains(stem)) {
        return stem;
    }
    std::string longest;
    for (const std::string& header : headers) {
        if (stem.starts_with(header + "_") && header.size() > longest.size()) {
            longest = header;
        }
    }
    return longest.empty() ? stem : longest;
}

using IncludeGraph = std::map<std::string, std::set<std::string>>; // component -> components it includes

// One include loop of the graph, written "a -> b -> a", or "" when it has none.
std::string includeLoop(const IncludeGraph& graph) {
    enum class Mark { Unseen, OnPath, Done };
    std::map<std::string, Mark> marks;
    std::vector<std::string> path;
    std::string loop;
    const auto visit = [&](const auto& self, const std::string& component) -> void {
        marks[component] = Mark::OnPath;
        path.push_back(component);
        const auto edges = graph.find(component);
        if (edges != graph.end()) {
            for (const std::string& included : edges->second) {
                if (!loop.empty()) {
                    return;
                }
                if (marks[included] == Mark::OnPath) {
                    for (auto at = std::find(path.begin(), path.end(), included); at != path.end(); ++at) {
                        loop += *at + " -> ";
                    }
                    loop += included;
                    return;
                }
                if (marks[included] == Mark::Unseen) {
                    self(self, included);
                }
            }
        }
        path.pop_back();
        marks[component] = Mark::Done;
    };
    for (const auto& [component, edges] : graph) {
        if (loop.empty() && marks[component] == Mark::Unseen) {
            visit(visit, component);
        }
    }
    return loop;
}

// The file's name without folder and extension when `line` includes a file of `folder`.
std::optional<std::string> includedStem(std::string_view folder, std::string_view line) {
    const std::size_t open = line.find_first_of("\"<");
    if (includedFolder(line) != std::string(folder) || open == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view path = line.substr(open + 1, line.find_first_of("\">", open + 1) - open - 1);
    return std::filesystem::path(path).stem().string();
}

bool isCodeLine(std::string_view line) {
    return line.starts_with("namespace ") || line.starts_with("extern \"C\"");
}

TEST(IncludeLayering, FilesBelongToTheComponentOfTheirHeader) {
    const std::set<std::string> headers = {"flat_value", "flat_value_reading", "value", "log_service"};
    const std::pair<std::string, std::string> cases[] = {
        {"value", "value"},
        {"flat_value_reading", "flat_value_reading"},
        {"flat_value_writing", "flat_value"},
        {"value_tree_ops", "value"},
        {"values", "values"},
        {"log_service_api", "log_service"},
    };
    for (const auto& [stem, component] : cases) {
        EXPECT_EQ(componentOf(stem, headers), component) << stem;
    }
}

TEST(IncludeLayering, FindsIncludeLoops) {
    const std::pair<IncludeGraph, std::string> cases[] = {
        {{}, ""},
        {{{"value", {"member_table", "value_node"}}, {"member_table", {"value_node"}}}, ""},
        {{{"value", {"value_members"}}, {"value_members", {"member_table"}}, {"member_table", {"value"}}},
         "member_table -> value -> value_members -> member_table"},
        {{{"log_service", {"log_target"}}, {"log_target", {"log_service"}}},
         "log_service -> log_target -> log_service"},
        {{{"a", {"b", "c"}}, {"b", {"d"}}, {"c", {"d"}}, {"d", {}}}, ""},
        {{{"a", {"b"}}, {"b", {"c"}}, {"c", {"b"}}}, "b -> c -> b"},
    };
    for (const auto& [graph, loop] : cases) {
        EXPECT_EQ(includeLoop(graph), loop);
    }
}

TEST(IncludeLayering, JudgesIncludedFilesAndCode) {
    EXPECT_EQ(includedStem("value", R"(#include "value/value_node.h")"), "value_node");
    EXPECT_EQ(includedStem("value", "#include <value/value.h>"), "value");
    EXPECT_EQ(includedStem("value", R"(#include "format/message_format.h")"), std::nullopt);
    EXPECT_EQ(includedStem("value", R"(// #include "value/value.h")"), std::nullopt);
    EXPECT_TRUE(isCodeLine("namespace kiv {"));
    EXPECT_TRUE(isCodeLine(R"(extern "C" {)"));
    EXPECT_FALSE(isCodeLine("// namespace kiv"));
    EXPECT_FALSE(isCodeLine("#include <new>"));
}

TEST(IncludeLayering, TableRowsUseOnlyRowsBelowThem) {
    for (auto layer = kLayers.begin(); layer != kLayers.end(); ++layer) {
        for (const std::string_view used : layer->uses) {
            const auto row = std::find_if(kLayers.begin(), layer,
                                          [&](const Layer& below) { return below.folder == used; });
            EXPECT_NE(row, layer) << layer->folder << " uses " << used << ", which is not below it";
        }
    }
}

struct LineCase {
    std::string_view folder;
    std::string_view line;
    std::string_view expected;
};

TEST(IncludeLayering, JudgesIncludeLines) {
    const LineCase cases[] = {
        {"value", R"(#include "format/message_format.h")", ""},
        {"value", R"(#include "value/value.h")", ""},
        {"logging", "#  include <kiv/plugin_abi.h>", ""},
        {"binding", "#include <rapidjson/reader.h>", ""},
        {"value", R"(#include "local.h")", ""},
        {"value", R"(// #include "binding/registry.h")", ""},
        {"value", R"(#include "binding/binding_registry.h")", "'value' may not include from 'binding'"},
        {"platform", R"(#include "format/message_format.h")", "'platform' may not include from 'format'"},
        {"format", "#include <value/value.h>", "'format' may not include from 'value'"},
        {"logging", R"(#include "value/value.h")", "'logging' may not include from 'value'"},
        {"value", R"(#include "kivhost/scenario/scenario.h")",
         "'value' may not include from 'kivhost/scenario'"},
        {"kivhost/core", R"(#include "host/plugin_base.h")", "'kivhost/core' may not include from 'host'"},
        {"kivhost/core", R"(#include "kivhost/serve/serve_world.h")",
         "'kivhost/core' may not include from 'kivhost/serve'"},
        {"kivhost/serve", R"(#include "kivhost/core/host_clock.h")", ""},
        {"value", R"(#include "../binding/x.h")", "'..' is no folder of the layer table"},
        {"widgets", R"(#include "value/value.h")", "folder 'widgets' has no row in the layer table"},
    };
    for (const LineCase& c : cases) {
        EXPECT_EQ(violation(c.folder, c.line), c.expected) << c.folder << ": " << c.line;
    }
}

TEST(IncludeLayering, SourceTreeKeepsTheLayers) {
    const std::filesystem::path root = KIV_SOURCE_DIR;
    std::vector<std::string> violations;
    std::set<std::string> used; // "folder -> included folder"
    std::size_t includes = 0;
    // The library's folders, each with its files' names and the stems their files include.
    struct FolderFiles {
        std::set<std::string> headers;
        std::vector<std::pair<std::string, std::vector<std::string>>> files; // stem, included stems
    };
    std::map<std::string, FolderFiles> library;
    for (const char* top : {"src", "include", "tools"}) {
        ASSERT_TRUE(std::filesystem::is_directory(root / top)) << root / top;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root / top)) {
            if (!entry.is_regular_file() || !isSource(entry.path())) {
                continue;
            }
            const std::filesystem::path relative = entry.path().lexically_relative(root / top);
            const std::string folder = folderOf(relative);
            const std::string where = std::string(top) + "/" + relative.generic_string();
            if (!layerOf(folder)) {
                violations.push_back(where + ": folder '" + folder + "' has no row in the layer table");
            }
            const bool inLibrary = std::string_view(top) != "tools";
            const std::string stem = entry.path().stem().string();
            std::vector<std::string> includedStems;
            bool codeSeen = false;
            std::ifstream file(entry.path());
            std::string line;
            for (int number = 1; std::getline(file, line); ++number) {
                codeSeen = codeSeen || isCodeLine(line);
                if (codeSeen && includedFolder(line)) {
                    violations.push_back(where + ":" + std::to_string(number) +
                                         ": an include after code: " + line);
                }
                if (const std::optional<std::string> included = includedStem(folder, line)) {
                    includedStems.push_back(*included);
                }
                const std::optional<std::string> included = includedFolder(line);
                includes += included.has_value();
                if (included && *included != folder) {
                    used.insert(folder + " -> " + *included);
                }
                const std::string why = layerOf(folder) ? violation(folder, line) : "";
                if (!why.empty()) {
                    violations.push_back(where + ":" + std::to_string(number) + ": " + why + ": " + line);
                }
            }
            if (inLibrary) {
                const std::string extension = entry.path().extension().string();
                if (extension == ".h" || extension == ".hpp") {
                    library[folder].headers.insert(stem);
                }
                library[folder].files.emplace_back(stem, std::move(includedStems));
            }
        }
    }
    for (const auto& [folder, files] : library) {
        IncludeGraph graph;
        for (const auto& [stem, includedStems] : files.files) {
            const std::string component = componentOf(stem, files.headers);
            for (const std::string& included : includedStems) {
                if (const std::string target = componentOf(included, files.headers); target != component) {
                    graph[component].insert(target);
                }
            }
        }
        const std::string loop = includeLoop(graph);
        if (!loop.empty()) {
            violations.push_back(folder + ": an include loop: " + loop);
        }
    }
    EXPECT_TRUE(library.contains("value") && library.contains("binding") && library.contains("logging"))
        << "the library's folders were not read";
    EXPECT_GT(includes, 100u) << "the tree was not read";
    std::string list;
    for (const std::string& v : violations) {
        list += "\n  " + v;
    }
    EXPECT_TRUE(violations.empty()) << violations.size() << " includes cross the layers:" << list;
    // The table allows the edges that exist and no more: an allowance nothing uses goes.
    for (const Layer& layer : kLayers) {
        for (const std::string_view allowed : layer.uses) {
            EXPECT_TRUE(used.contains(std::string(layer.folder) + " -> " + std::string(allowed)))
                << layer.folder << " may include from " << allowed << ", but no file does";
        }
    }
}

} // namespace
} // namespace kiv::test
