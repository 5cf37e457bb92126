#pragma once

// Marks the functions that libzarvik12m.so exports. The library is built
// with hidden visibility and a version script, so these names are the only
// symbols a caller can bind.
#define ZARVIK12M_EXPORT extern "C" __attribute__((visibility("default")))
