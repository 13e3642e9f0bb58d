// The site's own pages around the back-office shell: login check, code image,
// frameset, account and member save pages, database maintenance.
#include <memory>

#include "sitepages/code_image.h"
#include "sitepages/components.h"
#include "sitepages/login_check.h"

namespace tovi::sitepages {

void registerShellPages(frame::Registry& registry) {
  // One login state per registry: the failure counts live as long as the server.
  auto login = std::make_shared<LoginState>();
  registry.add("tovi.chkadmin", [login] { return std::make_unique<chkadmin>(login); },
               {frame::op("main", &chkadmin::main)});
  registry.add("tovi.getcode", [] { return std::make_unique<getcode>(); }, {frame::op("main", &getcode::main)});
}

}  // namespace tovi::sitepages
