// A platform that forwards to the real one and makes the n-th call of one
// kind fail: once (a passing hiccup), or from then on (a device that went
// away, a full disk). A failing write that carries data writes the first
// half of it before it fails, as a write cut short by a full disk does.
//
//   FaultPlatform faults(FaultKind::Move, 3, FaultMode::Once);
//   { ScopedPlatform use(faults); ... code under test ... }
//   faults.Hit()  ->  whether the third move was reached
//
// In crash mode the process dies, as if killed, just before its n-th change
// (a write, flush, move, delete, creation or truncation), or its n-th change
// of one kind; a data write it dies in leaves its first half, as a write cut
// off by the kill would.
//
//   FaultPlatform crash = FaultPlatform::CrashAt(5);
//   FaultPlatform crash = FaultPlatform::CrashBefore(FaultKind::Flush, 2);
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/forwarding_platform.h"

namespace vz::test {

enum class FaultKind {
  Open,    // opening or creating a file, a folder or a named stream, reading a whole file
  Write,   // writing content or metadata (times, attributes), making folders
  Flush,   // flushing a file to the device
  Move,    // moving a file or a folder
  Delete,  // removing a file, a folder or a link
  Search,  // asking what is there: attributes, entries, listings, sizes, named streams
};
enum class FaultMode { Once, FromThenOn, Crash };

// Ends the process at once, the way a kill does: nothing else runs.
[[noreturn]] void DieNow();

const char* KindName(FaultKind k);
const char* ModeName(FaultMode m);
constexpr FaultKind kAllKinds[] = {FaultKind::Open, FaultKind::Write,  FaultKind::Flush,
                                   FaultKind::Move, FaultKind::Delete, FaultKind::Search};

class FaultPlatform : public ForwardingPlatform {
 public:
  // `onlyOp`, when given, narrows the kind to calls of that one operation
  // ("Append", "GetAttributes").
  FaultPlatform(FaultKind kind, int n, FaultMode mode, std::string onlyOp = {}, Platform& real = NativePlatform())
      : ForwardingPlatform(real), kind_(kind), n_(n), mode_(mode), onlyOp_(std::move(onlyOp)) {}

  static FaultPlatform CrashAt(int n) {
    FaultPlatform p(FaultKind::Write, n, FaultMode::Crash);
    p.anyChange_ = true;
    return p;
  }
  // Dies just before the n-th call of one kind of change only ("the third
  // flush"), whatever else it changed before.
  static FaultPlatform CrashBefore(FaultKind kind, int n) { return FaultPlatform(kind, n, FaultMode::Crash); }

  // Calls of the chosen kind seen so far, failed ones included.
  int Calls() const { return calls_; }
  bool Hit() const { return !failed_.empty(); }
  // "MoveTo D:\Work\a.txt" for every call that was made to fail.
  const std::vector<std::string>& Failed() const { return failed_; }

  // The settings, the lock and the icon are not what is on trial here.
  bool Refuse(const std::string& op, const std::string& path, std::int64_t = 0, std::size_t = 0) override {
    auto kind = KindOf(op);
    return kind && Fail(*kind, op, path);
  }
  // A data write that fails writes its first half, as a write cut short by
  // a full disk or a kill does.
  void RefusedWrite(File& real, std::int64_t offset, const void* data, std::size_t n) override {
    if (offset < 0) real.Append(std::string(static_cast<const char*>(data), n / 2));
    else real.WriteAt(offset, data, n / 2);
    if (mode_ == FaultMode::Crash) DieNow();
  }

 private:
  static std::optional<FaultKind> KindOf(const std::string& op) {
    static const std::pair<const char*, FaultKind> kKinds[] = {
        {"OpenFolderPath", FaultKind::Open}, {"OpenFolder", FaultKind::Open},     {"OpenRead", FaultKind::Open},
        {"OpenSharedWrite", FaultKind::Open}, {"OpenExclusive", FaultKind::Open}, {"OpenAppend", FaultKind::Open},
        {"OpenNode", FaultKind::Open},       {"CreateNew", FaultKind::Open},     {"ReadAt", FaultKind::Open},
        {"SetAttributes", FaultKind::Write}, {"MakeFolder", FaultKind::Write},    {"WriteAt", FaultKind::Write},
        {"Append", FaultKind::Write},        {"SetTimes", FaultKind::Write},      {"Truncate", FaultKind::Write},
        {"Flush", FaultKind::Flush},         {"MoveTo", FaultKind::Move},         {"Delete", FaultKind::Delete},
        {"GetAttributes", FaultKind::Search}, {"FindEntry", FaultKind::Search},   {"ListDirectory", FaultKind::Search},
        {"LinkCount", FaultKind::Search},    {"StatPath", FaultKind::Search},     {"List", FaultKind::Search},
        {"Stat", FaultKind::Search},         {"Info", FaultKind::Search},         {"Size", FaultKind::Search},
        {"StreamNames", FaultKind::Search},  {"OpenStream", FaultKind::Open},     {"OpenFolderStreams", FaultKind::Open},
    };
    for (const auto& [name, kind] : kKinds)
      if (op == name) return kind;
    return std::nullopt;
  }

  bool Fail(FaultKind kind, const std::string& op, const std::string& path) {
    if (mode_ == FaultMode::Crash) {
      bool change = kind == FaultKind::Write || kind == FaultKind::Flush || kind == FaultKind::Move ||
                    kind == FaultKind::Delete || op == "CreateNew";
      if (!change || (!anyChange_ && kind != kind_) || ++calls_ != n_) return false;
      if (op != "WriteAt" && op != "Append") DieNow();
      return true;  // the write leaves half, then dies
    }
    if (kind != kind_ || (!onlyOp_.empty() && onlyOp_ != op)) return false;
    int call = ++calls_;
    bool fail = mode_ == FaultMode::Once ? call == n_ : call >= n_;
    if (fail) failed_.push_back(op + " " + path);
    return fail;
  }

  FaultKind kind_;
  int n_;
  FaultMode mode_;
  bool anyChange_ = false;  // in crash mode: counts every kind of change
  std::string onlyOp_;
  int calls_ = 0;
  std::vector<std::string> failed_;
};

inline const char* KindName(FaultKind k) {
  switch (k) {
    case FaultKind::Open: return "open";
    case FaultKind::Write: return "write";
    case FaultKind::Flush: return "flush";
    case FaultKind::Move: return "move";
    case FaultKind::Delete: return "delete";
    case FaultKind::Search: return "search";
  }
  return "?";
}
inline const char* ModeName(FaultMode m) {
  return m == FaultMode::Once ? "once" : m == FaultMode::FromThenOn ? "from then on" : "crash";
}

}  // namespace vz::test
