// The README's examples run as written. A fenced block after "<!-- example -->" holds commands
// ("$ kivhost ...", run from the source folder with the built kivhost first on PATH) each followed
// by what it prints on its output and error output; a line "..." stands for lines left out.
// "<!-- example: FILE -->" also holds the command's whole output to FILE, and
// "<!-- file: FILE -->" holds the block to FILE's text, so that a scenario shown is the one kept.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace kiv::test {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Whether `shown` is `actual` with runs of lines replaced by "...".
bool shownMatches(const std::vector<std::string>& shown, std::size_t s,
                  const std::vector<std::string>& actual, std::size_t a) {
    if (s == shown.size()) {
        return a == actual.size();
    }
    if (shown[s] == "...") {
        for (std::size_t skip = a; skip <= actual.size(); ++skip) {
            if (shownMatches(shown, s + 1, actual, skip)) {
                return true;
            }
        }
        return false;
    }
    return a < actual.size() && shown[s] == actual[a] && shownMatches(shown, s + 1, actual, a + 1);
}

struct Example {
    std::size_t line;   // of the marker in the README, from 1
    std::string marker; // "example" or "file"
    std::string file;   // the file named, if any
    std::vector<std::string> block;
};

std::vector<Example> examples() {
    static const std::regex kMarker(R"(<!-- (example|file)(?:: (\S+))? -->)");
    const std::vector<std::string> readme = linesOf(readAll(fs::path(KIV_SOURCE_DIR) / "README.md"));
    std::vector<Example> found;
    for (std::size_t i = 0; i < readme.size(); ++i) {
        std::smatch match;
        if (!std::regex_match(readme[i], match, kMarker)) {
            continue;
        }
        Example example{i + 1, match[1], match[2], {}};
        std::size_t j = i + 2; // past the opening fence
        for (; j < readme.size() && !readme[j].starts_with("```"); ++j) {
            example.block.push_back(readme[j]);
        }
        found.push_back(std::move(example));
        i = j;
    }
    return found;
}

// What a command prints on its output and error output together, with the unload line's byte
// figures (which differ from build to build) as "N".
std::string run(const std::string& command) {
    const fs::path folder = fs::temp_directory_path() / "kivhost-readme";
    fs::create_directories(folder / "bin");
    std::error_code ignored;
    fs::remove(folder / "bin" / "kivhost", ignored);
    fs::create_symlink(KIVHOST_BINARY, folder / "bin" / "kivhost");
    const std::string shell = "cd '" + std::string(KIV_SOURCE_DIR) + "' && PATH='" +
                              (folder / "bin").string() + "':\"$PATH\" && (" + command + ") >'" +
                              (folder / "out").string() + "' 2>&1";
    (void)std::system(shell.c_str());
    static const std::regex kFigures("[0-9]+ bytes allocated and [0-9]+ freed");
    return std::regex_replace(readAll(folder / "out"), kFigures, "N bytes allocated and N freed");
}

TEST(ReadmeTest, EveryExamplePrintsWhatTheReadmeShows) {
    const std::vector<Example> found = examples();
    ASSERT_GE(found.size(), 5u) << "the README's examples are marked with <!-- example -->";
    for (const Example& example : found) {
        SCOPED_TRACE("README.md line " + std::to_string(example.line));
        if (example.marker == "file") {
            std::string shown;
            for (const std::string& line : example.block) {
                shown += line + "\n";
            }
            EXPECT_EQ(shown, readAll(fs::path(KIV_SOURCE_DIR) / example.file));
            continue;
        }
        // Each "$ " line with the lines up to the next one.
        for (std::size_t i = 0; i < example.block.size();) {
            ASSERT_TRUE(example.block[i].starts_with("$ ")) << example.block[i];
            std::string command = example.block[i].substr(2);
            while (command.ends_with("\\") && ++i < example.block.size()) {
                command = command.substr(0, command.size() - 1) + example.block[i];
            }
            std::vector<std::string> shown;
            for (++i; i < example.block.size() && !example.block[i].starts_with("$ "); ++i) {
                shown.push_back(example.block[i]);
            }
            const std::string printed = run(command);
            EXPECT_TRUE(shownMatches(shown, 0, linesOf(printed), 0)) << "$ " << command << "\nprints\n"
                                                                     << printed;
            if (!example.file.empty()) {
                EXPECT_EQ(printed, readAll(fs::path(KIV_SOURCE_DIR) / example.file)) << "$ " << command;
            }
        }
    }
}

} // namespace
} // namespace kiv::test
