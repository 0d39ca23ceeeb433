// KIV_MODULE_EXPORT marks a function that a loadable module exports to the process that loads
// it. Everything else in a module stays hidden; the module's export list names the same function.
#pragma once

#ifdef _WIN32
#define KIV_MODULE_EXPORT __declspec(dllexport)
#else
#define KIV_MODULE_EXPORT __attribute__((visibility("default")))
#endif
