// The plugin object of this library: a hosted plugin that carries the shutdown law, serves its
// five resources and announces their changes.
#pragma once

#include "host/hosted_plugin.h"
#include "service/shutdown_law.h"
#include "service/shutdown_law_context.h"

#include <vector>

namespace kiv {

class ShutdownLawService final : public HostedPlugin, private ShutdownLawContext {
  public:
    ShutdownLawService() : law_(*this) {}

    // The four types, then the five routes.
    void RegisterApi() override;
    // Watches the login data packet.
    bool Start() override;

    const ShutdownLawState& state() const noexcept { return law_.state(); }

  private:
    ApiResult<void> observe(std::string_view path, ResourceReader& reader, ChangeHandler handler) override;
    ApiResult<void> read(std::string_view path, ResourceReader& reader) override;
    ApiResult<std::vector<std::int64_t>> readListIds(std::string_view path) override;
    std::int64_t nowNs() override;
    void scheduleJobAt(std::string_view name, std::int64_t dueNs, std::function<void()> job) override;
    void publish(std::string_view uri, const PublishedData& data) override;

    void registerRoutes();

    ShutdownLaw law_;
};

} // namespace kiv
