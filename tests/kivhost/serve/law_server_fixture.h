// A server on the shutdown-law plugin before any login, with one keep-alive connection to it: the
// fixture of the tests that drive serve through its controls and through a working day.
#pragma once

#include "law_scenario.h"
#include "raw_http.h"
#include "serve_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace kiv::test {

class LawServerTest : public testing::Test {
  protected:
    // `extra`: the options after the scenario and the plugin.
    explicit LawServerTest(std::vector<std::string> extra = {})
        : scenario_("law-server.yaml", kNoLoginYet), serve_(argumentsWith(std::move(extra))),
          client_(serve_.port()) {}

    // One request on the keep-alive connection; a body goes as JSON.
    RawAnswer call(const std::string& method, const std::string& target, const std::string& body = {}) {
        client_.send(rawRequest(port(), method, target,
                                body.empty() ? "" : "Content-Type: application/json\r\n", body));
        return client_.answer(std::chrono::seconds(60)).value_or(RawAnswer{});
    }

    int port() const { return serve_.port(); }
    int pid() const { return serve_.pid(); }

    ScenarioFile scenario_;
    ServeProcess serve_;
    RawHttp client_;

  private:
    std::vector<std::string> argumentsWith(std::vector<std::string> extra) const {
        std::vector<std::string> arguments = {scenario_.path(), "--plugin", KIVHOST_PLUGIN};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return arguments;
    }
};

} // namespace kiv::test
