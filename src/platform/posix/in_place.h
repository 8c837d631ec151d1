// Writes that stay where the data was: on btrfs a store folder's files are
// made No_COW (the folder's attribute, which files made in it inherit), so
// that writing over an old index reaches the blocks that held it.
#pragma once

#include <string>

namespace vz::posix {

// Marks a folder so that files made in it are overwritten in place, where
// its file system is copy-on-write by default (btrfs). False, with *why,
// where that is so and the folder could not be marked; true where it was
// or nothing is needed.
bool MarkFolderInPlace(int folder, std::string* why = nullptr);

// For a new, empty file: where it inherited the No_COW attribute, its first
// block is reserved at once, so that its data lie in blocks of its own,
// never inline among the file system's metadata, which is copy-on-write
// whatever the attribute says.
void ReserveInPlace(int file);

// Why the original paths in the index of the store at `store` (a host
// path; it need not exist) may stay readable in freed blocks after they
// are written over; empty where the file system writes them over in place.
std::string NamesMayRemain(const std::string& store);

}  // namespace vz::posix
