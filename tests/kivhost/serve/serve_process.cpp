#include "serve_process.h"

#include <fstream>
#include <random>

namespace kiv::test {
namespace {

std::vector<std::string> commandOf(const std::vector<std::string>& arguments, int port) {
    std::vector<std::string> words = {KIVHOST_BINARY, "serve", "--port", std::to_string(port)};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return words;
}

} // namespace

ServeProcess::ServeProcess(const std::vector<std::string>& arguments, int port)
    : process_(commandOf(arguments, port)), running_(process_.started()) {
    if (!running_) {
        ADD_FAILURE() << "kivhost serve did not start";
        return;
    }
    const std::string line = readLine();
    address_ = line;
    const std::string prefix = "http://127.0.0.1:";
    if (line.rfind(prefix, 0) != 0 || line.back() != '/') {
        ADD_FAILURE() << "kivhost serve printed '" << line << "' first";
        return;
    }
    port_ = std::stoi(line.substr(prefix.size()));
}

ServeProcess::~ServeProcess() {
    if (running_) {
        const std::optional<int> code = stop(std::chrono::seconds(30));
        if (stopIsARequest()) {
            EXPECT_EQ(code, 0) << "kivhost serve did not stop cleanly";
        }
    }
}

std::optional<int> ServeProcess::stop(std::chrono::milliseconds wait) {
    running_ = false;
    return process_.stop(wait);
}

ScenarioFile::ScenarioFile(const std::string& name, const std::string& text)
    : path_(std::filesystem::temp_directory_path() /
            ("kivhost-serve-" + std::to_string(std::random_device()()) + "-" + name)) {
    std::ofstream(path_) << text;
}

ScenarioFile::~ScenarioFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

} // namespace kiv::test
