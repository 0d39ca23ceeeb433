// `kivhost serve` started for a test: the binary on port 0 in the background, its address read
// from the first line it prints, stopped at the end (and expected to exit 0 where it is asked to
// stop rather than ended; see stopIsARequest).
#pragma once

#include "child_process.h"
#include "value/json_reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kiv::test {

class ServeProcess {
  public:
    // Arguments after `serve`, on the port given (0: a free one).
    explicit ServeProcess(const std::vector<std::string>& arguments, int port = 0);
    ~ServeProcess();
    ServeProcess(const ServeProcess&) = delete;
    ServeProcess& operator=(const ServeProcess&) = delete;

    int port() const noexcept { return port_; }
    int pid() const noexcept { return process_.id(); }
    // The next line the server printed after its address, without the line break.
    std::string readLine() { return kiv::test::readLine(process_); }
    // Asks the server to stop and waits up to `wait`; its exit code, or nullopt when it is still
    // running (it is then ended).
    std::optional<int> stop(std::chrono::milliseconds wait);
    // "http://127.0.0.1:PORT/", as the first line gave it.
    const std::string& address() const noexcept { return address_; }

  private:
    ChildProcess process_;
    bool running_ = false;
    int port_ = 0;
    std::string address_;
};

// A scenario file in the temporary folder under a name of its own, removed with the object.
class ScenarioFile {
  public:
    ScenarioFile(const std::string& name, const std::string& text);
    ~ScenarioFile();
    std::string path() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

inline Value parsed(const std::string& text) {
    ConversionResult result = parseJson(text);
    EXPECT_TRUE(result.ok()) << text;
    return std::move(result.value());
}

} // namespace kiv::test
