// vaporizer: the companion program of the Vaporizer secure-deletion bin.
#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/desktop.h"
#include "cli/register.h"
#include "cli/terminal.h"
#include "engine/batch.h"
#include "settings/settings.h"
#include "store/send.h"

#ifdef _WIN32
#include "platform/win32/wide.h"
#else
#include "platform/posix/volumes.h"
#endif

namespace {

using vz::cli::ParseNumber;

// "on" or "off".
CLI::Option* AddSwitch(CLI::App* app, const std::string& name, std::optional<bool>& target, const std::string& help) {
  return app
      ->add_option_function<std::string>(
          name, [&target](const std::string& v) { target = (v == "on"); }, help)
      ->check(CLI::IsMember({"on", "off"}))
      ->type_name("on|off");
}

// A whole number in [low, high], decimal or 0x hexadecimal; anything else
// is a usage error that says what is wanted.
CLI::Option* AddNumber(CLI::App* app, const std::string& name, std::optional<int>& target, long low, long high,
                       const std::string& help, const std::string& type) {
  std::string wanted = "a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                       " (decimal, or hexadecimal after 0x)";
  return app
      ->add_option_function<std::string>(
          name, [&target, low, high](const std::string& v) { target = static_cast<int>(*ParseNumber(v, low, high)); },
          help)
      ->check(CLI::Validator(
          [low, high, wanted](std::string& v) { return ParseNumber(v, low, high) ? std::string() : wanted; }, type))
      ->type_name(type);
}

// json: whether --json is the plain array of the report (empty has its own).
void AddShredFlags(CLI::App* app, vz::cli::ShredFlags& flags, bool json = true) {
  const vz::NumberSetting& p = vz::kShredCount;
  AddNumber(app, "--passes", flags.passes, p.low, p.high,
            "overwrite passes per file, " + std::to_string(p.low) + " to " + std::to_string(p.high) +
                " (default: the settings)",
            "N");
  AddNumber(app, "--fill", flags.fill, 0, 255, "the byte every pass writes, 0 to 255 or 0x00 to 0xFF (default 0)",
            "BYTE");
  app->add_flag("--keep", flags.keep, "overwrite only: leave the files in place with their length");
  app->add_flag("--verify", flags.verify,
                "read every file back from the device, past the caches, after its last pass and compare it with\n"
                "the fill; a difference is a failure (default: the settings)");
  app->add_option("--receipt", flags.receipt,
                  "add a receipt of this run to FILE (made for you alone when missing): one JSON line per item\n"
                  "and one for the run, chained by hashes; paths appear only as keyed hashes")
      ->type_name("FILE");
  if (json) app->add_flag("--json", flags.json, "the report as a JSON array, one object per item, each with its own warning");
}

// --older-than, --keep-under and --by-settings, which pick stored items by
// rule; the settings' rule excludes the other two.
void AddRuleFlags(CLI::App* app, vz::cli::RuleFlags& rule, const std::string& verb, bool acts) {
  auto* age = app->add_option_function<std::string>(
                     "--older-than", [&rule](const std::string& v) { rule.olderThan = *vz::cli::ParseAge(v); },
                     "items sent more than AGE ago " + verb + ", by the date sent the list shows: a number and "
                     "h, d or w (12h, 30d, 2w)")
                  ->check(CLI::Validator(
                      [](std::string& v) {
                        return vz::cli::ParseAge(v) ? std::string() : "an age such as 12h, 30d or 2w";
                      },
                      "AGE"))
                  ->type_name("AGE");
  auto* size = app->add_option_function<std::string>(
                      "--keep-under", [&rule](const std::string& v) { rule.keepUnder = *vz::cli::ParseSize(v); },
                      "while a drive's store holds more than SIZE, its oldest items " + verb +
                          ": bytes, or a number and K, M, G or T (500M, 2G)")
                   ->check(CLI::Validator(
                       [](std::string& v) {
                         return vz::cli::ParseSize(v) ? std::string() : "a size such as 500M or 2G";
                       },
                       "SIZE"))
                   ->type_name("SIZE");
  app->add_flag("--by-settings", rule.bySettings,
                "the rules of the settings (empty-after, store-limit), as a scheduled run takes them" +
                    std::string(acts ? "; asks nothing" : ""))
      ->excludes(age)
      ->excludes(size);
}

void AddItems(CLI::App* app, vz::cli::ItemArgs& items) {
  app->add_option("ITEM", items.args,
                  "a stored item by its original path (where it was sent from) or its stored path")
      ->required();
  app->add_flag("--stored", items.stored,
                "the ITEMs are stored names (C1.doc) as the STORED column of 'vaporizer list' shows them");
}

}  // namespace

// How drives and stores are found, where the program runs.
#ifdef _WIN32
constexpr const char* kDrivesHelp =
    "Drives are the system's: fixed drives keep a store for each user (X:\\VAPORIZE\\<your SID>),\n"
    "which only that user and the administrators may open; removable, network and CD drives none.\n\n";
#else
constexpr const char* kDrivesHelp =
    "Drives: every path lies on a drive with a letter, as on Windows. C: is your home folder; every\n"
    "mounted file system that holds user files is a drive of its own (see 'vaporizer volumes'):\n"
    "fixed (a local disk), removable (a USB stick or disk, an SD card), network (NFS, SMB, sshfs),\n"
    "cdrom or ramdisk (tmpfs).\n\n"
    "Stores: each user keeps their own, .VAPORIZE/<user id> (mode 0700). Your home folder keeps\n"
    "yours there; any other fixed drive in .VAPORIZE at its top: your own on a drive that is yours,\n"
    "else only one that root made for every user (mode 1777). Your own folder there is no store of\n"
    "yours when another user owns it, others may write to it, or it is a link. Where a fixed drive\n"
    "has no store for you (the rest of the file system your home lies on, a read-only one, a store\n"
    "folder that is not to be trusted), what you send from there stays where it is, refused with\n"
    "the reason ('shred' destroys it in place); removable, network, CD and RAM drives keep no store:\n"
    "what you send from there is vaporized where it is, after the caution question, which says why.\n"
    "A store is made when the first item is sent to it.\n\n"
    "Letters stay with their drives: a store keeps the letter of its drive, and drives without one\n"
    "take theirs in the order of their mount points. A drive mounted elsewhere is the same drive:\n"
    "its items are listed and restored at its new place. A drive whose store was seen before and\n"
    "that is not mounted keeps its letter and is listed as \"drive not present\"; nothing of it is\n"
    "touched until it is back.\n\n"
    "VAPORIZER_VOLUMES replaces all of this with a table of its own, for tests and special set-ups,\n"
    "such as VAPORIZER_VOLUMES=\"C=/home/me;D=/data;E=/media/usb:removable\" (types fixed, the\n"
    "default, removable, network, cdrom); every fixed drive of it keeps the stores at its root. The\n"
    "settings live in $XDG_CONFIG_HOME/vaporizer/registry.json.\n\n";
#endif

int Run(int argc, char** argv) {
  vz::SetDirectVaporizer(&vz::VaporizeDirectItems);
  CLI::App app{
      "vaporizer - the Vaporizer secure-deletion bin from the command line.\n\n"
      "Items sent to the Vaporizer move into a hidden store on their own drive and are recorded in\n"
      "that drive's index; from there they are restored, or vaporized: overwritten, stamped with an\n"
      "old date, truncated and deleted. Items on drives without a store (removable, network) are\n"
      "vaporized at once when sent. Destructive commands ask first; --yes answers Yes to every\n"
      "question and is required when standard input is not a terminal.\n\n" +
      std::string(kDrivesHelp) +
      "A PATH, and an ITEM unless --stored is given, is a path: relative to the current folder, '..'\n"
      "taken after the real folder it follows, the last name as given (a link is the link, not what\n"
      "it points at). Drive roots, the stores and anything in them are never sent or shredded. Names\n"
      "are shown with control characters and bytes that are not text written as \\xNN.\n"};
  app.set_version_flag("--version", std::string("vaporizer ") + VZ_VERSION);
#ifndef _WIN32
  std::string askWith;
  app.add_option("--ask-with", askWith,
                 "ask the questions by running PROGRAM with the question's title and text; its exit "
                 "status 0 answers Yes (a dialog of the desktop: the file managers' actions use it)")
      ->type_name("PROGRAM");
#endif
  app.require_subcommand(0, 1);
  app.footer(
      "Exit status: 0 when every item was done; 1 when an item failed, was skipped or refused, or was\n"
      "not found (and when 'list' finds damaged records); 2 for a usage error (an unknown command or\n"
      "option, a value out of range, an argument that is no path on a volume, an unreadable\n"
      "VAPORIZER_VOLUMES, questions with nobody to answer them): nothing is touched then.");

  std::vector<std::string> args;
  vz::cli::ItemArgs items;
  bool yes = false, json = false, replace = false;
  vz::cli::ShredFlags shred;
  vz::cli::SettingsFlags settings;
  vz::cli::RuleFlags rule;
  std::string retentionAction;

  auto* send = app.add_subcommand("send", "send files and folders to the Vaporizer (the store of their drive)");
  send->add_option("PATH", args, "files and folders to send")->required();
  send->add_flag("-y,--yes", yes, "answer Yes to every question");

  auto* list = app.add_subcommand("list", "list the stored items: name, original location, date sent, type, size");
  AddRuleFlags(list, rule, "are listed, what 'empty' with the same rule would take", false);
  list->add_flag("--json", json,
                 "one JSON array: name, original, stored, sent, type, size (null for a folder); a name that\n"
                 "is not UTF-8 comes also byte for byte, percent-encoded as in a FreeDesktop trash info\n"
                 "file, under its key with \"_percent\" added. A damaged record of an index comes as\n"
                 "damaged (why), index, line, original, stored");

  auto* restore = app.add_subcommand("restore", "put stored items back where they came from");
  AddItems(restore, items);
  restore->add_flag("-y,--yes", yes, "answer Yes to every question; a file at an original path is kept");
  restore->add_flag("--replace", replace,
                    "replace a file at an original path (with --yes without asking); without it that item stays "
                    "stored");

  auto* vaporize = app.add_subcommand("vaporize", "vaporize chosen stored items for good");
  AddItems(vaporize, items);
  vaporize->add_flag("-y,--yes", yes, "answer Yes to the caution question");
  AddShredFlags(vaporize, shred);

  auto* empty = app.add_subcommand("empty", "vaporize everything in every store, or what a rule picks");
  empty->add_flag("-y,--yes", yes, "answer Yes to the caution question");
  empty->add_flag("--json", json, "the report as one JSON object: rule, chosen, kept and report (one object per item)");
  AddRuleFlags(empty, rule, "go", true);
  AddShredFlags(empty, shred, false);

  auto* shredCmd = app.add_subcommand("shred", "vaporize files and folders where they are, without the store");
  shredCmd->add_option("PATH", args, "files and folders to vaporize")->required();
  shredCmd->add_flag("-y,--yes", yes, "answer Yes to the caution question");
  AddShredFlags(shredCmd, shred);

  auto* settingsCmd = app.add_subcommand(
      "settings", "show or change the settings: the values the next vaporize uses, defaults marked");
  AddNumber(settingsCmd, "--passes", settings.passes, vz::kShredCount.offeredLow, vz::kShredCount.offeredHigh,
            "overwrite passes per file, " + std::to_string(vz::kShredCount.offeredLow) + " to " +
                std::to_string(vz::kShredCount.offeredHigh),
            "N");
  AddSwitch(settingsCmd, "--progress", settings.progress, "show progress while vaporizing");
  AddSwitch(settingsCmd, "--context-menu", settings.contextMenu, "the \"Send to Vaporizer\" item in Explorer");
  AddSwitch(settingsCmd, "--send-to", settings.sendTo, "the Vaporizer in Explorer's Send To menu");
  AddSwitch(settingsCmd, "--verify", settings.verify, "read every vaporized file back from the device and compare");
  AddSwitch(settingsCmd, "--volume-trim", settings.volumeTrim,
            "after vaporizing, trim the volume's freed space where the device takes discards");
  AddSwitch(settingsCmd, "--receipts", settings.receipts, "keep a receipt of every vaporize in your data folder");
  AddSwitch(settingsCmd, "--system-log", settings.systemLog,
            "write every vaporize's receipt to the system's log (journald or syslog; the Application log)");

  auto* policyCmd = app.add_subcommand(
      "policy", "the rules an administrator may set for every user of the machine, and those in force");
  policyCmd->add_flag("--json", json, "as one JSON object: rules (name, kind, low, high, setting, value, source), warnings");

  std::string receiptFile, receiptPath;
  auto* receipt = app.add_subcommand("receipt", "check a receipt, or find a path in it");
  receipt->require_subcommand(1);
  auto* receiptVerify = receipt->add_subcommand(
      "verify", "check that no line of a receipt was changed, removed or put in; names the first broken line");
  receiptVerify->add_option("FILE", receiptFile, "the receipt")->required();
  auto* receiptFind = receipt->add_subcommand("find", "whether and when PATH was vaporized, by a receipt made with your key");
  receiptFind->add_option("FILE", receiptFile, "the receipt")->required();
  receiptFind->add_option("PATH", receiptPath, "the path the item had (where it was sent from or shredded)")->required();
  AddNumber(settingsCmd, "--empty-after", settings.emptyAfter, vz::kEmptyAfterDays.offeredLow, vz::kEmptyAfterDays.offeredHigh,
            "vaporize items that have been in the Vaporizer for more than N days (0: never)", "DAYS");
  AddNumber(settingsCmd, "--store-limit", settings.storeLimit, vz::kStoreLimitMb.offeredLow, vz::kStoreLimitMb.offeredHigh,
            "keep each drive's store under N MB, the oldest items going first (0: no limit)", "MB");

  auto* retention = app.add_subcommand(
      "retention", "the scheduled emptying by the settings, daily and at logon: enable, disable or status");
  retention->add_option("ACTION", retentionAction, "enable, disable or status")
      ->required()
      ->check(CLI::IsMember({"enable", "disable", "status"}));

  auto* props = app.add_subcommand("properties", "what the properties dialog shows for stored items");
  AddItems(props, items);
  props->add_flag("--json", json, "as a JSON object");

  auto* volumes = app.add_subcommand(
      "volumes",
      "the drives: their letters, roots (mount points), types and stores, and whether overwriting in place reaches old data there");
  volumes->add_flag("--json", json, "as a JSON array: each drive's medium with its evidence, and the verdict");
  vz::cli::RegistrationCommands registration(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return vz::cli::kExitUsage;
  }

#ifndef _WIN32
  vz::cli::SetAskProgram(askWith);
  // A table that cannot be read maps no drive: every command would find
  // nothing, and an empty answer would be a wrong one.
  std::string tableError = vz::posix::VolumeTableError();
  if (!tableError.empty()) {
    std::cerr << "vaporizer: VAPORIZER_VOLUMES: " << tableError << "\n";
    return vz::cli::kExitUsage;
  }
#endif

  using namespace vz::cli;
  if (auto rc = registration.Run()) return *rc;
  ConnectDesktop();
  if (send->parsed()) return Send(args, yes);
  if (list->parsed()) return List(json, rule);
  if (restore->parsed()) return Restore(items, yes, replace);
  if (vaporize->parsed()) return Vaporize(items, shred, yes);
  if (empty->parsed()) return Empty(shred, yes, json, rule);
  if (shredCmd->parsed()) return Shred(args, shred, yes);
  if (settingsCmd->parsed()) return Settings(settings);
  if (policyCmd->parsed()) return PolicyRules(json);
  if (props->parsed()) return Properties(items, json);
  if (volumes->parsed()) return Volumes(json);
  if (receiptVerify->parsed()) return ReceiptVerify(receiptFile);
  if (receiptFind->parsed()) return ReceiptFind(receiptFile, receiptPath);
  if (retention->parsed()) return Retention(retentionAction);
  std::cout << app.help();
  return 0;
}

#ifdef _WIN32
// The arguments as the system has them, in UTF-16, and in UTF-8 from here on.
extern "C" int wmain(int argc, wchar_t** wargv) {
  vz::cli::UseUnicodeOutput();
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(vz::win32::Narrow(wargv[i]));
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return Run(argc, argv.data());
}
#else
int main(int argc, char** argv) { return Run(argc, argv); }
#endif
