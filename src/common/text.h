// Small text helpers shared by the core: single-byte strings in the system
// code page, paths in the system's form (C:\Work\a.txt).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vz {

// Every path field the system copies into holds 260 characters with its NUL.
constexpr std::size_t kMaxPath = 260;

// Trims leading and trailing blanks and control characters (everything up to
// and including the blank), as every reader of an index line does.
std::string Trim(std::string_view s);

// Upper case of single-byte text; letters beyond ASCII are left alone so the
// result never depends on the process locale.
std::string ToUpper(std::string_view s);
char ToUpperChar(char c);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view s, std::string_view prefix);

// The part after the last backslash or colon.
std::string FileNamePart(std::string_view path);
// The part up to and including the last backslash; empty without one.
std::string FolderPart(std::string_view path);
// The extension of the name part, from its last dot (dot included); empty
// when the name has none.
std::string ExtensionOf(std::string_view path);
// Adds a trailing backslash unless there is one already.
std::string WithTrailingBackslash(std::string_view path);
std::string WithoutTrailingBackslash(std::string_view path);

// Splits text into lines ended by CR, LF or CR LF; a last line without an
// ending counts; nothing else is dropped.
std::vector<std::string> SplitLines(std::string_view text);

// Decimal text of a signed number, no separators.
std::string ToDecimal(std::int64_t n);

}  // namespace vz
