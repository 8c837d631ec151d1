// Small text helpers shared by the core: UTF-8 text (on POSIX the bytes a
// name has), paths in the system's form (C:\Work\a.txt).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vz {

// Every path field the system copies into holds 260 characters with its NUL.
constexpr std::size_t kMaxPath = 260;
// A path in the long form (\\?\ before it) holds 32767 with its NUL.
constexpr std::size_t kMaxLongPath = 32767;

// The length of the UTF-8 sequence that starts at `i`: 1 to 4, or 0 when
// none does (overlong forms, surrogates and values past U+10FFFF are none).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i);
// True when the bytes are UTF-8 text.
bool IsUtf8(std::string_view text);
// The length as Windows counts characters (UTF-16 units): 2 for a
// character past U+FFFF, 1 for any other and for each byte that is no text.
std::size_t SystemLength(std::string_view text);

// The columns a terminal gives the text: 2 for East Asian wide characters
// and emoji, 0 for combining marks and zero-width characters, 1 for any other
// character and for each byte that is no text.
std::size_t DisplayWidth(std::string_view text);

// Trims leading and trailing blanks and control characters (everything up to
// and including the blank), as every reader of an index line does.
std::string Trim(std::string_view s);

// Upper case of ASCII letters; every other byte is left alone so the
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
