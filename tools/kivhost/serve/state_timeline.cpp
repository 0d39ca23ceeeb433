#include "kivhost/serve/state_timeline.h"

namespace kiv::kivhost {

std::string withTimeline(std::string worldState, const EventFeed& feed, std::optional<std::size_t> since) {
    const FeedBatch timeline = feed.keptFrom(since.value_or(0));
    std::size_t bytes = 0;
    for (const auto& entry : timeline.entries) {
        bytes += entry->line.size() + 1;
    }
    std::string state = std::move(worldState);
    state.pop_back(); // the object's closing brace
    state.reserve(state.size() + bytes + 96);
    state += ",\"first\":" + std::to_string(timeline.oldest);
    state += ",\"next\":" + std::to_string(timeline.first + timeline.entries.size());
    if (since) {
        state += ",\"dropped\":" + std::to_string(timeline.dropped);
    }
    state += ",\"timeline\":[";
    for (std::size_t i = 0; i < timeline.entries.size(); ++i) {
        state += i == 0 ? "" : ",";
        state += timeline.entries[i]->line;
    }
    state += "]}";
    return state;
}

} // namespace kiv::kivhost
