#include "logging/assertion_report.h"

#include "logging/bounded_text.h"
#include "logging/log_groups.h"
#include "logging/log_message.h"
#include "logging/log_record.h"

namespace kiv {

namespace {

bool present(const char* text) noexcept {
    return text && text[0] != '\0';
}

} // namespace

std::size_t formatAssertionReport(char* out, std::size_t size, const AssertionSite& site) noexcept {
    if (!out || size == 0) {
        return 0;
    }
    BoundedText report(out, size - 1);
    report.append("Assertion failed!\n\n");
    if (present(site.file)) {
        report.append("File: ");
        report.append(site.file);
        report.append('\n');
    }
    if (site.line != 0) {
        report.appendFormat("Line: %ld\n\n", static_cast<long>(site.line));
    }
    if (present(site.function)) {
        report.append("Function: ");
        report.append(site.function);
        report.append("\n\n");
    }
    if (present(site.expression)) {
        report.append("Expression: ");
        report.append(site.expression);
    }
    if (present(site.description)) {
        report.append("\n\nDescription: ");
        report.append(site.description);
    }
    return report.length();
}

void reportAssertion(const AssertionSite& site) noexcept {
    char report[kLogBufferSize];
    formatAssertionReport(report, sizeof report, site);
    LogMessage(LogLevel::Error, kLogGroupDbg, "%s", report);
}

} // namespace kiv
