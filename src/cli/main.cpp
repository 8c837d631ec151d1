// vaporizer: the companion program of the Vaporizer secure-deletion bin.
#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/commands.h"
#include "cli/desktop.h"
#include "cli/register.h"

namespace {

// "on" or "off".
CLI::Option* AddSwitch(CLI::App* app, const std::string& name, std::optional<bool>& target, const std::string& help) {
  return app
      ->add_option_function<std::string>(
          name, [&target](const std::string& v) { target = (v == "on"); }, help)
      ->check(CLI::IsMember({"on", "off"}))
      ->type_name("on|off");
}

void AddShredFlags(CLI::App* app, vz::cli::ShredFlags& flags) {
  app->add_option_function<int>(
         "--passes", [&flags](int n) { flags.passes = n; }, "overwrite passes per file (default: the settings)")
      ->check(CLI::Range(0, 65535))
      ->type_name("N");
  app->add_option_function<std::string>(
         "--fill",
         [&flags](const std::string& v) {
           std::size_t used = 0;
           int n = std::stoi(v, &used, 0);
           if (used != v.size() || n < 0 || n > 255) throw CLI::ValidationError("--fill", "a byte from 0 to 255 (or 0x00 to 0xFF)");
           flags.fill = n;
         },
         "the byte every pass writes (default 0)")
      ->type_name("BYTE");
  app->add_flag("--keep", flags.keep, "overwrite only: leave the files in place with their length");
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "vaporizer - the Vaporizer secure-deletion bin from the command line.\n\n"
      "Items sent to the Vaporizer move into a hidden store on their own drive and are recorded in\n"
      "that drive's index; from there they are restored, or vaporized: overwritten, stamped with an\n"
      "old date, truncated and deleted. Items on drives without a store (removable, network) are\n"
      "vaporized at once when sent. Destructive commands ask first; --yes answers Yes to every\n"
      "question and is required when standard input is not a terminal."};
  app.set_version_flag("--version", std::string("vaporizer ") + VZ_VERSION);
  app.require_subcommand(0, 1);
  app.footer("Exit status: 0 when every item succeeded, 1 when some failed or were skipped, 2 for a usage error.");

  std::vector<std::string> args;
  bool yes = false, json = false;
  vz::cli::ShredFlags shred;
  vz::cli::SettingsFlags settings;

  auto* send = app.add_subcommand("send", "send files and folders to the Vaporizer (the store of their drive)");
  send->add_option("PATH", args, "files and folders to send")->required();
  send->add_flag("-y,--yes", yes, "answer Yes to every question");

  auto* list = app.add_subcommand("list", "list the stored items: name, original location, date sent, type, size");
  list->add_flag("--json", json, "one JSON array: name, original, stored, sent, type, size (null for a folder)");

  auto* restore = app.add_subcommand("restore", "put stored items back where they came from");
  restore->add_option("ITEM", args, "a stored name (C1.doc), a stored path, or an original path")->required();
  restore->add_flag("-y,--yes", yes, "answer Yes to every question (replaces existing files)");

  auto* vaporize = app.add_subcommand("vaporize", "vaporize chosen stored items for good");
  vaporize->add_option("ITEM", args, "a stored name (C1.doc), a stored path, or an original path")->required();
  vaporize->add_flag("-y,--yes", yes, "answer Yes to the caution question");
  AddShredFlags(vaporize, shred);

  auto* empty = app.add_subcommand("empty", "vaporize everything in every store");
  empty->add_flag("-y,--yes", yes, "answer Yes to the caution question");
  AddShredFlags(empty, shred);

  auto* shredCmd = app.add_subcommand("shred", "vaporize files and folders where they are, without the store");
  shredCmd->add_option("PATH", args, "files and folders to vaporize")->required();
  shredCmd->add_flag("-y,--yes", yes, "answer Yes to the caution question");
  AddShredFlags(shredCmd, shred);

  auto* settingsCmd = app.add_subcommand("settings", "show or change the settings");
  settingsCmd
      ->add_option_function<int>(
          "--passes", [&settings](int n) { settings.passes = n; }, "overwrite passes per file, 1 to 10")
      ->check(CLI::Range(1, 10))
      ->type_name("N");
  AddSwitch(settingsCmd, "--progress", settings.progress, "show progress while vaporizing");
  AddSwitch(settingsCmd, "--context-menu", settings.contextMenu, "the \"Send to Vaporizer\" item in Explorer");
  AddSwitch(settingsCmd, "--send-to", settings.sendTo, "the Vaporizer in Explorer's Send To menu");

  auto* props = app.add_subcommand("properties", "what the properties dialog shows for stored items");
  props->add_option("ITEM", args, "a stored name (C1.doc), a stored path, or an original path")->required();
  props->add_flag("--json", json, "as a JSON object");

  auto* volumes = app.add_subcommand(
      "volumes", "the drive letters, their roots, types and stores, and whether overwriting in place reaches old data there");
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
    return 2;
  }

  using namespace vz::cli;
  if (auto rc = registration.Run()) return *rc;
  ConnectDesktop();
  if (send->parsed()) return Send(args, yes);
  if (list->parsed()) return List(json);
  if (restore->parsed()) return Restore(args, yes);
  if (vaporize->parsed()) return Vaporize(args, shred, yes);
  if (empty->parsed()) return Empty(shred, yes);
  if (shredCmd->parsed()) return Shred(args, shred, yes);
  if (settingsCmd->parsed()) return Settings(settings);
  if (props->parsed()) return Properties(args, json);
  if (volumes->parsed()) return Volumes(json);
  std::cout << app.help();
  return 0;
}
