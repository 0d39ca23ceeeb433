#include "kivhost/command/junit_report.h"

#include "kivhost/core/json_text.h"

#include <algorithm>

namespace kiv::kivhost {

std::string xmlEscaped(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : repairUtf8(text)) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&apos;";
            break;
        case '\t':
        case '\n':
        case '\r':
            escaped += "&#" + std::to_string(static_cast<int>(c)) + ";";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                escaped += "\xEF\xBF\xBD";
            } else {
                escaped += c;
            }
        }
    }
    return escaped;
}

void writeJunitReport(std::ostream& out, const std::vector<JunitSuite>& suites) {
    const auto failed = [](const JunitCase& testCase) { return !testCase.failure.empty(); };
    std::size_t tests = 0;
    std::size_t failures = 0;
    std::size_t errors = 0;
    for (const JunitSuite& suite : suites) {
        tests += suite.cases.size() + !suite.error.empty();
        failures += static_cast<std::size_t>(std::count_if(suite.cases.begin(), suite.cases.end(), failed));
        errors += !suite.error.empty();
    }
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuites name=\"kivhost test\" tests=\"" << tests << "\" failures=\"" << failures
        << "\" errors=\"" << errors << "\">\n";
    for (const JunitSuite& suite : suites) {
        out << "  <testsuite name=\"" << xmlEscaped(suite.name) << "\" tests=\""
            << suite.cases.size() + !suite.error.empty() << "\" failures=\""
            << std::count_if(suite.cases.begin(), suite.cases.end(), failed) << "\" errors=\""
            << !suite.error.empty() << "\">\n";
        if (!suite.error.empty()) { // the play itself, as a case that could not be run
            out << "    <testcase classname=\"" << xmlEscaped(suite.name) << "\" name=\"play\">\n"
                << "      <error message=\"" << xmlEscaped(suite.error) << "\"/>\n    </testcase>\n";
        }
        for (const JunitCase& testCase : suite.cases) {
            out << "    <testcase classname=\"" << xmlEscaped(suite.name) << "\" name=\""
                << xmlEscaped(testCase.name) << "\"";
            if (testCase.failure.empty()) {
                out << "/>\n";
                continue;
            }
            out << ">\n      <failure message=\"" << xmlEscaped(testCase.failure)
                << "\"/>\n    </testcase>\n";
        }
        out << "  </testsuite>\n";
    }
    out << "</testsuites>\n";
}

} // namespace kiv::kivhost
