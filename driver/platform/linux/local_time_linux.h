#pragma once

#include <string>

#include <locale.h>  // NOLINT(modernize-deprecated-headers): POSIX locale_t

#include "driver/platform/local_time.h"

namespace zarvik12m {

// LocalDateTimeText in the given locale, which must carry LC_TIME.
TLocalTimeText LocalDateTimeText(const TLocalTime& time, bool withTime, locale_t timeLocale);

}  // namespace zarvik12m
