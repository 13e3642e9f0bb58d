// What a feature implements to offer a long-lived stream of server-sent
// events (the kitchen's live order screen is one), and how it is registered.
// The host serves it; the feature never sees HTTP.
//
//   class Feed final : public frame::EventSource {
//     Admission admit(const StreamVisitor& v) override;        // who may hold a stream
//     Update poll() override;                                  // what happened since the last poll
//     std::vector<Event> since(std::int64_t lastId) override;  // what a reconnecting stream missed
//   };
//   options.streams.push_back({"/admin/live_events", "order feed", std::make_shared<Feed>()});   // in main
//
// The host answers a GET of the path with an event stream held open: admit()
// decides (401 or 403 with its reason otherwise); a stream that names where it
// stopped (its Last-Event-ID, or ?after=N when it first connects) first gets
// since(N); every event of poll() then goes to every open stream of the
// source, or only to those admitted to its channel when it names one. Before
// each poll the host tells the source, by follow(), which channels its open
// streams hold. The host asks admit() again for each open stream after an
// update that says `changed` and at each heartbeat, and ends the stream once it
// is refused or names another holder or channel.
// Threads: the host calls a source from one thread of its own, one call at a
// time, several times a second; a call should take milliseconds, never wait
// for a visitor. The source is built before the server starts.
// Errors: an exception from a call is logged (once a minute at most); the
// streams asking to open meanwhile get 503, the open ones stay, and the next
// poll comes as usual.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "data/value.h"

namespace tovi::frame {

// One server-sent event.
struct Event {
  std::string name;      // its "event:" line; none when empty
  std::int64_t id = 0;   // its "id:" line when above 0: where a stream resumes after it
  std::string data;      // its "data:" lines, one per line of the text
  std::string channel;   // when not empty: only for the streams admitted to this channel
};

// What a source may know of the visitor holding (or asking for) a stream.
class StreamVisitor {
 public:
  virtual ~StreamVisitor() = default;
  // The value the visitor's session holds under `key` (any letter case);
  // Empty when never set or the session is gone. Looking keeps it alive.
  [[nodiscard]] virtual data::Value session(std::string_view key) const = 0;
  // The request's query-string value of `name` (any letter case), as pages read it; "" when absent.
  [[nodiscard]] virtual std::string query(std::string_view name) const = 0;
  // The request's cookie of that name, its whole value as pages read it; "" when absent.
  [[nodiscard]] virtual std::string cookie(std::string_view name) const = 0;
};

struct Admission {
  enum class Verdict { Admitted, NotLoggedIn, Forbidden };  // answered 200, 401, 403
  Verdict verdict = Verdict::NotLoggedIn;
  std::string holder;  // when admitted: whom the stream serves (an account); it ends once another is named
  std::string reason;  // when refused: the answer's short text
  std::string channel;  // when admitted: the stream gets only the events of this channel and those of none
};

struct Update {
  bool changed = false;       // something admissions depend on may have changed
  std::vector<Event> events;  // for every open stream, in order
};

class EventSource {
 public:
  virtual ~EventSource() = default;
  // Whether this visitor may hold a stream now.
  [[nodiscard]] virtual Admission admit(const StreamVisitor& visitor) = 0;
  // What happened since the last poll (the first one only looks).
  [[nodiscard]] virtual Update poll() = 0;
  // The events after id `lastId` that polls have already handed out, in order;
  // never one that a later poll will hand out, so none arrives twice.
  [[nodiscard]] virtual std::vector<Event> since(std::int64_t lastId) = 0;
  // No stream of this source is open or opening: nothing is polled until one
  // asks, so the source may forget what it knows; its next poll then only looks.
  virtual void rest() {}
  // Before each poll: the channels the source's open streams are admitted to
  // (a stream on no channel adds none), so that it reads only what they follow.
  virtual void follow(const std::set<std::string>& /*channels*/) {}
};

// A stream as main registers it with the host.
struct EventStream {
  std::string path;  // "/admin/live_events" (matched in any letter case)
  std::string name;  // for the log and the 503 text: "order feed"
  std::shared_ptr<EventSource> source;
};

}  // namespace tovi::frame
