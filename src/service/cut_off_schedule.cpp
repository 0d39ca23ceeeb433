#include "service/cut_off_schedule.h"

#include "value/value.h"

namespace kiv {

using Brix::Client::ShutdownLaw::Api::ShutdownLawStatus;

LoginData readLoginData(const Value& packet) noexcept {
    LoginData login;
    login.minutesUntilMidnight = packet["minutesUntilMidnight"].asInteger(0);
    login.minor = packet["minor"].asTruth();
    login.minorShutdownEnforced = packet["minorShutdownEnforced"].asTruth();
    login.minutesUntilShutdown = packet["minutesUntilShutdown"].asInteger(0);
    login.minutesUntilShutdownEnabled = packet["minutesUntilShutdownEnabled"].asTruth();
    return login;
}

std::optional<std::int64_t> chooseCutOffMinutes(const LoginData& login) noexcept {
    if (login.minutesUntilShutdownEnabled && login.minutesUntilShutdown != kNoExplicitCutOff) {
        return login.minutesUntilShutdown;
    }
    if (login.minorShutdownEnforced && login.minor) {
        return login.minutesUntilMidnight;
    }
    return std::nullopt;
}

CutOffSchedule scheduleCutOff(std::int64_t cutOffMinutes) noexcept {
    CutOffSchedule schedule;
    if (cutOffMinutes <= 0) {
        schedule.statusNow = ShutdownLawStatus::CUT_OFF;
        return schedule;
    }
    schedule.cutOffJob = true;
    if (cutOffMinutes > kWarningLeadMinutes) {
        schedule.warningJob = true;
    } else {
        schedule.statusNow = ShutdownLawStatus::WARNING;
    }
    return schedule;
}

} // namespace kiv
