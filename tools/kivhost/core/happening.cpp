#include "kivhost/core/happening.h"

namespace kiv::kivhost {
namespace {

template <class... Names> struct TypeWords : Names... {
    using Names::operator()...;
};
template <class... Names> TypeWords(Names...) -> TypeWords<Names...>;

} // namespace

const char* happeningType(const HappeningDetail& detail) noexcept {
    return std::visit(TypeWords{
                          [](const PluginLoaded&) { return "load"; },
                          [](const PluginUnloaded&) { return "unload"; },
                          [](const LogWritten&) { return "log"; },
                          [](const TimerScheduled&) { return "timer"; },
                          [](const TimerFired&) { return "fire"; },
                          [](const EventSent&) { return "event"; },
                          [](const RequestSent&) { return "request"; },
                          [](const ResponseReceived&) { return "response"; },
                          [](const Subscribed&) { return "subscribe"; },
                          [](const Unsubscribed&) { return "unsubscribe"; },
                          [](const ResourceChanged& changed) {
                              switch (changed.change) {
                              case ResourceChangeKind::Create:
                                  return "create";
                              case ResourceChangeKind::Delete:
                                  return "delete";
                              case ResourceChangeKind::Update:
                                  break;
                              }
                              return "update";
                          },
                          [](const HostFault&) { return "fault"; },
                      },
                      detail);
}

std::span<const std::string_view> happeningTypes() noexcept {
    static constexpr std::string_view kTypes[] = {"load",   "unload",  "log",      "timer",     "fire",
                                                  "event",  "request", "response", "subscribe", "unsubscribe",
                                                  "update", "create",  "delete",   "fault"};
    return kTypes;
}

std::span<const std::string_view> logLevelNames() noexcept {
    static constexpr std::string_view kNames[] = {"OKAY", "WARN", "ERROR", "ALWAYS"};
    return kNames;
}

std::string logLevelText(std::uint32_t level) {
    const auto names = logLevelNames();
    return level < names.size() ? std::string(names[level]) : "LEVEL " + std::to_string(level);
}

} // namespace kiv::kivhost
