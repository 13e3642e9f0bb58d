#include "main/site_setup.h"

#include <filesystem>

#include "data/schema.h"
#include "accounts/operators.h"
#include "frame/module1.h"
#include "main/demo_menu.h"

namespace tovi::site {

bool initSite(const std::string& databaseFolder, bool demo, std::ostream& out, const std::string& server) {
  if (server.empty()) std::filesystem::create_directories(databaseFolder);
  std::string path = server.empty() ? databaseFolder + "/" + frame::kDatabaseFile : server;
  bool created = data::ensureDatabase(path);
  out << (created ? "tovi: created " : "tovi: checked ") << path << "\n";
  // Also for a file that was there: a first run killed between making the
  // tables and adding the owner leaves a database nobody can log in to.
  accounts::createFirstSiteOwner(path, out);
  // The password is printed once: out of the buffer before anything else can go wrong.
  out.flush();
  if (demo) {
    int dishes = seedDemoMenu(path);
    if (dishes > 0) out << "tovi: added the demo menu (" << dishes << " dishes)\n";
  }
  return created;
}

}  // namespace tovi::site
