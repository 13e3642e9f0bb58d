// The host's event streams over loopback, with a probe source the test drives:
// framing, catch-up, events, heartbeats, refusals, admissions that lapse, the stop.
#include "host/event_streams.h"

#include <sys/socket.h>
#include <unistd.h>

#include <set>

#include "frame/module1.h"
#include "support/over_http.h"
#include "support/probe_root.h"

using Verdict = frame::Admission::Verdict;

// Admits a session whose "who" is set and not banned, to the channel its query or cookie "ch" names; a stream resumes
// with one event naming where.
struct ProbeSource final : frame::EventSource {
  frame::Admission admit(const frame::StreamVisitor& visitor) override {
    std::lock_guard lock(mutex);
    const std::string who = visitor.session("who").text(), channel = visitor.query("ch") + visitor.cookie("ch");
    return who.empty()         ? frame::Admission{Verdict::NotLoggedIn, "", "who are you", {}}
           : banned.count(who) ? frame::Admission{Verdict::Forbidden, "", "not you", {}}
                               : frame::Admission{Verdict::Admitted, who, "", channel};
  }
  void follow(const std::set<std::string>& channels) override {
    std::lock_guard lock(mutex);
    followed = channels;
  }
  frame::Update poll() override {
    std::lock_guard lock(mutex);
    if (failing) throw std::runtime_error("the probe is down");
    return {std::exchange(changed, false), std::exchange(queued, {})};
  }
  std::vector<frame::Event> since(std::int64_t id) override {
    return {{"missed", id + 1, "@" + std::to_string(id), {}}};
  }
  std::mutex mutex;
  std::vector<frame::Event> queued;
  std::set<std::string> banned, followed;
  bool changed = false, failing = false;
};

// One stream as sent, read off its socket: waitFor() reads until `text` arrived, or with "" until the stream ended (its
// last chunk, or the connection closed); false after 30 s (heartbeats go on).
struct Stream {
  Stream(unsigned short port, const std::string& cookie, const std::string& more = " HTTP/1.1\r\n")
      : fd(connectLoopback(port)) {
    std::string req = "GET /probe/events" + more + "Host: a\r\nCookie: " + cookie + "\r\n\r\n";
    EXPECT_EQ(send(fd, req.data(), req.size(), MSG_NOSIGNAL), static_cast<ssize_t>(req.size()));
  }
  ~Stream() { close(fd); }
  bool waitFor(const std::string& text) {
    char buf[4096];
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (ssize_t n; text.empty() ? !raw.ends_with("\r\n0\r\n\r\n") : raw.find(text) == std::string::npos;)
      if ((n = recv(fd, buf, sizeof buf, 0)) > 0 && std::chrono::steady_clock::now() < giveUp)
        raw.append(buf, static_cast<std::size_t>(n));
      else
        return n == 0 && text.empty();
    return true;
  }
  int fd;
  std::string raw;
};

class EventStreams : public ::testing::Test {
 protected:
  EventStreams() {
    host::ServeOptions o;
    o.streams.push_back({"/Probe/Events", "probe feed", probe});
    o.eventHeartbeat = std::chrono::milliseconds(300);
    // who.asp?who=NAME logs NAME in; without a name it logs out.
    const ProbePage who = {"who.asp", [] {
                             using namespace frame::Module1;
                             std::string name = Request()("who");
                             name.empty() ? Session().Abandon() : Session().Set("who", name);
                           }};
    server = std::make_unique<InProcessServer>(std::vector<ProbePage>{who}, Fields{}, o);
  }
  std::string as(const std::string& who) {  // the session cookie of `who`, logged in
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

// A stream catches up, then carries events and heartbeats until its admission lapses (a change that bans the holder
// ends it at once, a logout at the next heartbeat) or the server stops.
TEST_F(EventStreams, CatchUpThenEventsAndHeartbeatsUntilTheAdmissionLapsesOrTheStop) {
  const std::string bea = as("bea"), cara = as("cara");
  Stream s(server->port(), as("ann"), "?after=2 HTTP/1.1\r\nLast-Event-ID: 4\r\n"), bs(server->port(), bea),
      cs(server->port(), cara);
  ASSERT_TRUE(s.waitFor("\r\nretry: 2000\n\nevent: missed\nid: 5\ndata: @4\n\n\r\n"));
  EXPECT_THAT(s.raw, AllOf(StartsWith("HTTP/1.1 200 "), HasSubstr("text/event-stream")));
  change([](ProbeSource& p) { p.queued = {{"order", 7, "one\ntwo", {}}, {"status", 0, "{}", {}}}; });
  EXPECT_TRUE(s.waitFor("\r\nevent: order\nid: 7\ndata: one\ndata: two\n\nevent: status\ndata: {}\n\n\r\n"));
  EXPECT_TRUE(s.waitFor("\r\n: keep-alive\n\n\r\n"));
  ASSERT_TRUE(bs.waitFor("retry: 2000\n\n") && cs.waitFor("retry: 2000\n\n"));
  change([](ProbeSource& p) { p.banned = {"bea"}, p.changed = true; });
  EXPECT_TRUE(bs.waitFor(""));
  HttpClient(server->port()).get("/who.asp", {{"Cookie", cara}});
  EXPECT_TRUE(cs.waitFor(""));
  EXPECT_EQ(server->stop(), 0);
  EXPECT_TRUE(s.waitFor(""));
}

// The events of a channel reach only the streams admitted to it (named in the query or a cookie), those of none every
// stream; the source hears which channels its streams follow.
TEST_F(EventStreams, ChannelEventsReachOnlyTheirStreams) {
  const std::string ann = as("ann");
  Stream a(server->port(), ann, "?ch=a HTTP/1.1\r\n"), b(server->port(), ann + "; ch=b"), all(server->port(), ann);
  ASSERT_TRUE(a.waitFor("retry: 2000") && b.waitFor("retry: 2000") && all.waitFor("retry: 2000"));
  change([](ProbeSource& p) { p.queued = {{"x", 0, "to a", "a"}, {"x", 0, "to b", "b"}, {"x", 0, "to all", {}}}; });
  for (Stream* s : {&a, &b, &all}) ASSERT_TRUE(s->waitFor("data: to all\n"));
  EXPECT_EQ(occurrences(a.raw + b.raw + all.raw, "data: to"), 5);
  EXPECT_TRUE(a.raw.find("data: to a\n") < a.raw.find("to all") && b.raw.find("data: to b\n") < b.raw.find("to all"));
  change([](ProbeSource& p) { EXPECT_EQ(p.followed, (std::set<std::string>{"a", "b"})); });
}

TEST_F(EventStreams, RefusedWithTheSourcesReasonOrWhileItFails) {
  change([](ProbeSource& p) { p.banned = {"bob"}; });
  const std::tuple<std::string, std::string, std::string, bool> cases[] = {
      {"TOVISESSION=" + std::string(64, 'a'), "401 Unauthorized", "who are you", false},
      {as("bob"), "403 Forbidden", "not you", false},
      {as("ann"), "503 Service Unavailable", "the probe feed is not available", true}};
  for (const auto& [cookie, status, reason, failing] : cases) {
    change([&](ProbeSource& p) { p.failing = failing; });
    Stream s(server->port(), cookie);
    ASSERT_TRUE(s.waitFor("\r\n\r\n" + reason + "\n")) << cookie;
    EXPECT_THAT(s.raw, AllOf(StartsWith("HTTP/1.1 " + status + "\r\n"), Not(HasSubstr("event-stream")))) << cookie;
  }
}

// Last-Event-ID first, then ?after=; a whole number above 0 or nothing.
TEST(EventStreamText, WhereAStreamResumes) {
  const std::tuple<const char*, const char*, std::int64_t> cases[] = {
      {"7", "", 7},          {"", "after=5", 5},   {"7", "after=5", 7},   {"x", "after=5", 5},
      {" 8 ", "", 8},        {"-3", "", 0},        {"0", "after=0", 0},   {"", "after=1&after=2", 0},
      {"", "a=1&AFTER=9", 9}, {"1234567890123456789", "", 0}};
  for (const auto& [lastEventId, query, after] : cases)
    EXPECT_EQ(host::resumeAfter(lastEventId, query), after) << lastEventId << " | " << query;
}
