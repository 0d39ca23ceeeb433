// Marks a function as taking a printf-style format, so that the compiler checks every call's
// arguments against it. `formatIndex` and `firstArgument` count parameters from 1 (2 in member
// functions, where the object comes first). Goes in front of the declaration.
#pragma once

#define KIV_PRINTF_CHECKED(formatIndex, firstArgument) [[gnu::format(printf, formatIndex, firstArgument)]]
