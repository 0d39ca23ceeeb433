// A small plugin built from the framework, for the integration tests: two routes, an observed
// resource whose changes it republishes as its own status, a job on the host's timer, and the
// log lines that tell what it did. Loaded through the library's one export like any plugin.
#pragma once

#include "host/hosted_plugin.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kiv::test_plugin {

inline constexpr const char* kShortName = "kiv-test-plugin";
inline constexpr const char* kStatusPath = "/kiv-test-plugin/v1/status";
inline constexpr const char* kLoginPath = "/kiv-login/v1/login-data-packet";
inline constexpr const char* kSettingsPath = "/kiv-test-config/v1/settings";
inline constexpr const char* kTickJob = "kiv-test-plugin.tick";

enum class TestState : std::int32_t {
    IDLE = 0,
    SEEN = 1,
    TICKED = 2,
};

struct TestStatus {
    TestState state = TestState::IDLE;
    std::int64_t loginMinutes = -1;
    std::int64_t ticks = 0;
    std::vector<std::string> settings;
};

class TestPlugin final : public HostedPlugin {
  public:
    void RegisterApi() override;
    bool Start() override;

  private:
    void onLoginData(const PluginResourceEvent& event);
    void onSettings(const PluginResourceEvent& event);
    void tick();
    void publishStatus();

    TestStatus status_;
    std::vector<std::string> items_ = {"alpha", "beta", "gamma"};
};

} // namespace kiv::test_plugin
