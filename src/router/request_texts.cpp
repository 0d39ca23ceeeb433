#include "router/request_texts.h"

#include "router/url_template.h"

namespace kiv {
namespace {

std::string asciiLowerCopy(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

} // namespace

void NamedTexts::set(std::string name, std::string value) {
    const auto [position, inserted] = positions_.try_emplace(name, entries_.size());
    if (inserted) {
        entries_.emplace_back(std::move(name), std::move(value));
    } else {
        entries_[position->second].second = std::move(value);
    }
}

NamedTexts queryValuesOf(std::string_view path) {
    NamedTexts values;
    const std::size_t mark = path.find('?');
    if (mark == std::string_view::npos || mark + 1 == path.size()) {
        return values;
    }
    std::string_view rest = path.substr(mark + 1);
    for (;;) {
        const std::size_t end = rest.find('&');
        const std::string_view piece = rest.substr(0, end);
        const std::size_t equals = piece.find('=');
        if (equals == std::string_view::npos) {
            values.set(UrlDecode(piece), std::string());
        } else {
            values.set(UrlDecode(piece.substr(0, equals)), UrlDecode(piece.substr(equals + 1)));
        }
        if (end == std::string_view::npos) {
            return values;
        }
        rest.remove_prefix(end + 1);
    }
}

std::map<std::string, std::string> requestHeadersOf(const HostRequest& request) {
    std::map<std::string, std::string> headers;
    if (request.headers == nullptr) {
        return headers;
    }
    for (std::uint32_t i = 0; i < request.headerCount; ++i) {
        headers.insert_or_assign(std::string(hostText(request.headers[i].name)),
                                 std::string(hostText(request.headers[i].value)));
    }
    return headers;
}

NamedTexts headerValuesOf(const std::map<std::string, std::string>& headers, const FunctionHttpInfo& info) {
    NamedTexts values;
    if (headers.empty()) {
        return values;
    }
    const auto& parameters = info.function().arguments;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const ArgumentLocation location = info.locationOf(i);
        if (location != ArgumentLocation::Any && location != ArgumentLocation::Header) {
            continue;
        }
        if (const auto it = headers.find(asciiLowerCopy(parameters[i].name)); it != headers.end()) {
            values.set(parameters[i].name, it->second);
        }
    }
    return values;
}

} // namespace kiv
