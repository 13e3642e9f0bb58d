#include "sitepages/accounts.h"

namespace tovi::sitepages {

void createFirstSiteOwner(const std::string& /*databasePath*/, std::ostream& /*out*/) {}

}  // namespace tovi::sitepages
