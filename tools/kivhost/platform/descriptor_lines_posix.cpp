#include "kivhost/platform/descriptor_lines.h"

#include <cerrno>
#include <unistd.h>

namespace kiv::kivhost {

void forEachLine(int descriptor, const std::function<void(std::string& line)>& line) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(descriptor, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] != '\n') {
                text += buffer[i];
                continue;
            }
            line(text);
            text.clear();
        }
    }
    if (!text.empty()) {
        line(text);
    }
}

} // namespace kiv::kivhost
