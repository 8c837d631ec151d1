// Dates and times as the user reads them: the locale's forms where the
// system offers them, else one fixed English form.
#pragma once

#include <string>

#include "common/dostime.h"
#include "platform/platform.h"

namespace vz {

// The fixed forms: "Wednesday, July 28, 1999", "3:58:56 PM", "7/28/1999",
// "3:58 PM". Empty for a time that no calendar has (month 13, hour 24).
std::string FixedDateTimeText(const CivilTime& t, DateStyle style);

// The user's locale form, or the fixed form where there is none.
std::string DateTimeText(const CivilTime& t, DateStyle style);

}  // namespace vz
