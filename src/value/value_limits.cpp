#include "value/value_limits.h"

#include "format/message_format.h"

namespace kiv {

void throwCollectionTooLarge() {
    throw ValueTooLarge(formatMessage("The value is too large: a collection holds at most %1 elements.",
                                      {kMaxCollectionSize}));
}

void throwTextTooLarge() {
    throw ValueTooLarge(
        formatMessage("The value is too large: a text holds at most %1 bytes.", {kMaxTextSize}));
}

} // namespace kiv
