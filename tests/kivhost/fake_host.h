// A development host with the fake plugin library loaded, for the tests of the host's core.
#pragma once

#include "kivhost/core/plugin_host.h"
#include "value/json_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kiv::test {

inline const char* fakePluginLibrary() {
    return KIVHOST_FAKE_PLUGIN;
}

inline Value json(std::string_view text) {
    ConversionResult parsed = parseJson(text);
    EXPECT_TRUE(parsed.ok()) << text;
    return std::move(parsed.value());
}

// The happenings of one type ("log", "timer", ...), in the order they happened.
inline std::vector<kivhost::Happening> happeningsOfType(const kivhost::PluginHost& host,
                                                        std::string_view type) {
    std::vector<kivhost::Happening> found;
    for (kivhost::Happening& happening : host.happenings()) {
        if (kivhost::happeningType(happening.detail) == type) {
            found.push_back(std::move(happening));
        }
    }
    return found;
}

inline std::vector<std::string> faultTexts(const kivhost::PluginHost& host) {
    std::vector<std::string> texts;
    for (const kivhost::Happening& happening : happeningsOfType(host, "fault")) {
        texts.push_back(std::get<kivhost::HostFault>(happening.detail).text);
    }
    return texts;
}

class FakeHost {
  public:
    explicit FakeHost(kivhost::HostOptions options = {}) : host(options) {}

    kivhost::PluginId start(const std::string& entry = "load_kivhost_fake_plugin") {
        const kivhost::PluginId id = host.load(fakePluginLibrary(), entry);
        EXPECT_TRUE(host.initialize(id));
        return id;
    }

    // Asks a fake plugin (by its path prefix) to do something.
    kivhost::Response act(const std::string& action, const std::string& prefix = "/fake/v1") {
        return host.request(KIV_HTTP_METHOD_GET, prefix + "/act/" + action);
    }

    std::vector<std::string> journal(const std::string& prefix = "/fake/v1") {
        const kivhost::Response response = host.request(KIV_HTTP_METHOD_GET, prefix + "/journal");
        std::vector<std::string> lines;
        for (const Value& line : response.value.elements()) {
            lines.emplace_back(line.getString(""));
        }
        return lines;
    }

    // The journal lines that start with `start`.
    std::vector<std::string> journalLines(const std::string& start, const std::string& prefix = "/fake/v1") {
        std::vector<std::string> lines;
        for (std::string& line : journal(prefix)) {
            if (line.starts_with(start)) {
                lines.push_back(std::move(line));
            }
        }
        return lines;
    }

    kivhost::PluginHost host;
};

} // namespace kiv::test
