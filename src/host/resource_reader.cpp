#include "host/resource_reader.h"

#include "host/event_payload.h"
#include "value/flat_value.h"

namespace kiv {

bool ResourceReader::readFlat(const FlatValue& data, FlatResult& failure) {
    Value tree;
    if (!flatToValue(data, tree, kResultName, failure)) {
        return false;
    }
    readTree(tree);
    return true;
}

} // namespace kiv
