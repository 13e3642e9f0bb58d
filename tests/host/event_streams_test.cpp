// The host's event streams with a probe source the test drives, over
// loopback: framing, catch-up, heartbeats, refusals, admissions that lapse,
// the clean stop. The kitchen's feed itself: tests/orders/live_feed_test.cpp.
#include <mutex>
#include <set>

#include "frame/module1.h"
#include "host/event_streams.h"
#include "host/in_process.h"
#include "support/event_stream.h"

using Verdict = frame::Admission::Verdict;

// Admits a session whose "who" is set and not banned; a stream resumes with
// one event naming where it resumed.
struct ProbeSource final : frame::EventSource {
  frame::Admission admit(const frame::StreamVisitor& visitor) override {
    std::lock_guard lock(mutex);
    std::string who = visitor.session("who").text();
    if (who.empty()) return {Verdict::NotLoggedIn, "", "who are you"};
    if (banned.count(who)) return {Verdict::Forbidden, "", "not you"};
    return {Verdict::Admitted, who, ""};
  }
  frame::Update poll() override {
    std::lock_guard lock(mutex);
    if (failing) throw std::runtime_error("the probe is down");
    return {std::exchange(changed, false), std::exchange(queued, {})};
  }
  std::vector<frame::Event> since(std::int64_t lastId) override {
    return {{"missed", lastId + 1, "after " + std::to_string(lastId)}};
  }
  std::mutex mutex;
  std::vector<frame::Event> queued;
  std::set<std::string> banned;
  bool changed = false, failing = false;
};

class EventStreams : public ::testing::Test {
 protected:
  EventStreams() {
    host::ServeOptions o;
    o.streams.push_back({"/probe/events", "probe feed", probe});
    o.eventHeartbeat = std::chrono::milliseconds(300);
    // who.asp?who=NAME logs NAME in; without a name it logs out.
    server = std::make_unique<InProcessServer>(std::vector<ProbePage>{{"who.asp", [] {
      std::string who = frame::Module1::Request()("who");
      if (who.empty()) frame::Module1::Session().Abandon();
      else frame::Module1::Session().Set("who", who);
    }}}, Fields{}, o);
  }
  // The session cookie of a visitor logged in as `who`.
  std::string as(const std::string& who) {
    HttpClient http(server->port());
    http.get("/who.asp?who=" + who);
    return "TOVISESSION=" + http.cookies()["TOVISESSION"];
  }
  void change(const std::function<void(ProbeSource&)>& what) {
    std::lock_guard lock(probe->mutex);
    what(*probe);
  }
  std::shared_ptr<ProbeSource> probe = std::make_shared<ProbeSource>();
  std::unique_ptr<InProcessServer> server;
};

TEST_F(EventStreams, CatchUpThenEventsThenHeartbeatsInChunks) {
  EventStreamClient s(server->port(), as("ann"), "Last-Event-ID: 4\r\n", "/Probe/Events?after=2");
  ASSERT_TRUE(s.waitFor("retry: 2000\n\nevent: missed\nid: 5\ndata: after 4\n\n"));
  EXPECT_THAT(s.head(), StartsWith("HTTP/1.1 200 "));
  expectTexts(s.head(), {"Content-Type: text/event-stream; charset=utf-8\r\n", "Cache-Control: no-store\r\n",
                         "X-Accel-Buffering: no\r\n"});
  change([](ProbeSource& p) { p.queued = {{"order", 7, "one\ntwo"}, {"status", 0, "{}"}}; });
  EXPECT_TRUE(s.waitFor("event: order\nid: 7\ndata: one\ndata: two\n\nevent: status\ndata: {}\n\n"));
  EXPECT_TRUE(s.waitFor(": keep-alive\n\n"));
}

TEST_F(EventStreams, RefusedWithTheSourcesReasonOrWhileItFails) {
  change([](ProbeSource& p) { p.banned = {"bob"}; });
  struct Case {
    std::string cookie, status, text;
    bool failing = false;
  };
  for (const Case& c : {Case{"", "401 Unauthorized", "who are you"},
                        Case{"TOVISESSION=" + std::string(64, 'a'), "401 Unauthorized", "who are you"},
                        Case{as("bob"), "403 Forbidden", "not you"},
                        Case{as("ann"), "503 Service Unavailable", "the probe feed is not available", true}}) {
    SCOPED_TRACE(c.text);
    change([&](ProbeSource& p) { p.failing = c.failing; });
    EventStreamClient s(server->port(), c.cookie, "", "/probe/events");
    ASSERT_TRUE(s.readUntil([&] { return s.raw().ends_with("\r\n\r\n" + c.text + "\n"); }));
    EXPECT_THAT(s.raw(), StartsWith("HTTP/1.1 " + c.status + "\r\n"));
    EXPECT_THAT(s.raw(), Not(HasSubstr("event-stream")));
  }
}

// A change that bans the holder ends its stream; a logout ends it at the next heartbeat.
TEST_F(EventStreams, AStreamEndsOnceItsAdmissionLapses) {
  std::string cara = as("cara");
  EventStreamClient ann(server->port(), as("ann"), "", "/probe/events"), cs(server->port(), cara, "", "/probe/events");
  ASSERT_TRUE(ann.waitFor("retry: 2000\n\n"));
  ASSERT_TRUE(cs.waitFor("retry: 2000\n\n"));
  change([](ProbeSource& p) {
    p.banned = {"ann"};
    p.changed = true;
  });
  EXPECT_TRUE(ann.waitForEnd());
  HttpClient logout(server->port());
  logout.cookies()["TOVISESSION"] = cara.substr(cara.find('=') + 1);
  logout.get("/who.asp");
  EXPECT_TRUE(cs.waitForEnd());
}

TEST_F(EventStreams, TheCleanStopEndsEveryStream) {
  EventStreamClient a(server->port(), as("ann"), "", "/probe/events"), b(server->port(), as("bo"), "", "/probe/events");
  ASSERT_TRUE(a.waitFor("retry: 2000\n\n"));
  ASSERT_TRUE(b.waitFor("retry: 2000\n\n"));
  EXPECT_EQ(server->stop(), 0);
  EXPECT_TRUE(a.waitForEnd());
  EXPECT_TRUE(b.waitForEnd());
}

TEST(EventStreamText, WhereAStreamResumes) {
  const std::tuple<const char*, const char*, std::int64_t> cases[] = {
      {"7", "", 7},   {"", "after=5", 5},     {"7", "after=5", 7}, {"x", "after=5", 5},  {" 8 ", "", 8},
      {"-3", "", 0},  {"0", "after=0", 0},    {"", "after=1&after=2", 0}, {"1234567890123456789", "", 0},
      {"", "", 0},    {"", "a=1&AFTER=9", 9}};
  for (const auto& [lastEventId, query, after] : cases)
    EXPECT_EQ(host::resumeAfter(lastEventId, query), after) << lastEventId << " | " << query;
}

TEST(EventStreamText, EventsAsSent) {
  const std::pair<frame::Event, const char*> cases[] = {
      {{"order", 7, "{\"id\":7}"}, "event: order\nid: 7\ndata: {\"id\":7}\n\n"},
      {{"", 0, "a\nb"}, "data: a\ndata: b\n\n"},
      {{"status", 0, ""}, "event: status\ndata: \n\n"},
      {{"", -1, "x\n"}, "data: x\ndata: \n\n"}};
  for (const auto& [event, text] : cases) EXPECT_EQ(host::eventText(event), text);
}
