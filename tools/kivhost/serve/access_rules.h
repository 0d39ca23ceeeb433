// Who may talk to `kivhost serve`, a server on loopback that any page in the user's browser can
// reach: the Host header must name the server itself (a page served under another name that
// resolves to 127.0.0.1 is refused, which defeats DNS rebinding), a request that changes state
// must come from the server's own pages or from an origin named with --allow-origin, and only
// those origins get CORS answers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kiv::kivhost {

struct AccessOptions {
    std::vector<std::string> hosts;   // host names served besides 127.0.0.1, localhost and [::1]
    std::vector<std::string> origins; // origins allowed cross-origin, as "http://localhost:5173"
};

// What a request says about where it comes from; empty texts are headers not sent.
struct RequestOrigin {
    std::string_view method;
    std::string_view host;
    std::string_view origin;
    std::string_view fetchSite; // Sec-Fetch-Site
    std::string_view contentType;
    bool hasBody = false;
};

struct AccessVerdict {
    int status = 0; // 0: allowed; else the refusal's status
    std::string reason;
    bool crossOrigin = false; // allowed from a listed origin: the answer carries CORS headers
};

class AccessRules {
  public:
    explicit AccessRules(AccessOptions options);
    // The port the server listens on, which the Host and the server's own origins name.
    void setPort(int port);

    AccessVerdict check(const RequestOrigin& request) const;
    bool isListedOrigin(std::string_view origin) const;

  private:
    bool isOwnHost(std::string_view host) const;
    bool isOwnOrigin(std::string_view origin) const;

    AccessOptions options_;
    std::vector<std::string> ownHosts_; // "name:port", lower case
};

// PUT, POST, PATCH and DELETE: the methods that may change what the server holds.
bool changesState(std::string_view method);
// application/json, application/yaml (also application/x-yaml and text/yaml) or a type ending in
// +json or +yaml, with or without parameters: the body types a page may send.
bool isReadableType(std::string_view contentType);

} // namespace kiv::kivhost
