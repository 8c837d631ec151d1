#include "cli/console.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <iostream>
#include <streambuf>
#include <string>

#include "platform/win32/wide.h"

namespace vz::cli {
namespace {

// Writes whole characters to a console with WriteConsoleW; a character
// split between two writes waits for the rest.
class ConsoleBuffer : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : console_(console) {}

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) pending_ += traits_type::to_char_type(c);
    if (pending_.size() >= 4096) Write();
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    pending_.append(s, static_cast<std::size_t>(n));
    if (pending_.size() >= 4096) Write();
    return n;
  }
  int sync() override {
    Write();
    return 0;
  }

 private:
  void Write() {
    // The start of a character at the very end stays for the next write.
    std::size_t end = pending_.size(), back = 0;
    while (back < 3 && back < end && (static_cast<unsigned char>(pending_[end - 1 - back]) & 0xC0) == 0x80) ++back;
    std::size_t cut = end;
    if (back < end && static_cast<unsigned char>(pending_[end - 1 - back]) >= 0xC0) {
      unsigned char lead = static_cast<unsigned char>(pending_[end - 1 - back]);
      std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
      if (back + 1 < need) cut = end - 1 - back;
    }
    std::wstring w = win32::Widen(pending_.substr(0, cut));
    pending_.erase(0, cut);
    for (std::size_t done = 0; done < w.size();) {
      DWORD written = 0;
      DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(w.size() - done, 8192));
      if (!WriteConsoleW(console_, w.data() + done, chunk, &written, nullptr) || written == 0) return;
      done += written;
    }
  }

  HANDLE console_;
  std::string pending_;
};

void Route(std::ostream& stream, DWORD which) {
  HANDLE h = GetStdHandle(which);
  DWORD mode = 0;
  if (h == INVALID_HANDLE_VALUE || !h || !GetConsoleMode(h, &mode)) return;  // a pipe or a file: UTF-8 bytes
  static ConsoleBuffer* buffers[2] = {};
  ConsoleBuffer*& slot = buffers[which == STD_OUTPUT_HANDLE ? 0 : 1];
  if (!slot) slot = new ConsoleBuffer(h);  // lives as long as the program writes
  stream.flush();
  stream.rdbuf(slot);
}

}  // namespace

void UseUnicodeOutput() {
  Route(std::cout, STD_OUTPUT_HANDLE);
  Route(std::cerr, STD_ERROR_HANDLE);
  std::cerr.setf(std::ios::unitbuf);
}

}  // namespace vz::cli

#else

namespace vz::cli {
void UseUnicodeOutput() {}
}  // namespace vz::cli

#endif
