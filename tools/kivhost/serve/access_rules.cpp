#include "kivhost/serve/access_rules.h"

#include <algorithm>
#include <cctype>

namespace kiv::kivhost {
namespace {

std::string lowered(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool contains(const std::vector<std::string>& list, std::string_view item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

bool changesState(std::string_view method) {
    return method == "PUT" || method == "POST" || method == "PATCH" || method == "DELETE";
}

bool isReadableType(std::string_view contentType) {
    std::string type = lowered(contentType.substr(0, contentType.find(';')));
    while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) {
        type.pop_back();
    }
    // None of these is a type a page may send without a preflight, which the listed origins
    // alone pass.
    const bool suffixed =
        type.starts_with("application/") && (type.ends_with("+json") || type.ends_with("+yaml"));
    return suffixed || type == "application/json" || type == "application/yaml" ||
           type == "application/x-yaml" || type == "text/yaml";
}

AccessRules::AccessRules(AccessOptions options) : options_(std::move(options)) {
    for (std::string& origin : options_.origins) {
        origin = lowered(origin);
        while (origin.ends_with("/")) {
            origin.pop_back();
        }
    }
}

void AccessRules::setPort(int port) {
    ownHosts_.clear();
    std::vector<std::string> names = {"127.0.0.1", "localhost", "[::1]"};
    names.insert(names.end(), options_.hosts.begin(), options_.hosts.end());
    for (const std::string& name : names) {
        ownHosts_.push_back(lowered(name) + ":" + std::to_string(port));
    }
}

bool AccessRules::isOwnHost(std::string_view host) const {
    return contains(ownHosts_, lowered(host));
}

bool AccessRules::isOwnOrigin(std::string_view origin) const {
    const std::string lower = lowered(origin);
    return lower.starts_with("http://") && isOwnHost(std::string_view(lower).substr(7));
}

bool AccessRules::isListedOrigin(std::string_view origin) const {
    return contains(options_.origins, lowered(origin));
}

AccessVerdict AccessRules::check(const RequestOrigin& request) const {
    if (!isOwnHost(request.host)) {
        return {421, "This server answers only under its own address, such as 127.0.0.1 with its port; add "
                     "other host names with --allow-host."};
    }
    const bool listed = !request.origin.empty() && isListedOrigin(request.origin);
    const bool own = !request.origin.empty() && isOwnOrigin(request.origin);
    if (changesState(request.method)) {
        // Browsers send Origin with every request that changes state; a Sec-Fetch-Site other
        // than same-origin without an Origin is a browser that hid it.
        const bool foreign = request.origin.empty()
                                 ? !request.fetchSite.empty() && request.fetchSite != "same-origin" &&
                                       request.fetchSite != "none"
                                 : !own && !listed;
        if (foreign) {
            return {403, "Requests that change state are taken only from this server's own pages and from "
                         "origins named with --allow-origin."};
        }
        // A browser's body must be JSON or YAML: the types a page may send without a preflight
        // (forms, text/plain) are refused. Command-line clients send no Origin; their bodies are
        // read whatever type they name.
        if (!request.origin.empty() && request.hasBody && !isReadableType(request.contentType)) {
            return {415, "Send the body as application/json, or a scenario to /kivhost/reset as "
                         "application/yaml."};
        }
    }
    return {0, {}, listed && !own};
}

} // namespace kiv::kivhost
