// A client that writes whatever bytes a test gives it to `kivhost serve` and reads the answer as
// it comes: for the requests no HTTP client library sends (huge header blocks, chunked bodies,
// no Content-Length, a foreign Host).
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kiv::test {

struct RawAnswer {
    int status = 0;
    std::string head;                                // the status line and the header fields
    std::string body;                                // as Content-Length gives it
    std::string header(std::string_view name) const; // a field's value, "" when absent
};

class RawHttp {
  public:
    explicit RawHttp(int port);
    ~RawHttp();
    RawHttp(const RawHttp&) = delete;
    RawHttp& operator=(const RawHttp&) = delete;

    bool connected() const noexcept;
    // The client's own port, which is the remote port of the server's end; 0 when not connected.
    int localPort() const noexcept;
    // False once the server has closed or reset the connection.
    bool send(std::string_view bytes);
    // What came so far once at least `bytes` have, or all that came within `wait`.
    const std::string& receive(std::size_t bytes, std::chrono::milliseconds wait);
    // Whether the text came within `wait` (reading on until it does).
    bool waitFor(std::string_view text, std::chrono::milliseconds wait);
    // Whether the server closed the connection within `wait`, reading (and keeping) what it sent
    // until then.
    bool closedWithin(std::chrono::milliseconds wait);
    // The next answer, or nullopt when none came whole within `wait`.
    std::optional<RawAnswer> answer(std::chrono::milliseconds wait = std::chrono::seconds(10));

  private:
    struct Socket; // Boost.Asio's, kept out of the tests' sight

    bool fill(std::chrono::steady_clock::time_point until);

    std::unique_ptr<Socket> socket_;
    std::string received_;
    bool closed_ = false; // the server closed or reset the connection
};

// "GET /path HTTP/1.1" with a Host of 127.0.0.1:port, the extra header lines (each ending in
// CRLF) and the body with its Content-Length when there is one.
std::string rawRequest(int port, std::string_view method, std::string_view target,
                       std::string_view extraHeaders = {}, std::string_view body = {});

} // namespace kiv::test
