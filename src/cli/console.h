// Where the program's text goes: it is UTF-8 throughout. On Windows a
// console is given UTF-16, so that every name shows whatever the console's
// code page; a pipe or a file gets the UTF-8 bytes. Elsewhere bytes go out
// as they are.
#pragma once

namespace vz::cli {

// Sets standard output and standard error up as above; call it once, first.
void UseUnicodeOutput();

}  // namespace vz::cli
