#include "kivhost/command/describe_command.h"

#include "kivhost/command/default_plugin.h"
#include "kivhost/command/route_probes.h"
#include "kivhost/core/event_names.h"
#include "kivhost/core/job_name_table.h"
#include "kivhost/core/json_text.h"
#include "kivhost/core/plugin_host.h"
#include "kivhost/scenario/scenario_player.h"

#include <rapidjson/prettywriter.h>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <variant>

namespace kiv::kivhost {
namespace {

using PrettyWriter = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

// A job as timelines name it; names that differ only in a trailing number are one job, written
// with "{number}" in its place ("kiv-kr-shutdown-law.disable-queue.{number}").
struct ObservedJob {
    std::string name;
    std::vector<std::string> examples; // the first names seen, for a numbered job
};

// What `describe` tells beyond the export: what each function answered to the requests it cannot
// take (by function, in export order), and the jobs the plugin scheduled while it played the
// built-in scenario.
struct ObservedBehaviour {
    std::vector<std::vector<ErrorAnswer>> errorAnswers;
    std::vector<ObservedJob> jobs;
};

void writeText(PrettyWriter& writer, const char* key, std::string_view text) {
    writer.Key(key);
    writeJsonText(writer, text);
}

// "key": [ ... ], each item written by writeItem.
template <class Items, class WriteItem>
void writeArray(PrettyWriter& writer, const char* key, const Items& items, WriteItem&& writeItem) {
    writer.Key(key);
    writer.StartArray();
    for (const auto& item : items) {
        writeItem(item);
    }
    writer.EndArray();
}

void writeTags(PrettyWriter& writer, const std::vector<std::string>& tags) {
    writeArray(writer, "tags", tags, [&](const std::string& tag) { writeJsonText(writer, tag); });
}

// {"kind": "vector", "element": "struct", "name": "Element"}: the element only for vectors and
// maps, the name only when the record gives one.
void writeType(PrettyWriter& writer, const char* key, const TypeReference& type) {
    writer.Key(key);
    writer.StartObject();
    writeText(writer, "kind", typeKindName(type.kind));
    if (type.kind == KIV_TYPE_KIND_VECTOR || type.kind == KIV_TYPE_KIND_MAP) {
        writeText(writer, "element", typeKindName(type.elementKind));
    }
    if (!type.typeName.empty()) {
        writeText(writer, "name", type.typeName);
    }
    writer.EndObject();
}

std::string methodText(const FunctionDescription& function) {
    if (function.method == KIV_HTTP_METHOD_CUSTOM) {
        return function.customMethod;
    }
    if (function.method == KIV_HTTP_METHOD_NONE) {
        return "any";
    }
    return methodName(function.method);
}

// "plugin" for what the plugin declares as its own (tagged "Plugins", as its functions are),
// "framework" for what the framework it is built on declares, so that a UI engineer tells the
// plugin's types apart.
const char* ownerOf(const std::vector<std::string>& tags) {
    return std::find(tags.begin(), tags.end(), "Plugins") != tags.end() ? "plugin" : "framework";
}

void writeErrorAnswers(PrettyWriter& writer, const std::vector<ErrorAnswer>& answers) {
    writeArray(writer, "errors", answers, [&](const ErrorAnswer& answer) {
        writer.StartObject();
        writeText(writer, "request", answer.request);
        writer.Key("status");
        writer.Uint(answer.status);
        writeText(writer, "error", answer.error);
        writer.EndObject();
    });
}

void writeFunction(PrettyWriter& writer, const FunctionDescription& function,
                   const std::vector<ErrorAnswer>& errorAnswers) {
    writer.StartObject();
    writeText(writer, "name", function.name);
    writeText(writer, "method", methodText(function));
    writeText(writer, "path", function.pathTemplate);
    // A resource read with GET is announced, when it changes, under its path's event name: the
    // name a UI subscribes to.
    if (function.method == KIV_HTTP_METHOD_GET && function.pathTemplate.starts_with("/")) {
        writeText(writer, "event", eventNameForPath(function.pathTemplate));
    }
    writeText(writer, "namespace", function.namespaceName);
    writeText(writer, "description", function.description);
    writer.Key("arguments");
    writer.StartArray();
    for (const ArgumentDescription& argument : function.arguments) {
        writer.StartObject();
        writeText(writer, "name", argument.name);
        writeText(writer, "location", argumentLocationName(argument.location));
        writeType(writer, "type", argument.type);
        writer.Key("optional");
        writer.Bool(argument.optional);
        writeText(writer, "description", argument.description);
        writer.EndObject();
    }
    writer.EndArray();
    writeType(writer, "result", function.result);
    writeErrorAnswers(writer, errorAnswers);
    if (!function.asyncTypeName.empty()) {
        writeText(writer, "asyncType", function.asyncTypeName);
    }
    writer.Key("threadSafe");
    writer.Bool(function.threadSafe);
    writeTags(writer, function.tags);
    writer.EndObject();
}

void writeTypeDescription(PrettyWriter& writer, const TypeDescription& type) {
    writer.StartObject();
    writeText(writer, "name", type.name);
    writeText(writer, "owner", ownerOf(type.tags));
    writeText(writer, "namespace", type.namespaceName);
    writer.Key("size");
    writer.Uint(type.nativeSize);
    writeText(writer, "description", type.description);
    writeTags(writer, type.tags);
    if (!type.fields.empty() || type.enumValues.empty()) {
        writeArray(writer, "fields", type.fields, [&](const FieldDescription& field) {
            writer.StartObject();
            writeText(writer, "name", field.name);
            writeType(writer, "type", field.type);
            writer.Key("offset");
            writer.Uint(field.offset);
            writer.Key("optional");
            writer.Bool(field.optional);
            writeText(writer, "description", field.description);
            writer.EndObject();
        });
    } else {
        // In value order, as a status reads from its lowest to its highest.
        std::vector<EnumValueDescription> values = type.enumValues;
        std::stable_sort(
            values.begin(), values.end(),
            [](const EnumValueDescription& a, const EnumValueDescription& b) { return a.value < b.value; });
        writeArray(writer, "values", values, [&](const EnumValueDescription& value) {
            writer.StartObject();
            writeText(writer, "name", value.name);
            writer.Key("value");
            writer.Int(value.value);
            writeText(writer, "description", value.description);
            writer.EndObject();
        });
    }
    writer.EndObject();
}

void writeEvent(PrettyWriter& writer, const EventDescription& event) {
    writer.StartObject();
    writeText(writer, "name", event.name);
    writeText(writer, "owner", ownerOf(event.tags));
    writeText(writer, "namespace", event.namespaceName);
    writeText(writer, "payload", event.payloadTypeName);
    writeText(writer, "description", event.description);
    writeTags(writer, event.tags);
    writer.EndObject();
}

// Each function with its name, method, path template (and for a GET, the event a change of the
// resource comes under), arguments (location and type) and result type; each type with its owner
// and its fields or enum values; each event with its owner and payload type.
void writeJobs(PrettyWriter& writer, const std::vector<ObservedJob>& jobs) {
    writeArray(writer, "jobs", jobs, [&](const ObservedJob& job) {
        writer.StartObject();
        writeText(writer, "name", job.name);
        if (!job.examples.empty()) {
            writeArray(writer, "examples", job.examples,
                       [&](const std::string& example) { writeJsonText(writer, example); });
        }
        writer.EndObject();
    });
}

std::string describeApi(const PluginInfo& plugin, const ObservedBehaviour& observed) {
    rapidjson::StringBuffer buffer;
    PrettyWriter writer(buffer);
    writer.SetIndent(' ', 2);
    writer.StartObject();
    writeText(writer, "plugin", plugin.shortName);
    writeText(writer, "version", plugin.apiVersion.text());
    writer.Key("functions");
    writer.StartArray();
    for (std::size_t i = 0; i < plugin.api.functions.size(); ++i) {
        writeFunction(writer, plugin.api.functions[i],
                      i < observed.errorAnswers.size() ? observed.errorAnswers[i]
                                                       : std::vector<ErrorAnswer>{});
    }
    writer.EndArray();
    writeArray(writer, "types", plugin.api.types,
               [&](const TypeDescription& type) { writeTypeDescription(writer, type); });
    writeArray(writer, "events", plugin.api.events,
               [&](const EventDescription& event) { writeEvent(writer, event); });
    writeJobs(writer, observed.jobs);
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

// The jobs scheduled while the built-in scenario plays, in the order first scheduled.
std::vector<ObservedJob> jobsScheduledInPlay(const std::filesystem::path& plugin) {
    constexpr std::size_t kExamples = 3;
    const Scenario scenario =
        readScenarioText(defaultScenarioText(), ScenarioFormat::Yaml, "the built-in default scenario");
    PlayOptions options;
    options.plugin = plugin;
    JobNameTable names;
    std::unordered_map<std::string, std::size_t> jobOfStem;
    std::vector<ObservedJob> jobs;
    playScenario(scenario, options, [&](const Happening& happening) {
        const auto* scheduled = std::get_if<TimerScheduled>(&happening.detail);
        if (!scheduled) {
            return;
        }
        const JobName name = names.intern(scheduled->name);
        const std::string pattern = names.stem(name) + (JobNameTable::isNumbered(name) ? "{number}" : "");
        const auto [entry, added] = jobOfStem.try_emplace(pattern, jobs.size());
        if (added) {
            jobs.push_back({pattern, {}});
        }
        std::vector<std::string>& examples = jobs[entry->second].examples;
        if (JobNameTable::isNumbered(name) && examples.size() < kExamples &&
            std::find(examples.begin(), examples.end(), scheduled->name) == examples.end()) {
            examples.push_back(scheduled->name);
        }
    });
    return jobs;
}

} // namespace

int describeCommand(const std::optional<std::filesystem::path>& plugin, std::ostream& out) {
    const std::filesystem::path library = plugin.value_or(defaultPluginLibrary());
    ObservedBehaviour observed;
    PluginInfo info;
    {
        PluginHost host;
        const PluginId id = host.load(library);
        info = host.plugin(id);
        // A plugin that does not initialise answers nothing worth listing.
        if (host.initialize(id)) {
            for (const FunctionDescription& function : info.api.functions) {
                observed.errorAnswers.push_back(probeErrorAnswers(host, function));
            }
        }
        host.unload(id);
    }
    observed.jobs = jobsScheduledInPlay(library);
    out << describeApi(info, observed) << '\n';
    return 0;
}

} // namespace kiv::kivhost
