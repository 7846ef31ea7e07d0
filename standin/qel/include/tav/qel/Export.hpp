#pragma once
// Symbols of the middleware that cross shared-library boundaries (exception types,
// interfaces whose type identity is compared) keep default visibility even when a
// client compiles with -fvisibility=hidden.
#define QEL_API __attribute__((visibility("default")))
