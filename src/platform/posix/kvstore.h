// The per-user key-value store of the POSIX build: the registry's semantics
// (keys, named values, a 32-bit integer type told apart from text) kept in a
// JSON file under $XDG_CONFIG_HOME/vaporizer, replaced atomically.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace vz::posix {

// The program's folder under $XDG_CONFIG_HOME (else ~/.config).
std::string ConfigDir();
// The program's folder under the XDG variable given, else under the home
// folder's subfolder (~/.local/share).
std::string UserDir(const char* variable, const char* underHome);
// Makes the folder and those above it, each new one for the user alone.
bool MakeDirs(const std::string& dir);

std::string KvFilePath();
bool KvOpenKey(const std::string& key, bool create);
KvValue KvRead(const std::string& key, const std::string& name);
bool KvWriteDword(const std::string& key, const std::string& name, std::uint32_t value);
bool KvWriteString(const std::string& key, const std::string& name, const std::string& value);
// Parses a store file's text; anything it cannot use reads as missing.
// Exposed for tests and fuzzing.
KvValue KvReadFromText(const std::string& text, const std::string& key, const std::string& name);

}  // namespace vz::posix
