// A report told in a few lines, for a message box after an operation from
// the shell: the items that were skipped or failed and why, worded as the
// companion program prints them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/report.h"

namespace vz {

// The report's notes, then "2 items could not be restored:" and one line
// per item ("failed: PATH: WHY"), then the items done with a warning ("1 item was vaporized with a
// warning:", "warning: PATH: WARNING"), at most maxLines lines in all and
// then "...and N more."; a very long path is shortened in its middle. Items
// the user chose to keep do not count. Empty when every item was done
// without a warning or kept and there is no note.
// withWarnings false: the items done with a warning are left out (the
// drives' warnings tell of them).
std::string ProblemText(const Report& report, const std::string& undoneVerb, std::size_t maxLines = 10,
                        bool withWarnings = true);

// The warnings of the items done, one per drive and text, in the order
// first met.
std::vector<DriveWarning> DriveWarnings(const Report& report);
// "C: 1000 items were vaporized with a warning: the overwrite ..."
std::string DriveWarningText(const DriveWarning& w, const std::string& undoneVerb);

// Hands what could not be done and the drives' warnings to the user
// interface when there is any.
void TellProblems(const Report& report, const std::string& undoneVerb);

}  // namespace vz
