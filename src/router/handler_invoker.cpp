#include "router/handler_invoker.h"

#include <new>
#include <stdexcept>

namespace kiv::handler_detail {

std::string_view handlerFailureText() noexcept {
    // Called inside the invoker's catch block, which keeps the exception, and so the text of
    // what(), alive until the message is copied.
    try {
        throw;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    } catch (const std::exception& failure) {
        return failure.what();
    } catch (...) {
        return "Unexpected error while serving the request.";
    }
    return failureTextOfCurrentException();
}

const RequestInfo& emptyRequestInfo() noexcept {
    static const RequestInfo empty;
    return empty;
}

} // namespace kiv::handler_detail
