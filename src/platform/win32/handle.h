// A kernel handle that closes itself.
#pragma once

#include <windows.h>

#include <memory>

namespace vz::win32 {

struct HandleCloser {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

}  // namespace vz::win32
