#include "service/shutdown_law_types.h"

#include "binding/binding_declaration.h"

namespace Brix::Client::ShutdownLaw::Api {

namespace {

constexpr std::string_view kNamespace = "Brix::Client::ShutdownLaw::Api";

kiv::BindingTypeInfo typeInfo(const std::string& name, std::span<const std::string> tags) {
    kiv::BindingTypeInfo info;
    info.name = name;
    info.nameSpace = kNamespace;
    info.tagList = tags;
    return info;
}

} // namespace

void registerShutdownLawTypes(kiv::BindingRegistry& registry, std::string_view typePrefix,
                              std::span<const std::string> tags) {
    const std::string prefix(typePrefix);
    kiv::declareEnum<ShutdownLawStatus>(registry, typeInfo(prefix + "ShutdownLawStatus", tags),
                                        {{"NONE", ShutdownLawStatus::NONE},
                                         {"WARNING", ShutdownLawStatus::WARNING},
                                         {"CUT_OFF", ShutdownLawStatus::CUT_OFF}});
    kiv::declareStruct<ShutdownLawNotification>(registry, typeInfo(prefix + "ShutdownLawNotification", tags),
                                                {{"type", &ShutdownLawNotification::type}});
    kiv::declareStruct<QueueShutdownStatus>(registry, typeInfo(prefix + "QueueShutdownStatus", tags),
                                            {{"isDisabled", &QueueShutdownStatus::isDisabled}});
    kiv::declareStruct<AllQueueShutdownStatus>(
        registry, typeInfo(prefix + "AllQueueShutdownStatus", tags),
        {{"isAllQueuesDisabled", &AllQueueShutdownStatus::isAllQueuesDisabled}});
}

} // namespace Brix::Client::ShutdownLaw::Api
