// What an answer or a resource change is read into, from either form it comes in: a tree (an
// event's data, or a streamed body once parsed) or the host's flat record of an answer. A reader
// of a large answer reads the record straight away instead of through a tree made of it first.
#pragma once

#include "kiv/plugin_abi.h"

namespace kiv {

class Value;

class ResourceReader {
  public:
    virtual void readTree(const Value& data) = 0;
    // Reads the host's flat record, by default through the tree flatToValue makes of it. On
    // failure the message goes into `failure`, false returns and nothing has been read.
    [[nodiscard]] virtual bool readFlat(const FlatValue& data, FlatResult& failure);

  protected:
    ~ResourceReader() = default;
};

} // namespace kiv
