#include "store/intake.h"

#include <map>

#include "common/drive_path.h"
#include "common/text.h"
#include "platform/platform.h"
#include "settings/policy.h"
#include "store/store.h"

namespace vz {
namespace {

// Why the path an item is to be recorded under cannot be `folder` + the
// mapped name; empty when it can, with *recorded set.
std::string MappedPath(const std::string& path, const std::string& mapped, PathOrigin origin, std::string* recorded) {
  if (mapped.find_first_of("\r\n") != std::string::npos)
    return "the name map gives it a name with a line break, which the index cannot hold";
  std::string name = Trim(mapped);
  if (name.empty()) return {};  // no name given: its own
  if (name == "." || name == ".." || name.find_first_of("\\/:") != std::string::npos)
    return "the name map gives it \"" + name + "\", which is not a plain name";
  std::string candidate = FolderPart(path) + name;
  std::string why;
  auto resolved = Plat().ResolvePath(candidate, origin, &why);
  if (!resolved || !EqualsNoCase(*resolved, candidate) || IsStoreOrInside(*resolved))
    return "the name map gives it \"" + name + "\", which the system would not keep as that name";
  why = UnrecordableReason(candidate);
  if (!why.empty()) return why;
  if (SystemLength(candidate) > kMaxRecordedPath)
    return "the path with its mapped name is too long to be recorded (" + ToDecimal(kMaxRecordedPath) +
           " characters at most)";
  *recorded = candidate;
  return {};
}

// Why an entry resolved to `path` is not taken; empty when it is. The
// drives' types are asked once per letter.
std::string Refusal(const std::string& path, std::map<char, DriveType>& types) {
  if (IsDriveRoot(path)) return "a drive's root is never sent or vaporized";
  if (!IsPlainFullPath(path)) return "not a plain full path on a drive";
  if (IsStoreDir(path)) return "it is the Vaporizer's own store";
  if (IsStoreOrInside(path)) return "it is already in the Vaporizer";
  const char letter = ToUpperChar(path[0]);
  auto type = types.find(letter);
  if (type == types.end()) type = types.emplace(letter, Plat().DriveTypeOf(letter)).first;
  if (type->second == DriveType::NoRootDir) return std::string("there is no drive ") + letter + ":";
  return {};
}

}  // namespace

Intake TakeIn(const std::vector<std::string>& entries, const std::vector<std::string>* mappedNames, Road road,
              PathOrigin origin) {
  Intake in;
  if (mappedNames && mappedNames->size() != entries.size()) mappedNames = nullptr;
  // The machine policy may refuse sending, or have what is sent vaporized
  // where it is (after the caution question, which says why).
  std::uint32_t sending = kSendingToStore;
  std::string sendingOrigin;
  if (road != Road::InPlace) {
    const Policy policy = ReadMachinePolicy();
    if (const PolicyValue* v = policy.Find("Sending")) {
      sending = v->value;
      sendingOrigin = PolicyOrigin("Sending", *v);
    }
  }
  std::vector<std::string> whys;
  const std::vector<std::optional<std::string>> resolvedAll = Plat().ResolvePaths(entries, origin, whys);
  std::map<char, DriveType> types;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string& given = entries[i];
    const std::optional<std::string>& resolved = resolvedAll[i];
    std::string why = whys[i];
    if (resolved) why = Refusal(*resolved, types);
    if (!why.empty()) {
      in.refused.Skipped(given, why);
      continue;
    }
    if (sending == kSendingRefused) {
      in.refused.Skipped(given, "sending is turned off by " + sendingOrigin);
      continue;
    }
    IntakeItem item{given, *resolved, *resolved, std::nullopt, {}};
    item.id = Plat().IdentityOf(item.path);
    if (sending == kSendingVaporizeAtOnce) item.noStore = "Items are vaporized at once by " + sendingOrigin + ".";
    if (road == Road::InPlace || sending == kSendingVaporizeAtOnce || !Plat().CarriesStore(item.path[0], &item.noStore)) {
      // Only drives that keep no store by their kind vaporize what is sent
      // (and a policy that says so): a fixed drive whose store cannot be
      // used keeps the item.
      if (road == Road::ByDrive && sending != kSendingVaporizeAtOnce &&
          Plat().DriveTypeOf(item.path[0]) == DriveType::Fixed) {
        in.refused.Skipped(given, item.noStore.empty() ? "its drive holds no store for you; it was not sent" : item.noStore);
        continue;
      }
      in.direct.push_back(std::move(item));
      continue;
    }
    why = UnrecordableReason(item.path);
    if (why.empty() && SystemLength(item.path) > kMaxRecordedPath)
      why = "the path is too long to be recorded (" + ToDecimal(kMaxRecordedPath) + " characters at most)";
    if (why.empty() && mappedNames) why = MappedPath(item.path, (*mappedNames)[i], origin, &item.recordedPath);
    if (!why.empty()) {
      in.refused.Skipped(given, why);
      continue;
    }
    in.store.push_back(std::move(item));
  }
  return in;
}

std::vector<std::string> PathsOf(const std::vector<IntakeItem>& items) {
  std::vector<std::string> paths;
  paths.reserve(items.size());
  for (const auto& i : items) paths.push_back(i.path);
  return paths;
}

}  // namespace vz
