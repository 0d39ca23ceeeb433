// Event names come from plugins: whatever they hold, each message reads back, as an EventSource
// splits a stream into lines, as exactly its id, its event and its data.
#include "kivhost/serve/server_sent_events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kiv::test {
namespace {

// The lines of a stream as an EventSource reads them: CRLF, CR and LF each end one.
std::vector<std::string> streamLines(const std::string& stream) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < stream.size(); ++i) {
        if (stream[i] != '\r' && stream[i] != '\n') {
            lines.back() += stream[i];
            continue;
        }
        if (stream[i] == '\r' && i + 1 < stream.size() && stream[i + 1] == '\n') {
            ++i;
        }
        lines.emplace_back();
    }
    return lines;
}

TEST(ServerSentEventsTest, EachMessageIsItsThreeFieldsWhateverTheNameHolds) {
    const std::string data = R"({"text":"a\nb"})";
    for (const std::string name :
         {"OnFakeEvent", "On\nFake", "On\rFake", "On\r\nFake", "\n", "data: x\n\n"}) {
        const std::string event = kivhost::sseEventName(name);
        EXPECT_EQ(event.size(), name.size()) << name;
        const std::vector<std::string> lines = streamLines(kivhost::sseMessage(42, event, data));
        EXPECT_EQ(lines, (std::vector<std::string>{"id: 42", "event: " + event, "data: " + data, "", ""}))
            << name;
    }
    EXPECT_EQ(streamLines(std::string(kivhost::sseKeepAlive())),
              (std::vector<std::string>{": keep-alive", "", ""}));
}

} // namespace
} // namespace kiv::test
