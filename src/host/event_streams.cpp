#include "host/event_streams.h"

#include <algorithm>
#include <list>
#include <map>
#include <memory>
#include <set>

#include "data/value.h"
#include "frame/text.h"
#include "host/reply.h"
#include "host/request_values.h"
#include "host/response_values.h"

namespace tovi::host {
namespace {

using Clock = std::chrono::steady_clock;
using Chunked = restinio::response_builder_t<restinio::chunked_output_t>;
using Verdict = frame::Admission::Verdict;

constexpr auto kPoll = std::chrono::milliseconds(100);

std::shared_ptr<const std::string> bytes(std::string s) { return std::make_shared<const std::string>(std::move(s)); }

// A whole number above 0 from a header or query value; 0 otherwise.
std::int64_t positiveId(std::string_view text) {
  std::string t = frame::trim(text);
  if (t.empty() || t.size() > 18 || !data::isWholeNumber(t) || t[0] == '-') return 0;
  return std::stoll(t);
}

// Who asks for a stream, as the host keeps it for the stream's life: its
// session id, query string and cookies.
struct Asker {
  std::string sessionId;
  std::string query;
  Pairs cookies;  // raw values

  explicit Asker(const restinio::request_t& req)
      : query(std::string(req.header().query())),
        cookies(parseCookieHeader(req.header().get_field_or(restinio::http_field::cookie, ""))) {
    for (const auto& [name, value] : cookies)
      if (frame::iequals(name, kSessionCookie)) sessionId = value;
  }
};

// The visitor of a stream, as its session holds it now.
class Visitor final : public frame::StreamVisitor {
 public:
  Visitor(SessionStore& sessions, const Asker& asker) : session_(sessions.find(asker.sessionId)), asker_(asker) {}
  data::Value session(std::string_view key) const override { return session_ ? session_->get(key) : data::Value(); }
  std::string query(std::string_view name) const override { return joined(parsePairs(asker_.query), name); }
  std::string cookie(std::string_view name) const override {
    for (const auto& [n, value] : asker_.cookies)
      if (frame::iequals(n, name)) return cookieText(value);
    return "";
  }

 private:
  std::shared_ptr<Session> session_;
  const Asker& asker_;
};

struct Stream {
  Chunked resp;
  std::size_t source;
  Asker asker;
  std::string holder, channel;
  std::shared_ptr<std::atomic<bool>> broken = std::make_shared<std::atomic<bool>>(false);

  void send(const std::shared_ptr<const std::string>& b) {
    resp.append_chunk(b);
    resp.flush([broken = broken](const restinio::asio_ns::error_code& ec) {
      if (ec) broken->store(true);
    });
  }
  void end() { resp.done(); }
};

}  // namespace

std::int64_t resumeAfter(std::string_view lastEventId, std::string_view query) {
  std::int64_t after = positiveId(lastEventId);
  return after ? after : positiveId(joined(parsePairs(query), "after"));
}

std::string textFor(const std::vector<frame::Event>& events, const std::string& channel) {
  std::string out;
  for (const frame::Event& e : events)
    if (e.channel.empty() || e.channel == channel) out += eventText(e);
  return out;
}

std::string eventText(const frame::Event& event) {
  std::string out;
  if (!event.name.empty()) out += "event: " + event.name + "\n";
  if (event.id > 0) out += "id: " + std::to_string(event.id) + "\n";
  std::string_view data = event.data;
  for (std::size_t eol; (eol = data.find('\n')) != std::string_view::npos; data.remove_prefix(eol + 1))
    (out += "data: ").append(data.substr(0, eol)) += '\n';
  (out += "data: ").append(data) += "\n\n";
  return out;
}

// What the feed thread holds: the open streams and which sources fail.
class EventStreams::Feed {
 public:
  Feed(HostState& state, const std::vector<frame::EventStream>& sources, std::atomic<std::size_t>& open)
      : state_(state),
        sources_(sources),
        open_(open),
        failing_(sources.size(), false),
        resting_(sources.size(), false) {}

  // Polls every source: its events go to its streams, after the admissions
  // are asked again when it says something changed.
  void poll(const std::deque<Pending>& arrived) {
    for (std::size_t i = 0; i < sources_.size(); ++i) {
      // A source nobody follows is not polled (its first poll after a rest only looks).
      auto follows = [i](const auto& x) { return x.source == i; };
      if (std::none_of(streams_.begin(), streams_.end(), follows) &&
          std::none_of(arrived.begin(), arrived.end(), follows)) {
        if (!resting_[i]) sources_[i].source->rest();
        resting_[i] = true;
        continue;
      }
      resting_[i] = false;
      try {
        std::set<std::string> channels;
        for (const Stream& s : streams_)
          if (s.source == i && !s.channel.empty()) channels.insert(s.channel);
        sources_[i].source->follow(channels);
        frame::Update update = sources_[i].source->poll();
        failing_[i] = false;
        if (update.changed) dropRefused(i);
        if (!update.events.empty()) broadcast(i, update.events);
      } catch (const std::exception& e) {
        failing_[i] = true;
        failed(i, e);
      }
    }
  }

  void heartbeat() {
    for (std::size_t i = 0; i < sources_.size(); ++i) {
      try {
        dropRefused(i);
      } catch (const std::exception& e) {
        failed(i, e);
      }
    }
    auto beat = bytes(": keep-alive\n\n");
    for (Stream& s : streams_) s.send(beat);
  }

  // Answers a new stream: refused, or opened with the events it missed.
  void open(Pending& p) {
    const frame::EventStream& registered = sources_[p.source];
    if (failing_[p.source]) return refuse(p, 503, "the " + registered.name + " is not available");
    try {
      restinio::request_t& req = *p.req;
      Asker asker(req);
      frame::Admission admission = registered.source->admit(Visitor(*state_.sessions, asker));
      if (admission.verdict != Verdict::Admitted)
        return refuse(p, admission.verdict == Verdict::NotLoggedIn ? 401 : 403, admission.reason);
      std::string first = "retry: 2000\n\n";
      if (std::int64_t after = resumeAfter(req.header().get_field_or("Last-Event-ID", ""), req.header().query()))
        first += textFor(registered.source->since(after), admission.channel);
      Stream s{req.create_response<restinio::chunked_output_t>(), p.source, std::move(asker), admission.holder,
               admission.channel};
      s.resp.append_header(restinio::http_field::content_type, "text/event-stream; charset=utf-8");
      s.resp.append_header(restinio::http_field::cache_control, "no-store");
      s.resp.append_header(restinio::http_field::date, std::string(httpDateNow()));
      s.resp.append_header("X-Accel-Buffering", "no");
      s.send(bytes(std::move(first)));
      logLine(req, 200);
      streams_.push_back(std::move(s));
      open_.store(streams_.size());
    } catch (const std::exception& e) {
      failed(p.source, e);
      refuse(p, 503, "the " + registered.name + " is not available");
    }
  }

  void refuse(Pending& p, int status, const std::string& why) {
    auto resp = p.req->create_response(
        restinio::http_status_line_t{restinio::http_status_code_t{static_cast<std::uint16_t>(status)},
                                     reasonPhrase(status)});
    resp.append_header(restinio::http_field::content_type, "text/plain; charset=utf-8");
    resp.append_header(restinio::http_field::date, std::string(httpDateNow()));
    resp.append_header(restinio::http_field::cache_control, "no-store");
    resp.set_body(why + "\n");
    resp.done();
    logLine(*p.req, status);
  }

  // Streams whose write failed (the visitor went away) are forgotten.
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
  // Ends the streams of source `i` it no longer admits, or admits for
  // another holder; looking their sessions up keeps them alive.
  void dropRefused(std::size_t i) {
    frame::EventSource& source = *sources_[i].source;
    std::erase_if(streams_, [&](Stream& s) {
      if (s.source != i) return false;
      frame::Admission now = source.admit(Visitor(*state_.sessions, s.asker));
      bool keep = now.verdict == Verdict::Admitted && now.holder == s.holder && now.channel == s.channel;
      if (!keep) s.end();
      return !keep;
    });
    open_.store(streams_.size());
  }

  // Each stream of source `i` gets the events of no channel and those of its own, the bytes made once a channel.
  void broadcast(std::size_t i, const std::vector<frame::Event>& events) {
    std::map<std::string, std::shared_ptr<const std::string>> texts;
    for (Stream& s : streams_) {
      if (s.source != i) continue;
      auto& text = texts[s.channel];
      if (!text) text = bytes(textFor(events, s.channel));
      if (!text->empty()) s.send(text);
    }
  }

  // A failure goes to the error log once a minute at most.
  void failed(std::size_t i, const std::exception& e) {
    if (Clock::now() < quietUntil_) return;
    state_.errors.write(sources_[i].name + ": " + e.what());
    quietUntil_ = Clock::now() + std::chrono::minutes(1);
  }

  void logLine(const restinio::request_t& req, int status) {
    if (!state_.access.enabled()) return;
    state_.access.line(clientOf(state_, req).address + " [" + logTime() + "] \"GET " +
                       std::string(req.header().request_target()) + "\" " + std::to_string(status) + " 0 stream");
  }

  HostState& state_;
  const std::vector<frame::EventStream>& sources_;
  std::atomic<std::size_t>& open_;
  std::vector<bool> failing_;  // by source: its last poll failed
  std::vector<bool> resting_;  // by source: told to rest, not polled since
  Clock::time_point quietUntil_{};
  std::list<Stream> streams_;
};

EventStreams::EventStreams(HostState& state, std::vector<frame::EventStream> streams,
                           std::chrono::milliseconds heartbeat)
    : state_(state), streams_(std::move(streams)), heartbeat_(heartbeat) {
  if (streams_.empty()) ended_.store(true);
  else thread_ = std::thread([this] { run(); });
}

EventStreams::~EventStreams() {
  stop();
  if (thread_.joinable()) thread_.join();
}

bool EventStreams::take(const restinio::request_handle_t& req) {
  if (streams_.empty() || req->header().method() != restinio::http_method_get()) return false;
  for (std::size_t i = 0; i < streams_.size(); ++i) {
    if (!frame::iequals(req->header().path(), streams_[i].path)) continue;
    {
      std::lock_guard lock(mutex_);
      pending_.push_back({req, i});
    }
    wake_.notify_one();
    return true;
  }
  return false;
}

void EventStreams::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
}

void EventStreams::run() {
  Feed feed(state_, streams_, open_);
  Clock::time_point nextBeat = Clock::now() + heartbeat_;
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
    feed.dropBroken();
    feed.poll(arrived);
    if (Clock::now() >= nextBeat) {
      feed.heartbeat();
      nextBeat = Clock::now() + heartbeat_;
    }
    for (Pending& p : arrived) feed.open(p);
  }
}

}  // namespace tovi::host
