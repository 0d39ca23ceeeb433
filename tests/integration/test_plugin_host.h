// The test plugin library loaded through its export by the development host, and the ways the
// integration tests read what the host saw.
#pragma once

#include "kivhost/core/plugin_host.h"
#include "value/json_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kiv::test {

inline constexpr const char* kTestPluginLibrary = KIV_TEST_PLUGIN;
inline constexpr const char* kEntryName = KIV_PLUGIN_ENTRY_NAME;
inline constexpr const char* kLoginPath = "/kiv-login/v1/login-data-packet";
inline constexpr const char* kSettingsPath = "/kiv-test-config/v1/settings";
inline constexpr const char* kStatusPath = "/kiv-test-plugin/v1/status";

inline Value json(std::string_view text) {
    ConversionResult parsed = parseJson(text);
    EXPECT_TRUE(parsed.ok()) << text;
    return std::move(parsed.value());
}

// The details of one kind of happening, in the order they happened.
template <class Detail> std::vector<Detail> happeningsOf(const kivhost::PluginHost& host) {
    std::vector<Detail> found;
    for (const kivhost::Happening& happening : host.happenings()) {
        if (const Detail* detail = std::get_if<Detail>(&happening.detail)) {
            found.push_back(*detail);
        }
    }
    return found;
}

inline std::vector<std::string> logTexts(const kivhost::PluginHost& host, std::uint32_t level) {
    std::vector<std::string> texts;
    for (const kivhost::LogWritten& line : happeningsOf<kivhost::LogWritten>(host)) {
        if (line.level == level) {
            texts.push_back(line.text);
        }
    }
    return texts;
}

// A host with the login packet stored, the test plugin loaded and, unless told otherwise,
// initialised.
class TestPluginHost {
  public:
    explicit TestPluginHost(kivhost::HostOptions options = {}, bool initialize = true) : host(options) {
        host.putResource(kLoginPath, json(R"({"minutes": 42})"));
        id = host.load(kTestPluginLibrary, kEntryName);
        if (initialize) {
            EXPECT_TRUE(host.initialize(id));
        }
    }

    Value status() {
        const kivhost::Response response = host.request(KIV_HTTP_METHOD_GET, kStatusPath);
        EXPECT_FALSE(response.error.has_value()) << *response.error;
        return response.value;
    }

    kivhost::PluginHost host;
    kivhost::PluginId id = 0;
};

} // namespace kiv::test
