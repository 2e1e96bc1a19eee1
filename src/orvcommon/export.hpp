// ORV_API marks what the shared library publishes: the published classes,
// their values and the helpers their headers call. Everything else is built
// with hidden visibility and stays inside the library.
#pragma once

#if defined(_WIN32)
#if defined(ORVCOMMON_BUILDING)
#define ORV_API __declspec(dllexport)
#else
#define ORV_API __declspec(dllimport)
#endif
#else
#define ORV_API __attribute__((visibility("default")))
#endif
