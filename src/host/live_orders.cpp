#include "host/live_orders.h"

#include <chrono>
#include <list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "data/change_stamp.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "frame/text.h"
#include "host/exchange.h"
#include "host/request_values.h"
#include "orders/live_board.h"

namespace tovi::host {
namespace {

using Clock = std::chrono::steady_clock;
using Chunked = restinio::response_builder_t<restinio::chunked_output_t>;

constexpr auto kPoll = std::chrono::milliseconds(100);
constexpr auto kHeartbeat = std::chrono::seconds(15);
constexpr int kCatchUp = 500;          // orders sent to a reconnecting screen at most
constexpr std::size_t kTracked = 2 * orders::kBoardLimit;  // board orders whose status is watched

bool admitted(const data::Value& flag) { return flag.isNumber(1) || flag.isNumber(2); }

std::shared_ptr<const std::string> bytes(std::string s) { return std::make_shared<const std::string>(std::move(s)); }

std::string orderEvent(const orders::BoardOrder& o) {
  return "event: order\nid: " + std::to_string(o.id) + "\ndata: " + orders::orderJson(o) + "\n\n";
}

std::string statusEvent(std::int64_t id, int status) {
  return "event: status\ndata: {\"id\":" + std::to_string(id) + ",\"status\":" + std::to_string(status) + "}\n\n";
}

// A whole number from a header or query value; 0 otherwise.
std::int64_t lastIdOf(std::string_view text) {
  std::string t = frame::trim(text);
  if (t.empty() || t.size() > 18 || !data::isWholeNumber(t) || t[0] == '-') return 0;
  return std::stoll(t);
}

}  // namespace

struct LiveOrders::Stream {
  Chunked resp;
  std::string sessionId;
  std::string account;
  std::shared_ptr<std::atomic<bool>> broken = std::make_shared<std::atomic<bool>>(false);

  void send(const std::shared_ptr<const std::string>& b) {
    resp.append_chunk(b);
    resp.flush([broken = broken](const restinio::asio_ns::error_code& ec) {
      if (ec) broken->store(true);
    });
  }
  void end() { resp.done(); }
};

// What the feed thread knows: the database's stamp, the accounts, the orders
// already sent and the statuses of the board's orders.
class LiveOrders::Feed {
 public:
  Feed(HostState& state, std::atomic<std::size_t>& open)
      : state_(state), open_(open), path_(state.root.mapPath("", "/database/tamlo.mdb")) {}

  // When the database changed since the last look: re-reads the accounts,
  // sends the new orders and status moves, and ends the streams no longer admitted.
  void look() {
    std::uint64_t stamp = data::changeStamp(path_);
    if (known_ && stamp == stamp_) return;
    data::Connection conn;
    conn.Open("Data Source=" + path_);
    readAccounts(conn);
    std::string out;
    if (!known_) {
      orders::Board board = orders::readBoard(conn, data::DateTime::now());
      lastSent_ = board.last;
      for (const orders::BoardOrder& o : board.orders) tracked_[o.id] = o.status;
    } else {
      for (const orders::BoardOrder& o : orders::ordersAbove(conn, lastSent_, 0, kCatchUp)) {
        out += orderEvent(o);
        tracked_[o.id] = o.status;
        lastSent_ = std::max(lastSent_, o.id);
      }
      std::vector<std::int64_t> ids;
      for (auto& [id, status] : tracked_) ids.push_back(id);
      std::set<std::int64_t> present;
      for (auto [id, status] : orders::statusesOf(conn, ids)) {
        present.insert(id);
        int& was = tracked_[id];
        if (was != status) out += statusEvent(id, status);
        was = status;
      }
      for (auto it = tracked_.begin(); it != tracked_.end();) {
        if (present.count(it->first)) {
          ++it;
          continue;
        }
        out += statusEvent(it->first, 0);
        it = tracked_.erase(it);
      }
      while (tracked_.size() > kTracked) tracked_.erase(tracked_.begin());
    }
    conn.Close();
    stamp_ = stamp;
    known_ = true;
    dropRefused();
    if (!out.empty()) broadcast(bytes(std::move(out)));
  }

  void forget() { known_ = false; }

  // Answers a new stream: refused, or opened with the orders it missed.
  void open(Pending& p) {
    restinio::request_t& req = *p.req;
    std::shared_ptr<Session> session;
    for (const auto& [name, value] : parseCookieHeader(req.header().get_field_or(restinio::http_field::cookie, "")))
      if (frame::iequals(name, kSessionCookie)) session = state_.sessions.find(value);
    std::string account = session ? session->get("admin").text() : "";
    if (account.empty()) return refuse(p, 401, "not logged in");
    if (!admitted(session->get("flag")) || !admits(account)) return refuse(p, 403, "no right to the live screen");

    std::int64_t after = lastIdOf(req.header().get_field_or("Last-Event-ID", ""));
    if (after == 0) after = lastIdOf(joined(parsePairs(req.header().query()), "after"));
    std::string first = "retry: 2000\n\n";
    if (after > 0 && after < lastSent_) {
      data::Connection conn;
      conn.Open("Data Source=" + path_);
      for (const orders::BoardOrder& o : orders::ordersAbove(conn, after, lastSent_, kCatchUp)) first += orderEvent(o);
      conn.Close();
    }
    Stream s{req.create_response<restinio::chunked_output_t>(), session->id(), account};
    s.resp.append_header(restinio::http_field::content_type, "text/event-stream; charset=utf-8");
    s.resp.append_header(restinio::http_field::cache_control, "no-store");
    s.resp.append_header(restinio::http_field::date, std::string(httpDateNow()));
    s.resp.append_header("X-Accel-Buffering", "no");
    s.send(bytes(std::move(first)));
    logLine(req, 200);
    streams_.push_back(std::move(s));
    open_.store(streams_.size());
  }

  void refuse(Pending& p, int status, const char* why) {
    auto resp = p.req->create_response(
        restinio::http_status_line_t{restinio::http_status_code_t{static_cast<std::uint16_t>(status)},
                                     reasonPhrase(status)});
    resp.append_header(restinio::http_field::content_type, "text/plain; charset=utf-8");
    resp.append_header(restinio::http_field::date, std::string(httpDateNow()));
    resp.append_header(restinio::http_field::cache_control, "no-store");
    resp.set_body(std::string(why) + "\n");
    resp.done();
    logLine(*p.req, status);
  }

  void heartbeat() {
    dropRefused();
    broadcast(bytes(": keep-alive\n\n"));
  }

  // Streams whose write failed (the screen went away) are forgotten.
  void dropBroken() {
    std::erase_if(streams_, [](const Stream& s) { return s.broken->load(); });
    open_.store(streams_.size());
  }

  void endAll() {
    for (Stream& s : streams_) s.end();
    streams_.clear();
    open_.store(0);
  }

 private:
  void readAccounts(data::Connection& conn) {
    accounts_.clear();
    data::Recordset rs;
    rs.Open("select admin, flag from wq_admin", conn, data::adOpenKeyset, data::adLockReadOnly);
    rs.PageSize(1000);
    while (!rs.Eof()) {
      accounts_[rs("admin").text()] = rs("flag").value();
      rs.MoveNext();
    }
    rs.Close();
  }

  bool admits(const std::string& account) const {
    auto it = accounts_.find(account);
    return it != accounts_.end() && admitted(it->second);
  }

  // Ends the streams whose session ended or whose account lost its right;
  // looking the session up also keeps it alive.
  void dropRefused() {
    std::erase_if(streams_, [this](Stream& s) {
      std::shared_ptr<Session> session = state_.sessions.find(s.sessionId);
      bool keep = session && session->get("admin").text() == s.account && admitted(session->get("flag")) &&
                  admits(s.account);
      if (!keep) s.end();
      return !keep;
    });
    open_.store(streams_.size());
  }

  void broadcast(const std::shared_ptr<const std::string>& b) {
    for (Stream& s : streams_) s.send(b);
  }

  void logLine(const restinio::request_t& req, int status) {
    if (!state_.access.enabled()) return;
    state_.access.line(req.remote_endpoint().address().to_string() + " [" + logTime() + "] \"GET " +
                       std::string(req.header().request_target()) + "\" " + std::to_string(status) + " 0 stream");
  }

  HostState& state_;
  std::atomic<std::size_t>& open_;
  std::string path_;
  bool known_ = false;
  std::uint64_t stamp_ = 0;
  std::int64_t lastSent_ = 0;
  std::map<std::int64_t, int> tracked_;
  std::map<std::string, data::Value> accounts_;
  std::list<Stream> streams_;
};

LiveOrders::LiveOrders(HostState& state) : state_(state) { thread_ = std::thread([this] { run(); }); }

LiveOrders::~LiveOrders() {
  stop();
  if (thread_.joinable()) thread_.join();
}

bool LiveOrders::take(const restinio::request_handle_t& req) {
  if (req->header().method() != restinio::http_method_get() ||
      !frame::iequals(req->header().path(), "/admin/live_events"))
    return false;
  {
    std::lock_guard lock(mutex_);
    pending_.push_back({req});
  }
  wake_.notify_one();
  return true;
}

void LiveOrders::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
}

void LiveOrders::run() {
  Feed feed(state_, open_);
  Clock::time_point nextBeat = Clock::now() + kHeartbeat;
  Clock::time_point quietUntil{};  // after a failure, the error log gets one line a minute
  while (true) {
    std::deque<Pending> arrived;
    bool stopping;
    {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, kPoll, [this] { return stopping_ || !pending_.empty(); });
      arrived.swap(pending_);
      stopping = stopping_;
    }
    if (stopping) {
      for (Pending& p : arrived) feed.refuse(p, 503, "the server is stopping");
      feed.endAll();
      ended_.store(true);
      return;
    }
    auto failed = [&](const std::exception& e) {
      if (Clock::now() < quietUntil) return;
      state_.errors.write(std::string("live order feed: ") + e.what());
      quietUntil = Clock::now() + std::chrono::minutes(1);
    };
    try {
      feed.dropBroken();
      // With no screen open or opening, no one needs the new orders: the board is read afresh for the next screen.
      if (open_.load() == 0 && arrived.empty())
        feed.forget();
      else
        feed.look();
      if (Clock::now() >= nextBeat) {
        feed.heartbeat();
        nextBeat = Clock::now() + kHeartbeat;
      }
    } catch (const std::exception& e) {
      failed(e);
      for (Pending& p : arrived) feed.refuse(p, 503, "the order feed is not available");
      continue;
    }
    for (Pending& p : arrived) {
      try {
        feed.open(p);
      } catch (const std::exception& e) {
        failed(e);
        feed.refuse(p, 503, "the order feed is not available");
      }
    }
  }
}

}  // namespace tovi::host
