// The per-user settings file of the POSIX build as a user, another version
// or a crash may leave it: any text, asked for any key and value name. The
// reader must answer, never throw, and call what it cannot use missing or
// of another type.
#include <cstdint>
#include <string>

#include "check.h"
#include "platform/posix/kvstore.h"

using namespace vz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // text NUL key NUL name; without NULs the settings' own key and names.
  std::string all(reinterpret_cast<const char*>(data), size);
  std::string text = all, key = "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\", name = "ShredCount";
  std::size_t a = all.find('\0');
  if (a != std::string::npos) {
    text = all.substr(0, a);
    std::size_t b = all.find('\0', a + 1);
    key = all.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
    if (b != std::string::npos) name = all.substr(b + 1);
  }
  for (const std::string& n : {name, std::string("ShowIndicator"), std::string("")}) {
    KvValue v = posix::KvReadFromText(text, key, n);
    if (v.type != KvType::String) FUZZ_CHECK(v.text.empty());
    if (v.type != KvType::Dword) FUZZ_CHECK(v.dword == 0);
  }
  return 0;
}
