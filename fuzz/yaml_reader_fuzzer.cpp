// Feeds arbitrary text to the YAML reader. The sanitizers and libFuzzer's time and memory
// limits do the checking; a failure must carry a message.
#include "value/yaml_reader.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kiv::ConversionResult result =
        kiv::parseYaml(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!result.ok() && result.errorText().empty()) {
        std::abort();
    }
    return 0;
}
