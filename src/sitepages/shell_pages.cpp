// The site's own pages around the back-office shell: login check, code image,
// frameset, account and member save pages, database maintenance.
#include <memory>

#include "sitepages/account_pages.h"
#include "sitepages/code_image.h"
#include "sitepages/components.h"
#include "sitepages/frameset_page.h"
#include "sitepages/login_check.h"
#include "sitepages/maintenance_pages.h"
#include "sitepages/member_pages.h"

namespace tovi::sitepages {
void registerShellPages(frame::Registry& registry) {
  // One login state per registry: the failure counts live as long as the server.
  auto login = std::make_shared<LoginState>();
  registry.add("tovi.chkadmin", [login] { return std::make_unique<chkadmin>(login); },
               {frame::op("main", &chkadmin::main)});
  registry.addMain<getcode>("tovi.getcode");
  registry.addMain<adminframe>("tovi.adminframe");
  registry.addMain<saveadmin>("tovi.saveadmin");
  registry.addMain<renpassword>("tovi.renpassword");
  registry.addMain<reg2>("tovi.reg2");
  registry.addMain<reg3>("tovi.reg3");
  for (int page = 1; page <= 4; ++page)
    registry.add("tovi.database_menager" + std::to_string(page),
                 [page] { return std::make_unique<database_menager>(page); },
                 {frame::op("main", &database_menager::main)});
}

}  // namespace tovi::sitepages
