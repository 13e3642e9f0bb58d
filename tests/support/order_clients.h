// Clients that keep ordering from the storefront while a test kills servers,
// and the check of what they were told against the orders stored.
//
//   OrderClients clients(8, server.port());   // each order's remark a unique marker
//   server.kill9(); server.start(); clients.aim(server.port());
//   clients.stop();
//   OrderCheck c = checkOrders(clients.ledger(), markers(sqliteColumn(db, "select qtbz from tdgl")));
//   EXPECT_THAT(c.problems, IsEmpty()) << c.summary();
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/over_http.h"

namespace tovi::testing {

using Clock = std::chrono::steady_clock;
using Markers = std::map<std::string, int>;  // each order remark stored, with how often

// The remarks `stored`, counted.
Markers markers(const std::vector<std::string>& stored);

// The storefront's order form as a browser posts it, `marker` as its remark;
// whether the answer is the success alert.
bool order(unsigned short port, const std::string& marker, HttpResponse* answer = nullptr);

// What each order was answered. Markers are unique.
struct Attempt {
  enum Outcome { NotSent, CutOff, Refused, Accepted } outcome;
  std::string marker;
  Clock::time_point sent, answered;
};

// `n` clients ordering one after the other, each order on a new connection to
// the port last aimed at; an order that cannot connect is retried shortly
// after under a new marker.
class OrderClients {
 public:
  OrderClients(int n, unsigned short port);
  ~OrderClients() { stop(); }
  void aim(unsigned short port) { port_ = port; }
  void stop();
  std::vector<Attempt> ledger();

 private:
  std::atomic<unsigned short> port_{0};
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Attempt> ledger_;
  std::vector<std::thread> threads_;
};

// The ledger held against the stored orders: every accepted order stored (in
// `stored` or in one of `kept`, the copies restores kept), none stored twice,
// none stored that never got out or was refused.
struct OrderCheck {
  long counts[4] = {};  // by outcome
  std::vector<std::string> problems;
  std::string summary() const;
};
OrderCheck checkOrders(const std::vector<Attempt>& attempts, const Markers& stored,
                       const std::vector<Markers>& kept = {});

}  // namespace tovi::testing
