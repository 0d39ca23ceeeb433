#include "fake_plugin.h"

#include "flat_records.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

namespace kiv::test::fake {
namespace {

// What this library handed to the host and has not seen released, and releases of anything else.
std::mutex releaseMutex;
std::set<const char*> openResponses;
std::map<const void*, std::string> openStreams;
std::uint64_t strayReleases = 0;

struct Stream {
    std::string text;
    std::size_t position = 0;
    std::uint32_t chunk = 3;
    std::uint32_t overstate = 0; // bytes reported beyond what a read placed, to test the host
};

void KIV_CDECL releaseResponse(HostResponse* response) {
    const char* token = response->contextText; // read out of the packed record
    {
        std::lock_guard lock(releaseMutex);
        if (!openResponses.erase(token)) {
            ++strayReleases;
            return;
        }
    }
    delete[] response->contextText;
    freeFlat(response->result.value);
    delete[] response->result.error;
    std::memset(static_cast<void*>(response), 0, sizeof *response);
}

std::uint8_t KIV_CDECL readStream(void* handle, char* buffer, std::uint32_t* length, std::uint8_t* more) {
    auto& stream = *static_cast<Stream*>(handle);
    const std::size_t count =
        std::min<std::size_t>({*length, stream.chunk, stream.text.size() - stream.position});
    std::memcpy(buffer, stream.text.data() + stream.position, count);
    stream.position += count;
    *length = static_cast<std::uint32_t>(count) + stream.overstate;
    *more = stream.position < stream.text.size();
    return 1;
}

void KIV_CDECL releaseStream(void* handle) {
    {
        std::lock_guard lock(releaseMutex);
        if (!openStreams.erase(handle)) {
            ++strayReleases;
            return;
        }
    }
    delete static_cast<Stream*>(handle);
}

// Fills the response with this library's own release routine; the token marks it as open.
void answer(HostResponse& response, FlatValue value, const char* error, std::uint32_t status) {
    char* token = new char[1]{};
    {
        std::lock_guard lock(releaseMutex);
        openResponses.insert(token);
    }
    response.result.value = value;
    if (error) {
        response.result.error = new char[std::strlen(error) + 1];
        std::strcpy(response.result.error, error);
        response.result.failed = 1;
    }
    response.status = status;
    response.contextText = token;
    response.release = releaseResponse;
}

void answerStream(HostResponse& response, std::string text, std::uint32_t overstate) {
    auto* stream = new Stream{std::move(text), 0, 3, overstate};
    {
        std::lock_guard lock(releaseMutex);
        openStreams[stream] = "stream";
    }
    answer(response, FlatValue{}, nullptr, 200);
    response.readBody = readStream;
    response.releaseBody = releaseStream;
    response.bodyLength = stream->text.size();
    response.bodyStream = stream;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}

// The faulty records a plugin might hand over, one per action.
bool sendFaultyRecord(Plugin& plugin, const std::string& verb) {
    HostApi* api = plugin.host->api;
    const std::uintptr_t context = plugin.host->hostContext;
    if (verb == "bad-payload") {
        const HostEventRecord event{"OnFakeEvent", {42, 0, 0}, 0, nullptr};
        api->sendEvent(api, &event);
    } else if (verb == "no-name-event") {
        const HostEventRecord event{nullptr, {}, 0, nullptr};
        api->sendEvent(api, &event);
    } else if (verb == "no-event") {
        api->sendEvent(api, nullptr);
    } else if (verb == "null-timer") {
        api->scheduleTimer(api, "fake.null", nullptr, nullptr, 1.0, 0);
    } else if (verb == "nan-timer") {
        scheduleTimer(plugin, plugin.shortName + ".nan", std::nan(""));
    } else if (verb == "no-path") {
        HostRequest request{};
        HostResponse response{};
        api->sendRequest(api, &response, &request);
        if (response.release) {
            response.release(&response);
        }
    } else if (verb == "no-response") {
        HostRequest request{};
        request.path = "/fake-input/v1/value";
        api->sendRequest(api, nullptr, &request);
    } else if (verb == "wrong-context") {
        api->unsubscribeEvent(api, "OnNothing", context + 1000);
    } else if (verb == "null-subscription") {
        api->subscribeEvent(api, nullptr, context, nullptr, nullptr, 0);
    } else if (verb == "null-log") {
        api->writeLog(api, KIV_LOG_LEVEL_WARN, nullptr);
    } else {
        return false;
    }
    return true;
}

// Does what the action says; false for an unknown action.
bool act(Plugin& plugin, const std::string& action, HostResponse& response) {
    HostApi* api = plugin.host->api;
    const std::vector<std::string> words = split(action, ':');
    const std::string verb = words.empty() ? "" : words[0];
    const std::string first = words.size() > 1 ? words[1] : "";
    const std::string second = words.size() > 2 ? words[2] : "";
    if (verb == "timers") {
        const std::vector<std::string> delays = split(first, ',');
        for (std::size_t i = 0; i < delays.size(); ++i) {
            scheduleTimer(plugin, plugin.shortName + ".t" + std::to_string(i),
                          std::strtod(delays[i].c_str(), nullptr));
        }
    } else if (verb == "event") {
        FlatValue payload = flatObject({{"from", flatText(plugin.shortName)}, {"n", flatNumber(7)}});
        const HostEventRecord event{first.c_str(), payload, 0, nullptr};
        api->sendEvent(api, &event);
        freeFlat(payload);
    } else if (verb == "subscribe") {
        subscribe(plugin, first, second);
    } else if (verb == "unsubscribe") {
        api->unsubscribeEvent(api, first.c_str(), plugin.host->hostContext);
    } else if (verb == "get" || verb == "get-twice" || verb == "get-kept") {
        get(plugin, action.substr(verb.size() + 1), verb == "get" ? 1 : verb == "get-twice" ? 2 : 0);
    } else if (verb == "log") {
        api->writeLog(api, static_cast<std::uint32_t>(std::atoi(first.c_str())), second.c_str());
    } else if (verb == "exit") {
        std::exit(std::atoi(first.c_str())); // a library that ends the process as if it were its own
    } else if (verb == "op1") {
        api->hostOperation1(api, 1, 2);
    } else if (verb == "fail") {
        answer(response, FlatValue{}, "The fake fails on purpose", 418);
        return true;
    } else if (verb == "bad-response") {
        answer(response, FlatValue{42, 0, 0}, nullptr, 200);
        return true;
    } else if (verb == "oversized-chunk") {
        answerStream(response, "[1,2,3]", 5000);
        return true;
    } else if (verb == "threads") {
        std::vector<FlatValue> threads;
        for (std::uint32_t thread : plugin.entryThreads) {
            threads.push_back(flatNumber(static_cast<std::int64_t>(thread)));
        }
        answer(response, flatList(threads), nullptr, 200);
        return true;
    } else if (verb == "releases") {
        // Counted before this response opens.
        std::int64_t counts[3];
        {
            std::lock_guard lock(releaseMutex);
            counts[0] = static_cast<std::int64_t>(openResponses.size());
            counts[1] = static_cast<std::int64_t>(openStreams.size());
            counts[2] = static_cast<std::int64_t>(strayReleases);
        }
        answer(response,
               flatObject({{"openResponses", flatNumber(counts[0])},
                           {"openStreams", flatNumber(counts[1])},
                           {"strays", flatNumber(counts[2])}}),
               nullptr, 200);
        return true;
    } else if (!sendFaultyRecord(plugin, verb)) {
        return false;
    }
    answer(response, flatObject({{"done", flatText(action)}}), nullptr, 200);
    return true;
}

} // namespace

void KIV_CDECL dispatch(HostResponse* response, const HostRequest* request) {
    const auto* route = static_cast<const Route*>(request->context);
    Plugin& plugin = *route->plugin;
    noteEntry(plugin);
    const std::string path = request->path;
    switch (route->kind) {
    case Route::Journal: {
        std::vector<FlatValue> lines;
        for (const std::string& line : plugin.journal) {
            lines.push_back(flatText(line));
        }
        answer(*response, flatList(lines), nullptr, 200);
        return;
    }
    case Route::Stream: {
        const int count = std::atoi(path.substr(path.rfind('/') + 1).c_str());
        std::string text = "[";
        for (int i = 0; i < count; ++i) {
            text += (i ? "," : "") + std::to_string(i);
        }
        answerStream(*response, text + "]", 0);
        return;
    }
    case Route::Act: {
        const std::string action = path.substr(plugin.prefix.size() + std::string("/act/").size());
        plugin.journal.push_back("act " + action);
        if (!act(plugin, action, *response)) {
            answer(*response, FlatValue{}, ("Unknown action: " + action).c_str(), 404);
        }
        return;
    }
    }
}

} // namespace kiv::test::fake
