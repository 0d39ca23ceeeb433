// Runs the kivhost binary through a POSIX shell in a folder of its own, for the tests of the
// command end to end.
#pragma once

#include "fake_host.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace kiv::test {

struct CommandResult {
    int exitCode;
    std::string out;
    std::string errors;
};

class CommandTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ =
            std::filesystem::temp_directory_path() /
            ("kivhost-command-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path write(const std::string& name, const std::string& text) {
        const std::filesystem::path file = folder_ / name;
        std::ofstream(file) << text;
        return file;
    }

    static std::string quoted(const std::string& text) { return "'" + text + "'"; }

    // `program` is a shell's command word (quoted); `redirections` come after the harness's own, so
    // they may send the output elsewhere.
    CommandResult kivhost(const std::string& arguments, const std::string& program = quoted(KIVHOST_BINARY),
                          const std::string& redirections = "") {
        const std::filesystem::path out = folder_ / "out.txt";
        const std::filesystem::path errors = folder_ / "errors.txt";
        const std::string command = program + " " + arguments + " >" + quoted(out.string()) + " 2>" +
                                    quoted(errors.string()) + " " + redirections;
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readAll(out), readAll(errors)};
    }

    static std::string readAll(const std::filesystem::path& file) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::filesystem::path folder_;
};

} // namespace kiv::test
