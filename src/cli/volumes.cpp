// `vaporizer volumes`: each drive letter with its root, type and store, and
// what its medium tells about overwriting in place, with the evidence.
#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/paths.h"
#include "common/text.h"
#include "engine/medium_verdict.h"
#include "platform/platform.h"
#include "store/own_store.h"
#include "store/store.h"

#ifndef _WIN32
#include "platform/posix/volumes.h"
#endif

namespace vz::cli {
namespace {

using json = nlohmann::ordered_json;

const char* AnswerName(Answer a) { return a == Answer::Yes ? "yes" : a == Answer::No ? "no" : "unknown"; }

std::string StoreText(char letter) {
  if (!Plat().CarriesStore(letter, nullptr)) {
#ifndef _WIN32
    for (const auto& v : posix::Volumes())
      if (v.letter == letter && !v.noStore.empty())
        return "no store for you: " + Printable(v.noStore) + "; items sent from here stay where they are";
#endif
    return "no store: items sent from here are vaporized at once";
  }
  const std::string own = StoreDirOf(letter);
  if (!Exists(own)) return "store " + Shown(own) + " not created yet";
  std::string why = StoreProblem(letter);
  if (!why.empty()) return "store " + Shown(own) + " not used: " + why;
  auto records = ReadIndex(letter);
  std::size_t total = records ? records->size() : 0, damaged = 0;
  if (records)
    for (const auto& r : *records) damaged += r.Sound() ? 0 : 1;
  return "store " + Shown(StoreDirOf(letter)) + " (" + std::to_string(total) + " records" +
         (damaged ? ", " + std::to_string(damaged) + " damaged" : std::string()) + ")";
}

// Left-aligned in a column, and at least two blanks before the next.
std::string Column(const std::string& s, std::size_t width) {
  std::size_t used = DisplayWidth(s);
  return s + std::string(used + 2 > width ? 2 : width - used, ' ');
}

// What made it a drive and its type, where the system tells more than the
// type: the home folder, or the file system mounted there.
std::string KindText(char letter) {
#ifndef _WIN32
  for (const auto& v : posix::Volumes())
    if (v.letter == letter) return v.kindWhy;
#else
  (void)letter;
#endif
  return {};
}

json FactsJson(const MediumFacts& m) {
  json j = {{"where", m.where}};
  const std::pair<const char*, const Fact*> facts[] = {
      {"fileSystem", &m.fileSystem}, {"dataJournal", &m.dataJournal}, {"compression", &m.compression},
      {"noDataCow", &m.noDataCow},   {"device", &m.device},           {"spinning", &m.spinning},
      {"trim", &m.trim},             {"discards", &m.discards},       {"discardOnFree", &m.discardOnFree},
      {"removable", &m.removable},   {"virtualDisk", &m.virtualDisk},
      {"snapshots", &m.snapshots},   {"thin", &m.thin},               {"encrypted", &m.encrypted}};
  for (const auto& [name, f] : facts) {
    if (f->evidence.empty()) continue;  // not a point on this system
    json p = {{"answer", AnswerName(f->answer)}, {"evidence", f->evidence}};
    if (!f->value.empty()) p["value"] = f->value;
    j[name] = p;
  }
  if (!m.layers.empty()) j["layers"] = m.layers;
  if (!m.backing.empty()) j["beneath"] = FactsJson(m.backing.front());
  return j;
}

// Whether freed blocks can be handed back to the device, and how.
std::string DiscardText(const MediumFacts& m) {
  if (m.discards.answer == Answer::No) return "no: the device takes no discards (" + m.discards.evidence + ")";
  std::string s = m.discards.answer == Answer::Yes ? "yes, the device takes discards (" + m.discards.evidence + ")"
                                                   : "unknown (" + m.discards.evidence + ")";
  if (m.discardOnFree.answer == Answer::Yes) return s + "; freed blocks are passed on at once";
  if (m.discardOnFree.answer == Answer::No) return s + "; freed blocks reach it by the volume trim after vaporizing";
  return s;
}

json VerdictJson(const Verdict& v) {
  json reasons = json::array();
  for (const auto& r : v.reasons) reasons.push_back({{"level", ReachText(r.level)}, {"text", r.text}});
  return {{"overwriteInPlace", ReachText(v.reach)}, {"why", v.why}, {"reasons", reasons}, {"advice", v.advice}};
}

// "ext4 on vda: spinning disk, TRIM, virtual disk (virtio_blk)".
std::string Summary(const MediumFacts& m) {
  std::string s = m.fileSystem.value.empty() ? "unknown file system"
                  : m.fileSystem.value + (m.fileSystem.answer == Answer::Yes ? "" : " (unconfirmed)");
  if (!m.device.value.empty()) s += " on " + m.device.value;
  if (!m.backing.empty()) return s + ", a loop device over " + m.backing.front().where + " (" + Summary(m.backing.front()) + ")";
  std::vector<std::string> parts;
  if (m.dataJournal.answer == Answer::Yes) parts.push_back("data=journal");
  if (m.compression.answer == Answer::Yes) parts.push_back("compressed (" + m.compression.value + ")");
  parts.push_back(m.spinning.answer == Answer::Yes  ? "spinning disk"
                  : m.spinning.answer == Answer::No ? "solid state or flash"
                                                    : "kind of device unknown");
  if (m.trim.answer == Answer::Yes) parts.push_back("TRIM");
  if (m.discards.answer == Answer::Yes) parts.push_back("accepts discards");
  if (m.removable.answer == Answer::Yes) parts.push_back("removable");
  if (m.virtualDisk.answer == Answer::Yes) parts.push_back("virtual disk (" + m.virtualDisk.value + ")");
  if (m.encrypted.answer == Answer::Yes) parts.push_back("encrypted (" + m.encrypted.value + ")");
  if (m.snapshots.answer == Answer::Yes) parts.push_back("snapshots");
  for (std::size_t i = 0; i < parts.size(); ++i) s += (i == 0 ? ": " : ", ") + parts[i];
  return s;
}

}  // namespace

int Volumes(bool asJson) {
  std::uint32_t mask = Plat().LogicalDriveMask();
#ifndef _WIN32
  if (!asJson)
    std::cout << (std::getenv("VAPORIZER_VOLUMES") ? "From VAPORIZER_VOLUMES:\n"
                                                   : "Your home folder and the mounted file systems (VAPORIZER_VOLUMES "
                                                     "replaces them):\n");
#endif
  json all = json::array();
  for (int i = 0; i < 26; ++i) {
    if (!(mask & (1u << i))) continue;
    char letter = static_cast<char>('A' + i);
    std::string root = std::string(1, letter) + ":\\";
    std::string type = DriveTypeName(Plat().DriveTypeOf(letter)), store = StoreText(letter), kind = KindText(letter);
    MediumFacts medium = Plat().MediumOf(root);
    Verdict verdict = JudgeMedium(medium);
    if (asJson) {
      json v = {{"drive", std::string(1, letter) + ":"}, {"type", type}, {"store", store},
                {"medium", FactsJson(medium)}, {"verdict", VerdictJson(verdict)}};
      // As every name the program prints in JSON: lossless when not UTF-8.
      v["root"] = Shown(root);
      if (!IsUtf8(Shown(root))) v["root_percent"] = PercentEncoded(Shown(root));
      if (!kind.empty()) v["kind"] = kind;
#ifndef _WIN32
      if (std::string names = posix::RecordedNamesMayRemain(letter); !names.empty()) v["recordedNames"] = names;
#endif
      all.push_back(std::move(v));
      continue;
    }
    std::cout << "  " << letter << ":  " << Column(Shown(root), 28) << Column(type, 11) << store << "\n";
    if (!kind.empty()) std::cout << "      kind:               " << Printable(kind) << "\n";
#ifndef _WIN32
    for (const auto& v : posix::Volumes())
      for (const auto& at : v.letter == letter ? v.alsoAt : std::vector<std::string>{})
        std::cout << "      also mounted at:    " << Printable(at) << " (the same file system, no drive of its own)\n";
#endif
    std::cout << "      medium:             " << Summary(medium) << "\n"
              << "      overwrite in place: " << ReachText(verdict.reach)
              << (verdict.reach == Reach::Reaches ? " (" : ": ") << verdict.why
              << (verdict.reach == Reach::Reaches ? ")" : "") << "\n";
    std::cout << "      accepts discards:   " << DiscardText(medium) << "\n";
    for (const auto& a : verdict.advice) std::cout << "      advice:             " << a << "\n";
#ifndef _WIN32
    if (std::string names = posix::RecordedNamesMayRemain(letter); !names.empty())
      std::cout << "      recorded names:     " << names << "\n";
#endif
  }
#ifndef _WIN32
  // Drives known by their stores that are not mounted now, and mounts past
  // the last letter.
  for (const auto& a : posix::AbsentDrives()) {
    if (asJson) {
      all.push_back({{"drive", std::string(1, a.letter) + ":"}, {"present", false}, {"root", Printable(a.lastRoot)},
                     {"store", kDriveNotPresent}});
      continue;
    }
    std::cout << "  " << a.letter << ":  " << Column(Printable(a.lastRoot), 28) << Column("", 11) << kDriveNotPresent << " (its store was last seen there; its letter stays its own)\n";
  }
  for (const auto& m : posix::UnletteredMounts()) {
    if (asJson) {
      all.push_back({{"drive", nullptr}, {"root", Printable(m)}, {"store", "no letter left: all 26 are in use"}});
      continue;
    }
    std::cout << "  --  " << Printable(m) << ": no letter left for it: all 26 are in use\n";
  }
#endif
  if (asJson) std::cout << all.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
  return kExitDone;
}

}  // namespace vz::cli
