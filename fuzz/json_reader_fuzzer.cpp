// Feeds arbitrary text to the JSON reader and checks it against RapidJSON's default
// (recursive) reader: both accept the same texts and report the same error and offset.
// libFuzzer's inputs are short, so the recursive reader's stack is never at risk here.
#include "value/json_reader.h"

#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    kiv::ConversionResult result = kiv::parseJson(text);

    text = text.substr(0, text.find('\0'));
    rapidjson::MemoryStream stream(text.data(), text.size());
    rapidjson::Reader reader;
    rapidjson::BaseReaderHandler<> ignore;
    const rapidjson::ParseResult expected = reader.Parse(stream, ignore);
    std::string expectedText;
    if (expected.IsError()) {
        expectedText = std::string("Error: ") + rapidjson::GetParseError_En(expected.Code()) + " at offset " +
                       std::to_string(expected.Offset()) + ".";
    }
    if (result.ok() == expected.IsError() || result.errorText() != expectedText) {
        std::abort();
    }
    return 0;
}
