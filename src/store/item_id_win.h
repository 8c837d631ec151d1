// Item identifiers as the shell hands them around: the classic layout's
// text in the ANSI code page, identifiers read from the shell's pointers
// and made with its allocator.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <optional>

#include "store/item_id.h"

namespace vz::win32 {

// Core text to and from the ANSI code page, exactly or not at all.
const ClassicText& AnsiItemText();

// A stored item's identifier handed in by the shell, of either layout;
// nothing for anything else.
std::optional<ShredItemId> ReadItemId(PCUITEMID_CHILD id);

// A new identifier from the allocator: S_OK; S_FALSE and null when the item
// fits no layout; E_OUTOFMEMORY.
HRESULT NewItemId(const ShredItemId& item, IMalloc* allocator, PITEMID_CHILD* out);

}  // namespace vz::win32
