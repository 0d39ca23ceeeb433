// Drives the dispatch entry with arbitrary paths, query strings, headers, host arguments and
// bodies against a few routes with path, query, header and body parameters. Every request
// must be answered with a record that its own release routine frees; on short paths the
// path matcher must also agree with the ECMAScript engine.
#include "binding/binding_declaration.h"
#include "router/path_pattern.h"
#include "router/response_writer.h"
#include "router/router.h"
#include "router/url_template.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <map>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace kiv;

struct Filter {
    Value tags;
    std::vector<std::int32_t> ids;
};

class EchoStream final : public ResponseBodyStream {
  public:
    explicit EchoStream(std::string text) : text_(std::move(text)) {}
    bool read(char* buffer, std::uint32_t* length, std::uint8_t* moreData) override {
        const std::size_t count = std::min<std::size_t>(*length, text_.size());
        std::copy_n(text_.data(), count, buffer);
        text_.erase(0, count);
        *length = static_cast<std::uint32_t>(count);
        *moreData = text_.empty() ? 0 : 1;
        return true;
    }
    std::uint32_t announcedLength() const override { return static_cast<std::uint32_t>(text_.size()); }

  private:
    std::string text_;
};

constexpr std::array<const char*, 5> kTemplates = {"/items/{id}/{+rest}", "/upload{#frag}", "/p/{a}.{b}",
                                                   "/static", "/q/{x}"};

struct Fixture {
    BindingRegistry registry;
    Router router{registry};
    const ApiExport* published = nullptr;

    Fixture() {
        declareStruct<Filter>(registry, {"Filter"}, {{"tags", &Filter::tags}, {"ids", &Filter::ids}});
        using enum ArgumentLocation;
        router
            .addGet(kTemplates[0],
                    [](CallContext& call, const RequestInfo& info, std::int32_t id, std::string rest,
                       bool flag, std::vector<std::int32_t> list, Filter filter, std::string token,
                       Value payload) {
                        call.status = static_cast<std::uint32_t>(id);
                        call.headers[token] = rest;
                        if (flag) {
                            call.setBody(std::make_unique<EchoStream>(info.path));
                        }
                        if (list.size() > 3) {
                            call.fail(400, rest);
                        }
                        payload.member("ids").element(filter.ids.size()).setSigned(id);
                        return payload;
                    })
            .pathArgument("id")
            .pathArgument("rest")
            .argument("flag", Query)
            .argument("list", Any, "", true)
            .argument("filter", Any, "", true)
            .argument("token", Header, "", true)
            .argument("payload", Body, "", true);
        router
            .addPost(kTemplates[1],
                     [](Value body, std::string frag) { return frag.empty() ? body : Value(); })
            .argument("body", Body, "", true)
            .pathArgument("frag");
        router
            .addCustom("PURGE", kTemplates[2],
                       [](std::string a, double b, std::map<std::string, std::int64_t> m,
                          std::vector<std::uint8_t> blob) -> std::vector<std::string> {
                           if (b > 1e300) {
                               throw std::runtime_error(a);
                           }
                           return {a, std::to_string(m.size() + blob.size())};
                       })
            .pathArgument("a")
            .pathArgument("b")
            .argument("m", Any, "", true)
            .argument("blob", Any, "", true);
        router.addRoute(HttpMethod::None, kTemplates[3], [] { return true; });
        router
            .addPut(kTemplates[4],
                    [](const RequestInfo* info, Value x) { return info->arguments.size() + x.size(); })
            .pathArgument("x");
        published = &router.exportApi();
    }
};

// Flat values built from the input; the storage stays until the request is served.
class FlatStore {
  public:
    FlatValue make(FuzzedDataProvider& input, int depth) {
        FlatValue flat{};
        flat.kind = input.ConsumeIntegralInRange<std::uint32_t>(0, 11);
        switch (flat.kind) {
        case KIV_FLAT_BOOL:
        case KIV_FLAT_SIGNED:
        case KIV_FLAT_UNSIGNED:
        case KIV_FLAT_FLOAT:
            flat.a = input.ConsumeIntegral<std::uint32_t>();
            flat.b = input.ConsumeIntegral<std::uint32_t>();
            break;
        case KIV_FLAT_STRING_BORROWED:
        case KIV_FLAT_STRING_OWNED:
        case KIV_FLAT_BLOB_BORROWED:
        case KIV_FLAT_BLOB_OWNED: {
            const std::string& text = texts_.emplace_back(input.ConsumeRandomLengthString(32));
            flat.a = reinterpret_cast<std::uintptr_t>(text.c_str());
            flat.b = static_cast<std::uint32_t>(text.size());
            break;
        }
        case KIV_FLAT_COLLECTION: {
            std::vector<FlatValue>& elements = arrays_.emplace_back();
            const std::size_t count = depth < 3 ? input.ConsumeIntegralInRange<std::size_t>(0, 3) : 0;
            for (std::size_t i = 0; i < count; ++i) {
                elements.push_back(make(input, depth + 1));
            }
            flat.a = reinterpret_cast<std::uintptr_t>(elements.data());
            flat.b = static_cast<std::uint32_t>(elements.size());
            break;
        }
        case KIV_FLAT_STRUCTURE: {
            std::vector<FlatStructureMember>& members = members_.emplace_back();
            const std::size_t count = depth < 3 ? input.ConsumeIntegralInRange<std::size_t>(0, 3) : 0;
            for (std::size_t i = 0; i < count; ++i) {
                FlatStructureMember member{};
                member.key = texts_.emplace_back(input.ConsumeRandomLengthString(8)).c_str();
                member.value = make(input, depth + 1);
                members.push_back(member);
            }
            flat.a = reinterpret_cast<std::uintptr_t>(members.data());
            flat.b = static_cast<std::uint32_t>(members.size());
            break;
        }
        default:
            break;
        }
        return flat;
    }

    const char* text(std::string value) { return texts_.emplace_back(std::move(value)).c_str(); }

  private:
    std::deque<std::string> texts_;
    std::deque<std::vector<FlatValue>> arrays_;
    std::deque<std::vector<FlatStructureMember>> members_;
};

const char* pickName(FuzzedDataProvider& input, FlatStore& store) {
    static constexpr std::array<const char*, 9> kNames = {"token", "Token", "flag",    "list", "filter.ids.0",
                                                          "a",     "body",  "payload", "x"};
    switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0:
        return nullptr;
    case 1:
        return kNames[input.ConsumeIntegralInRange<std::size_t>(0, kNames.size() - 1)];
    default:
        return store.text(input.ConsumeRandomLengthString(12));
    }
}

// On short paths the matcher and std::regex (which recurses per character) must agree.
void compareWithRegex(std::size_t route, const std::string& path) {
    if (path.size() > 64) {
        return;
    }
    static const std::vector<std::regex> expressions = [] {
        std::vector<std::regex> compiled;
        for (const char* pathTemplate : kTemplates) {
            std::vector<PathParameter> parameters;
            compiled.emplace_back(TemplateToRegex(pathTemplate, parameters), std::regex::ECMAScript);
        }
        return compiled;
    }();
    const PathPattern pattern = PathPattern::compile(kTemplates[route]);
    std::vector<std::string_view> captures;
    std::smatch expected;
    const bool matched = pattern.match(path, captures);
    if (matched != std::regex_match(path, expected, expressions[route])) {
        std::abort();
    }
    for (std::size_t i = 0; matched && i < captures.size(); ++i) {
        if (captures[i] != expected[i + 1].str()) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture fixture;
    FuzzedDataProvider input(data, size);
    FlatStore store;

    const auto route = input.ConsumeIntegralInRange<std::size_t>(0, fixture.published->functionCount - 1);
    const auto& record = reinterpret_cast<const HttpFunctionRecord*>(fixture.published->functions)[route];
    HostRequest request{};
    request.context = record.function.context;
    request.method = input.ConsumeIntegralInRange<std::uint32_t>(0, 9);
    request.customMethod = input.ConsumeBool() ? "PURGE" : pickName(input, store);
    const std::size_t prefix = input.ConsumeIntegralInRange<std::size_t>(0, kTemplates.size());
    std::string path =
        prefix < kTemplates.size() ? std::string(kTemplates[prefix]).substr(0, 3) : std::string();
    path += input.ConsumeRandomLengthString(512);
    request.path = input.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : path.c_str();

    std::vector<HostHeader> headers(input.ConsumeIntegralInRange(0, 4));
    for (HostHeader& header : headers) {
        header.name = pickName(input, store);
        header.value = input.ConsumeBool() ? nullptr : store.text(input.ConsumeRandomLengthString(16));
    }
    request.headers = headers.data();
    request.headerCount = static_cast<std::uint32_t>(headers.size());

    std::vector<HostArgument> arguments(input.ConsumeIntegralInRange(0, 3));
    for (HostArgument& argument : arguments) {
        argument.name = pickName(input, store);
        argument.value = store.make(input, 0);
    }
    request.arguments = arguments.data();
    request.argumentCount = static_cast<std::uint32_t>(arguments.size());

    static constexpr std::array<const char*, 6> kTypes = {"application/json",   "application/x-msgpack",
                                                          "application/x-yaml", "APPLICATION/VND.API+JSON; x",
                                                          "text/plain",         nullptr};
    request.contentType = kTypes[input.ConsumeIntegralInRange<std::size_t>(0, kTypes.size() - 1)];
    const bool hasBody = input.ConsumeBool();
    // The body is the rest of the input, exactly: nothing after it may be read.
    std::vector<char> body = input.ConsumeRemainingBytes<char>();
    request.body = hasBody ? body.data() : nullptr;
    request.bodyLength = static_cast<std::uint32_t>(body.size());

    HostResponse response{};
    const HttpDispatchFn dispatch = record.dispatch; // packed fields are read before calls
    dispatch(&response, &request);
    if (response.release != &releaseResponse ||
        (response.result.failed != 0 && response.result.error == nullptr)) {
        std::abort();
    }
    if (response.bodyStream != nullptr) {
        char buffer[16];
        std::uint32_t length = sizeof buffer;
        std::uint8_t more = 0;
        const BodyReadFn readBody = response.readBody;
        const BodyReleaseFn releaseBody = response.releaseBody;
        readBody(response.bodyStream, buffer, &length, &more);
        releaseBody(response.bodyStream);
    }
    const ResponseReleaseFn release = response.release;
    release(&response);

    if (request.path != nullptr) {
        for (std::size_t i = 0; i < kTemplates.size(); ++i) {
            compareWithRegex(i, path);
        }
    }
    return 0;
}
