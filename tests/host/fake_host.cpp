#include "fake_host.h"

#include "value/flat_value.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace kiv::test {

namespace {

void KIV_CDECL releaseAnswer(HostResponse* response) {
    releaseFlat(response->result);
    std::memset(response, 0, sizeof *response);
}

std::uint8_t KIV_CDECL readScriptedChunk(void* stream, char* buffer, std::uint32_t* length,
                                         std::uint8_t* more) {
    auto& script = *static_cast<StreamScript*>(stream);
    if (script.chunks.empty() || (script.reads >= script.chunks.size() && !script.repeatLast)) {
        return 0;
    }
    const StreamScript::Chunk& chunk = script.chunks[std::min(script.reads, script.chunks.size() - 1)];
    ++script.reads;
    const auto copied = std::min<std::size_t>(chunk.bytes.size(), *length);
    std::memcpy(buffer, chunk.bytes.data(), copied);
    *length = chunk.reportedLength ? chunk.reportedLength : static_cast<std::uint32_t>(copied);
    *more = chunk.more ? 1 : 0;
    return chunk.ok ? 1 : 0;
}

void KIV_CDECL releaseScriptedStream(void* stream) {
    ++static_cast<StreamScript*>(stream)->releases;
}

} // namespace

FakeHost::FakeHost() {
    responder = [](HostResponse& response, const HostRequest&) { answerError(response, "Not found", 404); };
    table_.owner = this;
    table_.api.sendRequest = [](HostApi* api, HostResponse* response, const HostRequest* request) {
        FakeHost& host = of(api);
        host.requestedPaths.emplace_back(request->path ? request->path : "");
        host.responder(*response, *request);
    };
    table_.api.hostOperation1 = [](HostApi*, std::uint32_t, std::uint32_t) {};
    table_.api.sendEvent = [](HostApi* api, const HostEventRecord* event) {
        HostSentEvent sent{event->name ? event->name : "", {}, event->reserved, event->userData};
        FlatResult failure{};
        if (!flatToValue(event->payload, sent.payload, "event", failure)) {
            ADD_FAILURE() << "the plugin sent an event the host cannot read: "
                          << (failure.error ? failure.error : "");
        }
        releaseFlat(failure);
        of(api).sentEvents.push_back(std::move(sent));
    };
    table_.api.subscribeEvent = [](HostApi* api, const char* name, std::uintptr_t context,
                                   PluginEventCallbackFn callback, void* userData, std::uint32_t kind) {
        of(api).subscriptions.push_back({name, context, callback, userData, kind});
    };
    table_.api.unsubscribeEvent = [](HostApi* api, const char* name, std::uintptr_t) {
        of(api).unsubscriptions.emplace_back(name);
    };
    table_.api.scheduleTimer = [](HostApi* api, const char* name, PluginTimerCallbackFn callback,
                                  void* userData, double delay, std::uint32_t reserved) {
        of(api).timers.push_back({name, callback, userData, delay, reserved});
    };
    table_.api.yieldToHost = [](HostApi* api) { ++of(api).yields; };
    table_.api.beginWait = [](HostApi* api, const char* label, std::uint32_t) {
        of(api).waitLabels.emplace_back(label);
    };
    table_.api.endWait = [](HostApi* api) { ++of(api).endWaits; };
    table_.api.writeLog = [](HostApi* api, std::uint32_t level, const char* text) {
        of(api).logLines.push_back({level, text});
    };
    interface_.api = &table_.api;
    interface_.hostContext = 0x5EED;
}

std::vector<std::string> FakeHost::subscribedNames() const {
    std::vector<std::string> names;
    for (const HostSubscription& subscription : subscriptions) {
        names.push_back(subscription.name);
    }
    for (const std::string& gone : unsubscriptions) {
        if (auto it = std::find(names.begin(), names.end(), gone); it != names.end()) {
            names.erase(it);
        }
    }
    return names;
}

int FakeHost::deliver(std::string_view name, const Value& payload) {
    const std::string eventName(name);
    HostEventRecord record{eventName.c_str(), {}, 0, nullptr};
    if (!valueToFlat(payload, record.payload, nullptr)) {
        ADD_FAILURE() << "out of memory for the event " << name;
        return 0;
    }
    int delivered = 0;
    // Subscribers are taken from a copy: a handler may subscribe further events.
    const std::vector<HostSubscription> current = subscriptions;
    for (const HostSubscription& subscription : current) {
        if (subscription.name == name) {
            record.userData = subscription.userData;
            subscription.callback(&record);
            ++delivered;
        }
    }
    releaseFlat(record.payload);
    return delivered;
}

void answerValue(HostResponse& response, const Value& value) {
    if (!valueToFlat(value, response.result.value, nullptr)) {
        ADD_FAILURE() << "out of memory for an answer";
    }
    response.status = 200;
    response.release = releaseAnswer;
}

void answerError(HostResponse& response, std::string_view text, std::uint32_t status) {
    auto* copy = new char[text.size() + 1];
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    response.result.error = copy;
    response.result.failed = 1;
    response.status = status;
    response.release = releaseAnswer;
}

void answerStream(HostResponse& response, StreamScript& script) {
    response.readBody = readScriptedChunk;
    response.releaseBody = releaseScriptedStream;
    response.bodyStream = &script;
    response.bodyLength = script.announcedLength;
    response.status = 200;
    response.release = releaseAnswer;
}

} // namespace kiv::test
