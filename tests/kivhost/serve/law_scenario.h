// What the serve tests drive the shutdown-law plugin with: its routes, the control that puts the
// login data packet, and the default scenario's timetable and queues without a login packet.
#pragma once

#include <string>

namespace kiv::test {

inline const std::string kLaw = "/kiv-kr-shutdown-law/v1/";
inline const std::string kLoginControl = "/kivhost/resources/kiv-login/v1/login-data-packet";
inline const std::string kLoginPacket =
    R"({"minor": true, "minorShutdownEnforced": true, "minutesUntilMidnight": 300})";
inline const char* const kNoLoginYet = R"(
resources:
  /kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable: {"450": 120, "420": 100, "830": 60, "-2": 30}
  /kiv-game-queues/v1/queues: [{id: 450}, {id: 420}, {id: 830}, {id: 1090}]
)";

} // namespace kiv::test
