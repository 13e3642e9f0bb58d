#include "backoffice/shell/components.h"

#include "backoffice/shell/admin.h"
#include "backoffice/shell/login.h"
#include "backoffice/shell/logout.h"
#include "backoffice/shell/manageadmin.h"
#include "backoffice/shell/menu.h"
#include "backoffice/shell/reg.h"
#include "backoffice/shell/reg1.h"

namespace tovi::backoffice::shell {
namespace {

template <class C>
void addPage(frame::Registry& registry, const char* id) {
  registry.add(id, [] { return std::make_unique<C>(); }, {frame::op("main", &C::main)});
}

}  // namespace

void registerComponents(frame::Registry& registry) {
  addPage<login>(registry, "mabex.login");
  addPage<logout>(registry, "mabex.logout");
  addPage<admin>(registry, "mabex.admin");
  addPage<menu>(registry, "mabex.menu");
  addPage<manageadmin>(registry, "mabex.manageadmin");
  addPage<reg>(registry, "mabex.reg");
  addPage<reg1>(registry, "mabex.reg1");
}

}  // namespace tovi::backoffice::shell
