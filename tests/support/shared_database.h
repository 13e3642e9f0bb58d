// The database that two servers' stores share in a test of what they keep between requests: the site file of a
// FakeSite, or a fresh PostgreSQL database under the label postgresql. GetParam(): whether the stores under test
// keep their state there (else in the process).
#pragma once

#include "data/schema.h"
#include "support/server_db.h"
#include "support/site_rows.h"

namespace tovi::testing {

class SharedDatabase : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!server_.url().empty()) data::ensureDatabase(server_.url());
  }
  std::string location() const { return server_.url().empty() ? site_.databasePath() : server_.url(); }

  ServerDb server_;
  FakeSite site_;
};

}  // namespace tovi::testing
