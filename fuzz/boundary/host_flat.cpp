#include "host_flat.h"

#include "value/flat_value.h"
#include "value/json_reader.h"

#include <algorithm>
#include <cstring>

namespace kiv::fuzzing {
namespace {

// Points `flat` at the element `ref` of `array` with at most the elements that follow it, or at
// nothing (a null pointer that still carries the input's count).
template <class Element> void pointInto(FlatValue& flat, std::vector<Element>& array, const GraphNode& plan) {
    if (plan.ref == kNullRef || array.empty()) {
        flat.a = 0;
        flat.b = plan.a;
        return;
    }
    const std::size_t index = plan.ref % array.size();
    flat.a = reinterpret_cast<std::uintptr_t>(array.data() + index);
    flat.b = static_cast<std::uint32_t>(std::min<std::size_t>(plan.a, array.size() - index));
}

} // namespace

HostFlat::HostFlat(const PayloadPlan& payload) {
    switch (payload.kind) {
    case PayloadKind::Json:
        convertJson(payload.json, nullptr, nullptr);
        break;
    case PayloadKind::ResourceEvent:
        convertJson(payload.json, &payload.uri, &payload.eventType);
        break;
    case PayloadKind::Graph:
        buildGraph(payload.graph);
        break;
    }
}

HostFlat::HostFlat(const GraphPlan& graph) {
    buildGraph(graph);
}

HostFlat::~HostFlat() {
    if (converted_) {
        releaseFlat(root_);
    }
}

void HostFlat::convertJson(const std::string& json, const std::string* uri, const std::string* eventType) {
    ConversionResult parsed = parseJson(json);
    Value data = parsed.ok() ? std::move(parsed.value()) : Value();
    Value value;
    if (uri != nullptr) {
        value.member("uri").setString(*uri);
        value.member("eventType").setString(*eventType);
        value.member("data") = std::move(data);
    } else {
        value = std::move(data);
    }
    converted_ = valueToFlat(value, root_, nullptr);
}

const char* HostFlat::textAt(std::uint16_t offset) const noexcept {
    return texts_.data() + offset % (texts_.size() + 1); // the last offset is the terminator's
}

FlatValue HostFlat::node(const GraphNode& plan) {
    FlatValue flat{plan.kind, plan.a, plan.b};
    switch (plan.kind) {
    case KIV_FLAT_STRING_BORROWED:
    case KIV_FLAT_STRING_OWNED:
        flat.a = reinterpret_cast<std::uintptr_t>(textAt(plan.ref));
        flat.b = plan.a; // the length word, true or not: the terminator ends the text either way
        break;
    case KIV_FLAT_BLOB_BORROWED:
    case KIV_FLAT_BLOB_OWNED: {
        const char* bytes = textAt(plan.ref);
        flat.a = reinterpret_cast<std::uintptr_t>(bytes);
        flat.b =
            static_cast<std::uint32_t>(std::min<std::size_t>(plan.a, texts_.data() + texts_.size() - bytes));
        break;
    }
    case KIV_FLAT_COLLECTION:
        pointInto(flat, nodes_, plan);
        break;
    case KIV_FLAT_STRUCTURE:
        pointInto(flat, members_, plan);
        break;
    default:
        break;
    }
    return flat;
}

void HostFlat::buildGraph(const GraphPlan& graph) {
    texts_ = graph.texts; // std::string keeps a terminator after the last byte
    // Every array has its size before any pointer into it is taken.
    nodes_.resize(std::max<std::size_t>(graph.nodes.size(), 1));
    members_.resize(graph.members.size());
    for (std::size_t i = 0; i < graph.nodes.size(); ++i) {
        nodes_[i] = node(graph.nodes[i]);
    }
    for (std::size_t i = 0; i < graph.members.size(); ++i) {
        const GraphMember& plan = graph.members[i];
        FlatStructureMember& member = members_[i];
        member.key = plan.key == kNullRef ? nullptr : textAt(plan.key);
        const FlatValue value = node(plan.value);
        std::memcpy(&member.value, &value, sizeof value);
        member.keyOwned = plan.keyOwned;
    }
    root_ = nodes_.front();
    if (graph.chainLevels > 0) {
        chain_.resize(graph.chainLevels);
        for (std::size_t level = 0; level < chain_.size(); ++level) {
            const FlatValue* next = level + 1 < chain_.size() ? &chain_[level + 1] : nodes_.data();
            chain_[level] = FlatValue{KIV_FLAT_COLLECTION, reinterpret_cast<std::uintptr_t>(next), 1};
        }
        root_ = chain_.front();
    }
}

} // namespace kiv::fuzzing
