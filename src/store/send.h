// Sending items to the store: the one road by which files and folders enter
// the Vaporizer. Items on fixed drives move into their own drive's store and
// are recorded (or stay, refused, where their store cannot be used); items on
// drives that keep no store by their kind are vaporized at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/report.h"
#include "store/intake.h"

namespace vz {

struct SendResult {
  // 1 when the path list held at least one entry, whatever then happened.
  std::uint8_t result = 0;
  Report report;
};

// How a send goes.
enum SendFlag : unsigned {
  kSendQuietly = 0,
  // Ask the confirm-send question on what goes to the store (drops; the
  // context menu asks before the call).
  kSendAskFirst = 1u << 0,
  // Update the folder icon at the end.
  kSendRefreshIcon = 1u << 1,
  // The paths come from a listing (the shell's selection, a drop): each
  // names exactly the entry listed, even where Win32 would read its plain
  // form as another. Without it they are read as typed, and one that Win32
  // reads as another name is refused.
  kSendListed = 1u << 2,
};

// How items sent from drives without a store are destroyed at once. The
// store does not reach up into the engine: each program puts the engine's
// batch in here when it starts (VaporizeDirectItems of engine/batch.h). Without
// one such items stay where they are, and the report says so. why: said
// before the caution question (why the drives keep no store).
using DirectVaporizer = Report (*)(const std::vector<IntakeItem>& items, const std::string& why);
void SetDirectVaporizer(DirectVaporizer vaporize);

// paths: full paths of files and folders, in order, taken in through
// TakeIn. Each is moved through the folder that holds it, opened from its
// drive's root without following a link, and only while it is what TakeIn
// found there; a folder that holds another drive's root is not sent. The
// stamp of the day of sending goes on the stored item once it is there. mappedNames: when not null, parallel to paths: the name each item
// is to be recorded under (a drop whose source hands out temporary names).
SendResult SendToStore(const std::vector<std::string>& paths, unsigned flags,
                       const std::vector<std::string>* mappedNames = nullptr);

// The confirm-send question for a selection; true only for Yes.
bool ConfirmSend(const std::vector<std::string>& paths, const std::vector<std::string>* mappedNames);
// Its title and message, by the three cases (one file, one folder, several).
void ConfirmSendTexts(const std::vector<std::string>& paths, const std::vector<std::string>* mappedNames,
                      std::string* title, std::string* message);

// Splits a buffer of NUL-ended paths (an empty one ends the list), reading
// at most count x 260 characters whatever the buffer holds.
std::vector<std::string> SplitPathBuffer(const char* buffer, std::int32_t count);
// The same in 16-bit characters, where a path may be long: at most count x
// 32767 characters are read.
std::vector<std::u16string> SplitPathBufferWide(const char16_t* buffer, std::int32_t count);

// The name map of a drop ("FileNameMap" in 8-bit text, "FileNameMapW" in
// 16-bit): NUL-ended names, an empty one ends the list, at most count x 260
// characters read and never more than the block holds. A trailing double
// quote is dropped from each name.
std::vector<std::string> SplitNameMap(const char* data, std::size_t bytes, std::uint32_t count);
std::vector<std::u16string> SplitNameMapWide(const char16_t* data, std::size_t units, std::uint32_t count);

// The exported entry points' body: split (the 8-bit buffer is in the
// system's code page), ensure the stores, send without a confirmation.
SendResult PrepareAndSend(const char* buffer, std::int32_t count, bool refreshIcon);
SendResult PrepareAndSend(const std::vector<std::string>& paths, bool refreshIcon);

}  // namespace vz
