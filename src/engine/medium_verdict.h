// Whether overwriting a file in place reaches its old data, judged from what
// the medium tells (platform/medium.h): one verdict per volume, and per file
// with the file's own flags, each with its reasons and the advice that fits.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "platform/medium.h"

namespace vz {

enum class Reach { Reaches, DoesNot, Unknown };

struct Reason {
  Reach level = Reach::Unknown;  // DoesNot or Unknown
  std::string text;
};

struct Verdict {
  Reach reach = Reach::Unknown;
  std::string why;              // the reasons of the deciding level, or what makes it reach
  std::vector<Reason> reasons;  // every reason against relying on it
  std::vector<std::string> advice;
  // The file system writes new data to fresh blocks and frees the old ones:
  // only a trim of all its free space reaches them.
  bool writesElsewhere = false;
};

// "reaches the old data", "does not reach the old data", "unknown".
std::string ReachText(Reach r);

// With a file's storage flags the verdict is the file's own.
Verdict JudgeMedium(const MediumFacts& medium, const FileStorage* file = nullptr);

// What the medium tells about one file that is about to be vaporized.
struct FileJudgement {
  std::string warning;  // what the report carries; empty when the overwrite can be relied on
  Verdict verdict;
  std::string volumeId;
  Answer discards = Answer::Unknown;       // the device takes discards
  Answer discardOnFree = Answer::Unknown;  // the file system passes freed blocks on at once
};

// Judges each file with its own flags and the medium of its folder, which
// is asked once per folder.
class OverwriteWarnings {
 public:
  // `open`: the file itself, held open, asked through its handle.
  FileJudgement Judge(const std::string& path, int passes, File* open = nullptr);
  // The warning a vaporize report carries for one file.
  std::string For(const std::string& path, int passes) { return Judge(path, passes).warning; }

 private:
  std::unordered_map<std::string, MediumFacts> byFolder_;
};

}  // namespace vz
