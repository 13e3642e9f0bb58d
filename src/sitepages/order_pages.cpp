#include <memory>

#include "orders/live_screen.h"
#include "orders/live_ticket.h"
#include "orders/phone_order.h"
#include "orders/sales_report.h"
#include "sitepages/components.h"
#include "sitepages/order_delete.h"
#include "sitepages/order_status.h"

namespace tovi::sitepages {

void registerOrderPages(frame::Registry& registry) {
  registry.addMain<ddgl2>("tovi.ddgl2");
  registry.addMain<ddgl3>("tovi.ddgl3");
  // The kitchen's working pages beside the order list.
  registry.addMain<orders::live>("tovi.live");
  registry.addMain<orders::live_ticket>("tovi.live_ticket");
  registry.addMain<orders::phone_order>("tovi.phone_order");
  registry.addMain<orders::sales_report>("tovi.sales_report");
}

}  // namespace tovi::sitepages
