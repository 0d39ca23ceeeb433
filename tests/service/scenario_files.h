// The scenarios kept under scenarios/, each of which the end-to-end tests play, and a test name
// for each made of its file's stem.
#pragma once

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

namespace kiv::test {

inline std::vector<std::filesystem::path> scenarioFiles() {
    std::vector<std::filesystem::path> files;
    for (const std::filesystem::directory_entry& entry :
         std::filesystem::directory_iterator(KIV_SCENARIO_DIR)) {
        const std::filesystem::path& file = entry.path();
        if (file.extension() == ".yaml" || file.extension() == ".json") {
            files.push_back(file);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

inline std::string scenarioTestName(const std::filesystem::path& file) {
    std::string name = file.stem().string();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return name;
}

} // namespace kiv::test
