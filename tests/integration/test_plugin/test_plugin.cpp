#include "test_plugin.h"

#include "binding/binding_declaration.h"
#include "format/message_format.h"
#include "host/event_names.h"
#include "host/plugin_loader.h"
#include "logging/log_message.h"
#include "platform/module_export.h"

namespace kiv::test_plugin {

void TestPlugin::RegisterApi() {
    declareEnum<TestState>(
        registry(), {typeNamePrefix() + "State", "What the test plugin has seen.", {}, {}, tags()},
        {{"IDLE", TestState::IDLE}, {"SEEN", TestState::SEEN}, {"TICKED", TestState::TICKED}});
    declareStruct<TestStatus>(registry(),
                              {typeNamePrefix() + "Status", "The test plugin's status.", {}, {}, tags()},
                              {{"state", &TestStatus::state},
                               {"loginMinutes", &TestStatus::loginMinutes},
                               {"ticks", &TestStatus::ticks},
                               {"settings", &TestStatus::settings}});
    router()
        .addGet(
            kStatusPath, [this] { return status_; }, tags())
        .setDescription("The test plugin's status.");
    router()
        .addGet(
            "/kiv-test-plugin/v1/items/{item_id}",
            [this](CallContext& call, std::int32_t itemId) -> std::string {
                if (itemId < 0 || static_cast<std::size_t>(itemId) >= items_.size()) {
                    call.fail(404, formatMessage("Unknown item: %1", {itemId}));
                    return {};
                }
                return items_[static_cast<std::size_t>(itemId)];
            },
            tags())
        .pathArgument("item_id", "Index of the item");
}

bool TestPlugin::Start() {
    (void)observers().observe(kLoginPath, [this](const PluginResourceEvent& event) { onLoginData(event); });
    (void)observers().observe(kSettingsPath, [this](const PluginResourceEvent& event) { onSettings(event); });
    return true;
}

void TestPlugin::onLoginData(const PluginResourceEvent& event) {
    if (event.eventType == PluginResourceEventType::Delete) {
        return;
    }
    status_.state = TestState::SEEN;
    status_.loginMinutes = event.data["minutes"].asInteger(-1);
    LogMessage(LogLevel::Always, 1, "Test plugin saw login minutes: %lld",
               static_cast<long long>(status_.loginMinutes));
    publishStatus();
    jobs().schedule(kTickJob, static_cast<double>(status_.loginMinutes) * 60.0, [this] { tick(); });
}

void TestPlugin::onSettings(const PluginResourceEvent& event) {
    status_.settings.clear();
    for (const Value& element : event.data["names"].elements()) {
        status_.settings.emplace_back(element.getString({}));
    }
}

void TestPlugin::tick() {
    status_.state = TestState::TICKED;
    ++status_.ticks;
    publishStatus();
}

void TestPlugin::publishStatus() {
    ConversionResult converted;
    convertNative(converted, status_, registry());
    observers().publish(kJsonApiEventName, kStatusPath, PluginResourceEventType::Update,
                        std::move(converted.value()));
}

} // namespace kiv::test_plugin

extern "C" KIV_MODULE_EXPORT void KIV_CDECL load_kiv_kr_shutdown_law(PluginLoadInfo* info) {
    kiv::loadNewPlugin<kiv::test_plugin::TestPlugin>(info, kiv::test_plugin::kShortName);
}
