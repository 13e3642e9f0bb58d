#include "sitepages/site_init.h"

#include <filesystem>

#include "data/schema.h"
#include "sitepages/accounts.h"
#include "storefront/demo_menu.h"

namespace tovi::sitepages {

bool initSite(const std::string& databaseFolder, bool demo, std::ostream& out) {
  std::filesystem::create_directories(databaseFolder);
  std::string path = databaseFolder + "/tamlo.mdb";
  bool created = data::ensureDatabase(path);
  out << (created ? "tovi: created " : "tovi: checked ") << path << "\n";
  // Also for a file that was there: a first run killed between making the
  // tables and adding the owner leaves a database nobody can log in to.
  createFirstSiteOwner(path, out);
  if (demo) {
    int dishes = storefront::seedDemoMenu(path);
    if (dishes > 0) out << "tovi: added the demo menu (" << dishes << " dishes)\n";
  }
  return created;
}

}  // namespace tovi::sitepages
