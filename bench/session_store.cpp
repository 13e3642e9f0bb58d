// What a request's session costs in each store: one that only reads it (find,
// save of nothing) and one that changes it (find, set, save), among 500 other
// sessions. In this process; in the database (a file in FOLDER, or a
// postgresql:// URL of an empty database).
//   session_store [FOLDER-or-URL=/tmp/tovi-session-bench] [requests=2000]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "data/engine.h"
#include "data/schema.h"
#include "host/sessions.h"

namespace host = tovi::host;

template <class F>
double microseconds(int n, F f) {
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < n; ++i) f(i);
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / n;
}

int main(int argc, char** argv) {
  std::string where = argc > 1 ? argv[1] : "/tmp/tovi-session-bench";
  const int n = argc > 2 ? std::atoi(argv[2]) : 2000;
  if (!tovi::data::isServerLocation(where)) {
    std::filesystem::remove_all(where);
    std::filesystem::create_directories(where);
    where += "/tamlo.mdb";
  }
  tovi::data::ensureDatabase(where);
  for (bool database : {false, true}) {
    std::unique_ptr<host::SessionStore> store;
    if (database)
      store = std::make_unique<host::DatabaseSessionStore>(where, std::chrono::minutes(20));
    else
      store = std::make_unique<host::InProcessSessionStore>(std::chrono::minutes(20));
    for (int i = 0; i < 500; ++i) {
      auto other = store->create();
      other->set("n", i);
      store->save(*other);
    }
    auto s = store->create();
    s->set("admin", "boss"), s->set("flag", 1), s->set("GetCode", "4711");
    store->save(*s);
    const std::string id = s->id();
    double reading = microseconds(n, [&](int) { store->save(*store->find(id)); });
    double changing = microseconds(n, [&](int i) {
      auto found = store->find(id);
      found->set("GetCode", std::to_string(i));
      store->save(*found);
    });
    std::printf("%-12s a request reading its session: %8.1f us; changing it: %8.1f us\n",
                database ? "database" : "in process", reading, changing);
  }
  if (!tovi::data::isServerLocation(where)) std::filesystem::remove_all(std::filesystem::path(where).parent_path());
}
