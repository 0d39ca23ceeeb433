#include "binding/async_types.h"

#include "binding/binding_declaration.h"

namespace kiv {

void registerAsyncTypes(BindingRegistry& registry) {
    using State = BindingAsyncState;
    declareEnum<State>(
        registry,
        {"BindingAsyncState", "Possible states of an asynchronous operation.", {"$builtin", "async"}},
        {{"None", State::None, "Invalid state"},
         {"Running", State::Running, "The operation is in flight"},
         {"Cancelling", State::Cancelling, "A request to cancel the operation has been made"},
         {"Cancelled", State::Cancelled, "The operation was cancelled"},
         {"Succeeded", State::Succeeded, "The operation completed successfully"},
         {"Failed", State::Failed, "The operation encountered an error"}});

    declareStruct<BindingGenericEvent>(
        registry, {"BindingGenericEvent", "Represents generic data for an event.", {"$builtin"}},
        {{"data", &BindingGenericEvent::data, "Event data"}});

    const BindingTypeDescriptor& callbackEvent = declareStruct<BindingCallbackEvent>(
        registry,
        {"BindingCallbackEvent", "Represents the parameters of a call to a provided callback.", {"$builtin"}},
        {{"id", &BindingCallbackEvent::id, "ID of the callback being invoked"},
         {"parameters", &BindingCallbackEvent::parameters, "Callback parameters"}});

    declareStruct<BindingGenericAsyncEvent>(
        registry,
        {"BindingGenericAsyncEvent",
         "Represents generic data for an asynchronous event.",
         {"$builtin", "async"}},
        {{"asyncToken", &BindingGenericAsyncEvent::asyncToken, "Asynchronous operation token"},
         {"data", &BindingGenericAsyncEvent::data, "Event data"}});

    declareStruct<BindingAsyncFailureEvent>(
        registry,
        {"BindingAsyncFailureEvent", "Represents a failed asynchronous operation.", {"$builtin", "async"}},
        {{"asyncToken", &BindingAsyncFailureEvent::asyncToken, "Asynchronous operation token"},
         {"error", &BindingAsyncFailureEvent::error, "Error message"}});

    declareStruct<BindingAsyncCancelEvent>(
        registry,
        {"BindingAsyncCancelEvent", "Represents a cancelled asynchronous operation.", {"$builtin", "async"}},
        {{"asyncToken", &BindingAsyncCancelEvent::asyncToken, "Asynchronous operation token"}});

    registry.beginEvent("OnCallback", &callbackEvent)
        .setDescription("Fired when a callback is invoked.")
        .addTags("$builtin");
}

} // namespace kiv
