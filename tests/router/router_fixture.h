// A router over a fresh registry, and requests and responses as a host builds and reads them.
#pragma once

#include "binding/binding_registry.h"
#include "router/request_dispatch.h"
#include "router/router.h"
#include "value/flat_value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kiv::test {

// A request with storage for every text it points at.
struct TestRequest {
    std::uint32_t method = KIV_HTTP_METHOD_GET;
    std::string path;
    std::vector<std::pair<std::string, std::string>> headers;
    std::vector<HostArgument> arguments;
    std::string contentType;
    std::optional<std::string> body;
    std::uintptr_t userData = 0;
    const char* customMethod = nullptr;

    TestRequest& header(std::string name, std::string value) {
        headers.emplace_back(std::move(name), std::move(value));
        return *this;
    }
    // A string argument, by name or (null) by position.
    TestRequest& argument(const char* name, const char* text) {
        HostArgument entry{};
        entry.name = name;
        entry.value.kind = KIV_FLAT_STRING_BORROWED;
        entry.value.a = reinterpret_cast<std::uintptr_t>(text);
        entry.value.b = static_cast<std::uint32_t>(std::strlen(text));
        arguments.push_back(entry);
        return *this;
    }
    TestRequest& withBody(std::string type, std::string bytes) {
        contentType = std::move(type);
        body = std::move(bytes);
        return *this;
    }

    HostRequest record(void* context) {
        hostHeaders.clear();
        for (const auto& [name, value] : headers) {
            hostHeaders.push_back({name.c_str(), value.c_str()});
        }
        HostRequest request{};
        request.method = method;
        request.path = path.c_str();
        request.arguments = arguments.empty() ? nullptr : arguments.data();
        request.argumentCount = static_cast<std::uint32_t>(arguments.size());
        request.context = context;
        request.headers = hostHeaders.empty() ? nullptr : hostHeaders.data();
        request.headerCount = static_cast<std::uint32_t>(hostHeaders.size());
        request.contentType = contentType.c_str();
        request.body = body ? body->data() : nullptr;
        request.bodyLength = body ? static_cast<std::uint32_t>(body->size()) : 0;
        request.userData = userData;
        request.customMethod = customMethod;
        return request;
    }

  private:
    std::vector<HostHeader> hostHeaders;
};

// A response record that its own release routine frees at the end.
class TestResponse {
  public:
    TestResponse() = default;
    ~TestResponse() {
        if (const ResponseReleaseFn release = record_.release; release != nullptr) {
            release(&record_);
        }
    }
    TestResponse(const TestResponse&) = delete;
    TestResponse& operator=(const TestResponse&) = delete;

    HostResponse* get() noexcept { return &record_; }
    const HostResponse& record() const noexcept { return record_; }
    bool failed() const noexcept { return record_.result.failed != 0; }
    std::string error() const { return record_.result.error != nullptr ? record_.result.error : "<null>"; }
    std::uint32_t status() const noexcept { return record_.status; }
    Value value() const {
        Value value;
        FlatResult failure{};
        const FlatValue flat = record_.result.value;
        EXPECT_TRUE(flatToValue(flat, value, "response", failure));
        releaseFlat(failure);
        return value;
    }

  private:
    HostResponse record_{};
};

class RouterFixture : public ::testing::Test {
  protected:
    // The record of a function in a fresh export.
    const HttpFunctionRecord& record(std::string_view name) {
        const ApiExport& published = router.exportApi();
        const auto* records = reinterpret_cast<const HttpFunctionRecord*>(published.functions);
        for (std::uint32_t i = 0; i < published.functionCount; ++i) {
            if (name == records[i].function.name) {
                return records[i];
            }
        }
        ADD_FAILURE() << "no record for " << name;
        static const HttpFunctionRecord none{};
        return none;
    }

    // Calls the function's dispatch entry as the host does; `adjust` may change the record.
    void call(std::string_view name, TestRequest& request, TestResponse& response,
              const std::function<void(HostRequest&)>& adjust = {}) {
        const HttpFunctionRecord& entry = record(name);
        const HttpDispatchFn dispatch = entry.dispatch; // packed field, read before the call
        ASSERT_NE(dispatch, nullptr);
        HostRequest host = request.record(entry.function.context);
        if (adjust) {
            adjust(host);
        }
        dispatch(response.get(), &host);
    }

    BindingRegistry registry;
    Router router{registry};
};

} // namespace kiv::test
