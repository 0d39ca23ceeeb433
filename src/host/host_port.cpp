#include "host/host_port.h"

namespace kiv {

void HostPort::sendRequest(HostResponse& response, const HostRequest& request) const {
    if (HostApi* table = api(); table && table->sendRequest) {
        table->sendRequest(table, &response, &request);
    }
}

void HostPort::sendEvent(const HostEventRecord& event) const {
    if (HostApi* table = api(); table && table->sendEvent) {
        table->sendEvent(table, &event);
    }
}

void HostPort::subscribeEvent(const char* eventName, EventDelivery delivery, std::uint32_t eventKind) const {
    if (HostApi* table = api(); table && table->subscribeEvent) {
        table->subscribeEvent(table, eventName, context(), delivery.callback, delivery.userData, eventKind);
    }
}

void HostPort::unsubscribeEvent(const char* eventName) const {
    if (HostApi* table = api(); table && table->unsubscribeEvent) {
        table->unsubscribeEvent(table, eventName, context());
    }
}

void HostPort::scheduleTimer(const char* jobName, PluginTimerCallbackFn callback, void* userData,
                             double delaySeconds) const {
    if (HostApi* table = api(); table && table->scheduleTimer) {
        table->scheduleTimer(table, jobName, callback, userData, delaySeconds, 0);
    }
}

void HostPort::yieldWhileWaiting(const char* label) const {
    HostApi* table = api();
    if (!table) {
        return;
    }
    if (table->beginWait) {
        table->beginWait(table, label, 0);
    }
    if (table->yieldToHost) {
        table->yieldToHost(table);
    }
    if (table->endWait) {
        table->endWait(table);
    }
}

void HostPort::writeLog(std::uint32_t level, const char* text) const {
    if (HostApi* table = api(); table && table->writeLog) {
        table->writeLog(table, level, text);
    }
}

} // namespace kiv
