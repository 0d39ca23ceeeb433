#include "raw_http.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/string.hpp>

#include <array>
#include <cstdlib>

namespace kiv::test {

namespace net = boost::asio;
using tcp = net::ip::tcp;

struct RawHttp::Socket {
    net::io_context io;
    tcp::socket socket{io};
    std::array<char, 65536> buffer;
};

std::string RawAnswer::header(std::string_view name) const {
    const std::string wanted = "\r\n" + std::string(name) + ":";
    for (std::size_t at = head.find("\r\n"); at != std::string::npos; at = head.find("\r\n", at + 2)) {
        if (boost::beast::iequals(std::string_view(head).substr(at, wanted.size()), wanted)) {
            const std::size_t start = head.find_first_not_of(' ', at + wanted.size());
            return head.substr(start, head.find("\r\n", start) - start);
        }
    }
    return {};
}

RawHttp::RawHttp(int port) : socket_(std::make_unique<Socket>()) {
    boost::system::error_code failed;
    socket_->socket.connect({net::ip::address_v4::loopback(), static_cast<unsigned short>(port)}, failed);
    if (failed) {
        socket_->socket.close(failed);
    }
}

RawHttp::~RawHttp() = default;

bool RawHttp::connected() const noexcept {
    return socket_->socket.is_open();
}

int RawHttp::localPort() const noexcept {
    boost::system::error_code failed;
    const auto local = socket_->socket.local_endpoint(failed);
    return failed ? 0 : local.port();
}

bool RawHttp::send(std::string_view bytes) {
    boost::system::error_code failed;
    net::write(socket_->socket, net::buffer(bytes.data(), bytes.size()), failed);
    return !failed;
}

// One read, given up at `until`: the socket's own io_context runs until the read completes or the
// time is over, and a read still waiting then is cancelled (what it got meanwhile is kept).
bool RawHttp::fill(std::chrono::steady_clock::time_point until) {
    if (!connected()) {
        return false;
    }
    boost::system::error_code failed = net::error::timed_out;
    std::size_t got = 0;
    socket_->socket.async_read_some(net::buffer(socket_->buffer),
                                    [&](boost::system::error_code error, std::size_t size) {
                                        failed = error;
                                        got = size;
                                    });
    socket_->io.restart();
    socket_->io.run_until(until);
    if (!socket_->io.stopped()) {
        socket_->socket.cancel();
        socket_->io.run();
    }
    received_.append(socket_->buffer.data(), got);
    closed_ = closed_ || failed == net::error::eof || failed == net::error::connection_reset;
    return !failed && got > 0;
}

const std::string& RawHttp::receive(std::size_t bytes, std::chrono::milliseconds wait) {
    const auto until = std::chrono::steady_clock::now() + wait;
    while (received_.size() < bytes && fill(until)) {
    }
    return received_;
}

bool RawHttp::waitFor(std::string_view text, std::chrono::milliseconds wait) {
    const auto until = std::chrono::steady_clock::now() + wait;
    while (received_.find(text) == std::string::npos) {
        if (!fill(until)) {
            return false;
        }
    }
    return true;
}

bool RawHttp::closedWithin(std::chrono::milliseconds wait) {
    const auto until = std::chrono::steady_clock::now() + wait;
    while (!closed_ && fill(until)) {
    }
    return closed_;
}

std::optional<RawAnswer> RawHttp::answer(std::chrono::milliseconds wait) {
    const auto until = std::chrono::steady_clock::now() + wait;
    std::size_t end;
    while ((end = received_.find("\r\n\r\n")) == std::string::npos) {
        if (!fill(until)) {
            return std::nullopt;
        }
    }
    RawAnswer answer;
    answer.head = received_.substr(0, end);
    answer.status = std::atoi(answer.head.c_str() + answer.head.find(' ') + 1);
    const std::size_t length = std::strtoul(answer.header("Content-Length").c_str(), nullptr, 10);
    while (received_.size() < end + 4 + length) {
        if (!fill(until)) {
            return std::nullopt;
        }
    }
    answer.body = received_.substr(end + 4, length);
    received_.erase(0, end + 4 + length);
    return answer;
}

std::string rawRequest(int port, std::string_view method, std::string_view target,
                       std::string_view extraHeaders, std::string_view body) {
    std::string request = std::string(method) + " " + std::string(target) +
                          " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
    request += extraHeaders;
    if (!body.empty()) {
        request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    request += "\r\n";
    request += body;
    return request;
}

} // namespace kiv::test
