#include "support/order_clients.h"

#include <algorithm>

namespace tovi::testing {

Markers markers(const std::vector<std::string>& stored) {
  Markers out;
  for (const std::string& m : stored) ++out[m];
  return out;
}

bool order(unsigned short port, const std::string& marker, HttpResponse* answer) {
  static const std::string success = toGbk("订餐成功！！我们会准时送到您的手中！！谢谢光临！！");
  static const Fields form = {{"list", "⊕宫保鸡丁饭 12元 X 2份=24元 \r\n\r\n"}, {"list1", "24"}, {"yhm", "张三"},
                              {"telsss", "13800000000"}, {"zffs", "餐到付费"}, {"addresss", "台江区五一路1号"},
                              {"qtbz", ""}, {"hours", "12"}, {"minutes", "00"}};
  HttpClient http(port);
  HttpResponse r = postOwn(http, "/dctj.asp", gbkForm(withField(form, "qtbz", marker)));
  if (answer) *answer = r;
  return r.status == 200 && r.body.find(success) != std::string::npos;
}

OrderClients::OrderClients(int n, unsigned short port) : port_(port) {
  for (int c = 0; c < n; ++c)
    threads_.emplace_back([this, c] {
      for (long seq = 0; !stop_; ++seq) {
        Attempt a{Attempt::NotSent, "order-" + std::to_string(c) + "-" + std::to_string(seq), Clock::now(), {}};
        HttpResponse r;
        const bool accepted = order(port_, a.marker, &r);
        a.answered = Clock::now();
        // A proxy's 502 or 504: the server went away with the order, as if cut off.
        a.outcome = !r.sent ? Attempt::NotSent : !r.status || r.status == 502 || r.status == 504 ? Attempt::CutOff
                    : accepted ? Attempt::Accepted : Attempt::Refused;
        std::lock_guard lock(mutex_);
        ledger_.push_back(a);
        if (!r.sent) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
}

void OrderClients::stop() {
  stop_ = true;
  for (std::thread& t : threads_)
    if (t.joinable()) t.join();
}

std::vector<Attempt> OrderClients::ledger() {
  std::lock_guard lock(mutex_);
  return ledger_;
}

std::string OrderCheck::summary() const {
  std::string s;
  for (const auto& [outcome, name] : {std::pair{Attempt::Accepted, " accepted, "}, {Attempt::CutOff, " cut off, "},
                                      {Attempt::Refused, " refused, "}, {Attempt::NotSent, " not sent"}})
    s += std::to_string(counts[outcome]) + name;
  for (const std::string& p : problems) s += "\n  " + p;
  return s;
}

OrderCheck checkOrders(const std::vector<Attempt>& attempts, const Markers& stored, const std::vector<Markers>& kept) {
  OrderCheck c;
  for (const Attempt& a : attempts) {
    ++c.counts[a.outcome];
    const int times = stored.count(a.marker) ? stored.at(a.marker) : 0;
    const bool elsewhere = std::any_of(kept.begin(), kept.end(), [&](const Markers& m) { return m.count(a.marker); });
    const std::string problem =
        times > 1 ? "is stored " + std::to_string(times) + " times"
        : a.outcome == Attempt::Accepted && times == 0 && !elsewhere ? "was accepted but is not stored"
        : a.outcome == Attempt::NotSent && times > 0                 ? "never reached the server but is stored"
        : a.outcome == Attempt::Refused && times > 0                 ? "was refused but is stored"
                                                                     : "";
    if (!problem.empty() && c.problems.size() < 20) c.problems.push_back(a.marker + " " + problem);
  }
  return c;
}

}  // namespace tovi::testing
