#include "kivhost/serve/request_log.h"

#include "kivhost/core/json_text.h"
#include "kivhost/timeline/timeline.h"

namespace kiv::kivhost {

void RequestLog::record(std::int64_t nowMs, std::string_view method, std::string_view target, int status) {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("t");
    writeSeconds(writer, nowMs);
    writer.Key("type");
    writer.String("http");
    writer.Key("method");
    writeJsonText(writer, method);
    writer.Key("target");
    writeJsonText(writer, target);
    writer.Key("status");
    writer.Int(status);
    writer.EndObject();
    feed_.addLine("http", std::string(buffer.GetString(), buffer.GetSize()));
    if (out_) {
        std::lock_guard lock(outMutex_);
        // Control characters a client put in its target are not written to the terminal.
        std::string line = std::string(method) + " " + std::string(target);
        for (char& c : line) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                c = '?';
            }
        }
        *out_ << line << ' ' << status << std::endl;
    }
}

} // namespace kiv::kivhost
