#include "cli/commands.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/paths.h"
#include "cli/terminal.h"
#include "common/text.h"
#include "engine/batch.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "store/enum_shred.h"
#include "store/send.h"
#include "store/store.h"
#include "window/properties.h"
#include "window/restore.h"

namespace vz::cli {
namespace {

using nlohmann::json;

std::string Dump(const json& j) { return j.dump(2, ' ', false, json::error_handler_t::replace); }

// Questions need somebody to answer them.
bool CanAsk(bool yes) {
  if (yes || StdinIsTerminal()) return true;
  std::cerr << "vaporizer: standard input is not a terminal, so nobody can answer the questions;\n"
               "add --yes to answer Yes to all of them. Nothing was changed.\n";
  return false;
}

// Converts every argument first, so a bad one stops the command before
// anything is touched.
bool ConvertAll(const std::vector<std::string>& args, std::vector<std::string>& out) {
  bool ok = true;
  for (const auto& a : args) {
    std::string why;
    auto sys = ToSystem(a, &why);
    if (!sys) {
      std::cerr << "vaporizer: " << a << ": " << why << "\n";
      ok = false;
    } else {
      out.push_back(*sys);
    }
  }
  return ok;
}

int PrintReport(const Report& report) {
  for (const auto& i : report.Items()) {
    switch (i.outcome) {
      case Outcome::Done:
        std::cout << i.action << ": " << Shown(i.path);
        if (!i.target.empty() && i.target != i.path) std::cout << " -> " << Shown(i.target);
        std::cout << "\n";
        break;
      case Outcome::Skipped:
        std::cout << "skipped: " << Shown(i.path) << ": " << i.detail << "\n";
        break;
      case Outcome::Failed:
        std::cout << "failed: " << Shown(i.path) << ": " << i.detail << "\n";
        break;
    }
    if (!i.warning.empty()) std::cout << "  warning: " << i.warning << "\n";
  }
  return report.AllDone() ? 0 : 1;
}

std::vector<ShredItemId> AllItems() {
  std::vector<ShredItemId> items;
  ShredEnumeration e;
  while (auto item = e.Next(PortableTypeInfo)) items.push_back(*item);
  return items;
}

// ITEM: a stored name (C1.doc), a stored path, or an original path.
bool Resolve(const std::vector<std::string>& args, std::vector<ShredItemId>& out) {
  std::vector<ShredItemId> all = AllItems();
  bool ok = true;
  for (const auto& a : args) {
    std::vector<const ShredItemId*> hits;
    bool isName = a.find('/') == std::string::npos && a.find('\\') == std::string::npos;
    if (isName) {
      for (const auto& it : all)
        if (EqualsNoCase(FileNamePart(GetField(it.storedPath)), a)) hits.push_back(&it);
    }
    if (hits.empty()) {
      std::string why;
      auto sys = ToSystem(a, &why);
      if (sys) {
        for (const auto& it : all)
          if (EqualsNoCase(GetField(it.storedPath), *sys)) hits.push_back(&it);
        if (hits.empty())
          for (const auto& it : all)
            if (EqualsNoCase(GetField(it.originalPath), *sys)) hits.push_back(&it);
      }
    }
    if (hits.empty()) {
      std::cerr << "vaporizer: " << a << ": no stored item has this name or path (see 'vaporizer list')\n";
      ok = false;
    } else if (hits.size() > 1) {
      std::cerr << "vaporizer: " << a << ": " << hits.size() << " stored items came from there; name one by its stored name:";
      for (const auto* h : hits) std::cerr << " " << FileNamePart(GetField(h->storedPath));
      std::cerr << "\n";
      ok = false;
    } else {
      out.push_back(*hits[0]);
    }
  }
  return ok;
}

bool MakeOptions(const ShredFlags& flags, ShredOptions& options) {
  if (!flags.Any()) return false;
  options.Passes = static_cast<std::uint16_t>(flags.passes ? *flags.passes : ReadBatchSettings().passes);
  options.DeleteAfter = flags.keep ? 0 : 1;
  options.FillByte = static_cast<std::uint8_t>(flags.fill.value_or(0));
  options.ShowProgress = 1;
  return true;
}

std::string SentDate(const std::string& stored, bool iso) {
  auto e = Plat().FindEntry(stored);
  if (!e) return {};
  auto t = TruncateToDos(e->written);
  if (!t) return {};
  std::string s = FormatIso(*t);
  return iso ? s : s.substr(0, 10) + " " + s.substr(11, 5);
}

std::string Pad(std::string s, std::size_t width) {
  if (s.size() < width) s += std::string(width - s.size(), ' ');
  return s;
}

}  // namespace

int Send(const std::vector<std::string>& paths, bool yes) {
  std::vector<std::string> sys;
  if (!ConvertAll(paths, sys) || !CanAsk(yes)) return 2;
  TerminalUi ui(yes);
  ScopedUi scope(ui);
  EnsureStores();
  return PrintReport(SendToStore(sys, nullptr, true, true).report);
}

int List(bool json_) {
  std::vector<ShredItemId> items = AllItems();
  if (json_) {
    json arr = json::array();
    for (const auto& it : items) {
      std::string stored = GetField(it.storedPath);
      std::int64_t size = GetItemSize(stored);
      std::string sent = SentDate(stored, true);
      arr.push_back({{"name", GetField(it.displayName)},
                     {"original", Shown(GetField(it.originalPath))},
                     {"stored", Shown(stored)},
                     {"sent", sent.empty() ? json(nullptr) : json(sent)},
                     {"type", GetField(it.typeName)},
                     {"size", size < 0 ? json(nullptr) : json(size)}});
    }
    std::cout << Dump(arr) << "\n";
    return 0;
  }
  if (items.empty()) {
    std::cout << "The Vaporizer is empty.\n";
    return 0;
  }
  std::cout << Pad("STORED", 10) << Pad("NAME", 24) << Pad("DATE SENT", 18) << Pad("TYPE", 20) << Pad("SIZE", 12)
            << "ORIGINAL LOCATION\n";
  for (const auto& it : items) {
    std::string stored = GetField(it.storedPath);
    std::int64_t size = GetItemSize(stored);
    std::cout << Pad(FileNamePart(stored), 10) << Pad(GetField(it.displayName), 24) << Pad(SentDate(stored, false), 18)
              << Pad(GetField(it.typeName), 20) << Pad(size < 0 ? "-" : std::to_string(size), 12)
              << Shown(FolderPart(GetField(it.originalPath))) << "\n";
  }
  return 0;
}

int Restore(const std::vector<std::string>& items, bool yes) {
  std::vector<ShredItemId> ids;
  if (!Resolve(items, ids) || !CanAsk(yes)) return 2;
  std::vector<RestoreEntry> entries;
  for (const auto& id : ids) entries.push_back(MakeRestoreEntry(id));
  TerminalUi ui(yes);
  ScopedUi scope(ui);
  return PrintReport(RestoreItems(entries));
}

int Vaporize(const std::vector<std::string>& items, const ShredFlags& flags, bool yes) {
  std::vector<ShredItemId> ids;
  if (!Resolve(items, ids) || !CanAsk(yes)) return 2;
  std::vector<std::string> stored;
  for (const auto& id : ids) stored.push_back(Trim(GetField(id.storedPath)));
  ShredOptions options{};
  bool hasOptions = MakeOptions(flags, options);
  TerminalUi ui(yes);
  ScopedUi scope(ui);
  return PrintReport(VaporizeBatch(stored, true, hasOptions ? &options : nullptr));
}

int Empty(const ShredFlags& flags, bool yes) {
  if (!CanAsk(yes)) return 2;
  ShredOptions options{};
  bool hasOptions = MakeOptions(flags, options);
  TerminalUi ui(yes);
  ScopedUi scope(ui);
  Report r = ShredAllItems(hasOptions ? &options : nullptr);
  if (r.Items().empty()) std::cout << "The Vaporizer is empty.\n";
  return PrintReport(r);
}

int Shred(const std::vector<std::string>& paths, const ShredFlags& flags, bool yes) {
  std::vector<std::string> sys;
  if (!ConvertAll(paths, sys) || !CanAsk(yes)) return 2;
  ShredOptions options{};
  bool hasOptions = MakeOptions(flags, options);
  TerminalUi ui(yes);
  ScopedUi scope(ui);
  return PrintReport(VaporizeBatch(sys, false, hasOptions ? &options : nullptr));
}

int Settings(const SettingsFlags& flags) {
  VaporizerSettings s = LoadSettings();
  bool change = flags.passes || flags.progress || flags.contextMenu || flags.sendTo;
  if (change) {
    if (flags.passes) s.passCount = *flags.passes;
    if (flags.progress) s.showProgress = *flags.progress;
    if (flags.contextMenu) s.insertContextMenu = *flags.contextMenu;
    if (flags.sendTo) s.insertSendTo = *flags.sendTo;
    // The two menu entries belong to Explorer; here the choice is recorded.
    MenuSwitches none{[](bool) {}, [](bool) {}};
    if (!SaveSettings(s, none)) {
      std::cerr << "vaporizer: the settings could not be written\n";
      return 1;
    }
    s = LoadSettings();
  }
  auto onOff = [](bool b) { return b ? "on" : "off"; };
  std::cout << "passes        " << s.passCount << "   (overwrite passes per file)\n"
            << "progress      " << onOff(s.showProgress) << "   (progress display while vaporizing)\n"
            << "context-menu  " << onOff(s.insertContextMenu) << "   (\"Send to Vaporizer\" on files and folders)\n"
            << "send-to       " << onOff(s.insertSendTo) << "   (Vaporizer in the Send To menu)\n";
  return 0;
}

int Properties(const std::vector<std::string>& items, bool json_) {
  std::vector<ShredItemId> ids;
  if (!Resolve(items, ids)) return 2;
  PropertiesModel m = BuildPropertiesModel(ids);
  if (json_) {
    json j = {{"caption", m.caption}, {"name", m.fileName},   {"type", m.type},         {"folder", Shown(m.folder)},
              {"size", m.size},       {"msdos", m.msdosName}, {"created", m.created},   {"changed", m.changed},
              {"opened", m.opened},   {"readOnly", m.readOnly}, {"archive", m.archive}, {"hidden", m.hidden},
              {"system", m.system}};
    if (m.showContents) j["contains"] = m.contents;
    if (m.kind == PropertiesCase::Group) j["folder"] = m.folder;
    std::cout << Dump(j) << "\n";
    return 0;
  }
  auto box = [](bool b) { return b ? "[x]" : "[ ]"; };
  std::cout << m.caption << "\n\n"
            << "  " << m.fileName << "\n\n"
            << "Type:         " << m.type << "\n"
            << "Folder:       " << (m.kind == PropertiesCase::Group ? m.folder : Shown(m.folder)) << "\n"
            << "Size:         " << m.size << "\n";
  if (m.showContents) std::cout << "Contain:      " << m.contents << "\n";
  std::cout << "\nMS-DOS Name:  " << m.msdosName << "\n"
            << "Created:      " << m.created << "\n"
            << "Changed:      " << m.changed << "\n"
            << "Opened:       " << m.opened << "\n\n"
            << "Attributes:   " << box(m.readOnly) << " Read-Only  " << box(m.archive) << " Archive  "
            << box(m.hidden) << " Hidden  " << box(m.system) << " System\n";
  return 0;
}

}  // namespace vz::cli
