// vaporizer: the companion program of the Vaporizer secure-deletion bin.
#include <CLI/CLI.hpp>
#include <iostream>

int main(int argc, char** argv) {
  CLI::App app{
      "vaporizer - the Vaporizer secure-deletion bin from the command line.\n"
      "Items sent to the Vaporizer move into a hidden store on their own drive; from there they\n"
      "are restored or vaporized: overwritten, stamped with an old date, truncated and deleted."};
  app.set_version_flag("--version", std::string("vaporizer ") + VZ_VERSION);
  app.require_subcommand(0, 1);
  CLI11_PARSE(app, argc, argv);
  if (app.get_subcommands().empty()) {
    std::cout << app.help();
    return 0;
  }
  return 0;
}
