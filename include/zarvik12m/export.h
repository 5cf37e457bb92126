#pragma once

// What differs between the systems in the public declarations: how the
// exports are marked and the file name callers load.
//
// ZARVIK12M_EXPORT marks the seven exported functions. Windows: exported
// from zarvik12m.dll while it is built (ZARVIK12M_BUILDING_LIBRARY),
// imported by callers that link its import library; the DLL's export table
// holds these names and nothing else. Elsewhere: default visibility in a
// library built with hidden visibility and a version script, so these
// names are the only symbols a caller can bind.
//
// ZARVIK12M_SHARED_CLASS marks a class whose type information callers
// must share with the library, so that they catch what it throws.
//
// ZARVIK12M_LIBRARY_FILE_NAME is the file under which callers load the
// library: zarvik12m.dll on Windows; elsewhere its SONAME, which the
// runtime package ships (the bare libzarvik12m.so is for linking).

#if defined(_WIN32)
#if defined(ZARVIK12M_BUILDING_LIBRARY)
#define ZARVIK12M_EXPORT extern "C" __declspec(dllexport)
#else
#define ZARVIK12M_EXPORT extern "C" __declspec(dllimport)
#endif
// The C++ runtime compares type information by name on Windows.
#define ZARVIK12M_SHARED_CLASS
#define ZARVIK12M_LIBRARY_FILE_NAME "zarvik12m.dll"
#else
#define ZARVIK12M_EXPORT extern "C" __attribute__((visibility("default")))
#define ZARVIK12M_SHARED_CLASS __attribute__((visibility("default")))
#define ZARVIK12M_LIBRARY_FILE_NAME "libzarvik12m.so.1"
#endif
