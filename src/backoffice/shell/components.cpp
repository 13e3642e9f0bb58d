#include "backoffice/shell/components.h"

#include "backoffice/shell/admin.h"
#include "backoffice/shell/login.h"
#include "backoffice/shell/logout.h"
#include "backoffice/shell/manageadmin.h"
#include "backoffice/shell/menu.h"
#include "backoffice/shell/reg.h"
#include "backoffice/shell/reg1.h"

namespace tovi::backoffice::shell {
void registerComponents(frame::Registry& registry) {
  registry.addMain<login>("mabex.login");
  registry.addMain<logout>("mabex.logout");
  registry.addMain<admin>("mabex.admin");
  registry.addMain<menu>("mabex.menu");
  registry.addMain<manageadmin>("mabex.manageadmin");
  registry.addMain<reg>("mabex.reg");
  registry.addMain<reg1>("mabex.reg1");
}

}  // namespace tovi::backoffice::shell
