#include "kivhost/command/route_probes.h"

#include <algorithm>
#include <string_view>

namespace kiv::kivhost {
namespace {

// The query argument no function declares.
constexpr std::string_view kUnknownQuery = "?kivhost-probe=1";

struct KindProbes {
    std::uint32_t kind;
    std::string_view ordinary;            // a value the kind takes
    std::vector<std::string_view> probes; // values it may refuse
};

// Strings take any text, so a string path value is never probed.
const std::vector<KindProbes>& kindProbes() {
    static const std::vector<KindProbes> table = {
        {KIV_TYPE_KIND_BOOL, "true", {"x"}},
        {KIV_TYPE_KIND_INT8, "0", {"x", "-1", "128"}},
        {KIV_TYPE_KIND_UINT8, "0", {"x", "-1", "256"}},
        {KIV_TYPE_KIND_INT16, "0", {"x", "-1", "32768"}},
        {KIV_TYPE_KIND_UINT16, "0", {"x", "-1", "65536"}},
        {KIV_TYPE_KIND_INT32, "0", {"x", "-1", "2147483648"}},
        {KIV_TYPE_KIND_UINT32, "0", {"x", "-1", "4294967296"}},
        {KIV_TYPE_KIND_INT64, "0", {"x", "-1", "9223372036854775808"}},
        {KIV_TYPE_KIND_UINT64, "0", {"x", "-1", "18446744073709551616"}},
        {KIV_TYPE_KIND_FLOAT, "0", {"x"}},
        {KIV_TYPE_KIND_DOUBLE, "0", {"x"}},
    };
    return table;
}

const KindProbes* probesOf(std::uint32_t kind) {
    const auto& table = kindProbes();
    const auto found =
        std::find_if(table.begin(), table.end(), [kind](const KindProbes& k) { return k.kind == kind; });
    return found == table.end() ? nullptr : &*found;
}

// One {name}, {+name} or {#name} of a path template, with the text around it.
struct PathParameter {
    std::size_t start = 0;              // of the "{"
    std::size_t end = 0;                // past the "}"
    const KindProbes* probes = nullptr; // null: any text ("a" stands for it)
};

std::vector<PathParameter> pathParameters(const FunctionDescription& function) {
    std::vector<PathParameter> parameters;
    const std::string& path = function.pathTemplate;
    for (std::size_t open = path.find('{'); open != std::string::npos; open = path.find('{', open + 1)) {
        const std::size_t close = path.find('}', open);
        if (close == std::string::npos) {
            break;
        }
        std::string_view name(path.data() + open + 1, close - open - 1);
        if (!name.empty() && (name.front() == '+' || name.front() == '#')) {
            name.remove_prefix(1);
        }
        PathParameter parameter{open, close + 1, nullptr};
        for (const ArgumentDescription& argument : function.arguments) {
            if (argument.name == name) {
                parameter.probes = probesOf(argument.type.kind);
            }
        }
        parameters.push_back(parameter);
        open = close;
    }
    return parameters;
}

// The path with every parameter at its ordinary value but the probed one at `probe`.
std::string pathWith(const std::string& pathTemplate, const std::vector<PathParameter>& parameters,
                     std::size_t probed, std::string_view probe) {
    std::string path;
    std::size_t copied = 0;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const PathParameter& parameter = parameters[i];
        path.append(pathTemplate, copied, parameter.start - copied);
        path += i == probed ? probe : parameter.probes ? parameter.probes->ordinary : std::string_view("a");
        copied = parameter.end;
    }
    path.append(pathTemplate, copied);
    return path;
}

} // namespace

std::vector<ErrorAnswer> probeErrorAnswers(PluginHost& host, const FunctionDescription& function) {
    std::vector<ErrorAnswer> answers;
    if (function.method == KIV_HTTP_METHOD_CUSTOM || !function.pathTemplate.starts_with("/")) {
        return answers;
    }
    // A function that takes every method is asked with GET.
    const std::uint32_t method =
        function.method == KIV_HTTP_METHOD_NONE ? std::uint32_t{KIV_HTTP_METHOD_GET} : function.method;
    const auto ask = [&](const std::string& path) {
        const std::optional<Response> response = host.callFunction(method, path);
        if (response && answeredStatus(*response) >= 400) {
            answers.push_back({std::string(methodName(method)) + " " + path, answeredStatus(*response),
                               response->error.value_or("")});
        }
    };

    const std::vector<PathParameter> parameters = pathParameters(function);
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (parameters[i].probes) {
            for (const std::string_view probe : parameters[i].probes->probes) {
                ask(pathWith(function.pathTemplate, parameters, i, probe));
            }
        }
    }
    ask(pathWith(function.pathTemplate, parameters, parameters.size(), {}) + std::string(kUnknownQuery));
    return answers;
}

} // namespace kiv::kivhost
