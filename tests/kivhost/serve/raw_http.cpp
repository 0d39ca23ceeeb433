#include "raw_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kiv::test {

std::string RawAnswer::header(std::string_view name) const {
    const std::string wanted = "\r\n" + std::string(name) + ":";
    for (std::size_t at = head.find("\r\n"); at != std::string::npos; at = head.find("\r\n", at + 2)) {
        if (strncasecmp(head.c_str() + at, wanted.c_str(), wanted.size()) == 0) {
            const std::size_t start = head.find_first_not_of(' ', at + wanted.size());
            return head.substr(start, head.find("\r\n", start) - start);
        }
    }
    return {};
}

RawHttp::RawHttp(int port) {
    socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

RawHttp::~RawHttp() {
    if (socket_ >= 0) {
        ::close(socket_);
    }
}

bool RawHttp::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool RawHttp::fill(std::chrono::steady_clock::time_point until) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    pollfd readable{socket_, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
        return false;
    }
    char buffer[65536];
    const ssize_t got = ::recv(socket_, buffer, sizeof buffer, 0);
    if (got <= 0) {
        return false;
    }
    received_.append(buffer, static_cast<std::size_t>(got));
    return true;
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
