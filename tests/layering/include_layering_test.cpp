// The folders of src/, include/ and tools/ form layers, and a folder includes only from the layers
// its row of the table below allows: the edges that exist, and no more. The check reads every
// source's include lines, so a new include that crosses a layer the wrong way fails the build's
// tests rather than waiting for a reader. kivhost's folders are named with their tool
// ("kivhost/core"); kivhost's core sees plugins only through include/kiv, never the library's
// own folders, which keeps it an independent check of the library.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
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
    {"kivhost/serve", {"platform", "value", "kivhost/core", "kivhost/scenario", "kivhost/timeline"}},
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
            std::ifstream file(entry.path());
            std::string line;
            for (int number = 1; std::getline(file, line); ++number) {
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
        }
    }
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
