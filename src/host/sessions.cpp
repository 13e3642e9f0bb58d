#include "host/sessions.h"

#include <sodium.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <stdexcept>
#include <vector>

#include "data/connection.h"
#include "data/engine.h"

namespace tovi::host {

bool Session::KeyLess::operator()(std::string_view a, std::string_view b) const {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

std::string Session::id() const {
  std::lock_guard lock(mutex_);
  return id_;
}

data::Value Session::get(std::string_view key) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  return it == values_.end() ? data::Value() : it->second;
}

void Session::set(std::string_view key, data::Value value) {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  if (it == values_.end()) {
    values_.emplace(std::string(key), std::move(value));
  } else {
    // A page that sets what the session holds already costs no write.
    if (it->second.kind() == value.kind() && it->second == value) return;
    it->second = std::move(value);
  }
  changed_ = true;
}

SessionStore::SessionStore() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium could not start");
}

InProcessSessionStore::InProcessSessionStore(Clock::duration idleTimeout) : timeout_(idleTimeout) {}

std::string SessionStore::newId() {
  unsigned char bytes[32];
  randombytes_buf(bytes, sizeof bytes);
  char hex[sizeof bytes * 2 + 1];
  sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
  return hex;
}

InProcessSessionStore::Shard& InProcessSessionStore::shardOf(std::string_view id) {
  // Ids are random hex: their first character spreads them evenly.
  unsigned char c = id.empty() ? 0 : static_cast<unsigned char>(id[0]);
  return shards_[c % kShards];
}

std::shared_ptr<Session> InProcessSessionStore::create() {
  auto s = std::make_shared<Session>(newId());
  Shard& shard = shardOf(s->id_);
  std::lock_guard lock(shard.mutex);
  shard.sessions.emplace(s->id_, s);
  return s;
}

std::shared_ptr<Session> InProcessSessionStore::find(std::string_view id) {
  if (id.size() != 64) return nullptr;
  Shard& shard = shardOf(id);
  std::lock_guard lock(shard.mutex);
  auto it = shard.sessions.find(std::string(id));
  if (it == shard.sessions.end()) return nullptr;
  std::shared_ptr<Session> s = it->second;
  std::lock_guard slock(s->mutex_);
  Clock::time_point now = Clock::now();
  if (now - s->lastUsed_ > timeout_) {
    shard.sessions.erase(it);
    return nullptr;
  }
  s->lastUsed_ = now;
  return s;
}

void InProcessSessionStore::renew(Session& session) {
  std::string oldId = session.id();
  std::shared_ptr<Session> keep;
  {
    Shard& shard = shardOf(oldId);
    std::lock_guard lock(shard.mutex);
    auto it = shard.sessions.find(oldId);
    if (it != shard.sessions.end()) {
      keep = it->second;
      shard.sessions.erase(it);
    }
  }
  std::string fresh = newId();
  {
    std::lock_guard slock(session.mutex_);
    session.id_ = fresh;
    session.lastUsed_ = Clock::now();
  }
  if (keep) {
    Shard& shard = shardOf(fresh);
    std::lock_guard lock(shard.mutex);
    shard.sessions.emplace(fresh, std::move(keep));
  }
}

void InProcessSessionStore::remove(std::string_view id) {
  Shard& shard = shardOf(id);
  std::lock_guard lock(shard.mutex);
  shard.sessions.erase(std::string(id));
}

std::size_t InProcessSessionStore::sweep() {
  std::size_t dropped = 0;
  Clock::time_point now = Clock::now();
  for (Shard& shard : shards_) {
    std::lock_guard lock(shard.mutex);
    for (auto it = shard.sessions.begin(); it != shard.sessions.end();) {
      bool idle;
      {
        std::lock_guard slock(it->second->mutex_);
        idle = now - it->second->lastUsed_ > timeout_;
      }
      if (idle) {
        it = shard.sessions.erase(it);
        ++dropped;
      } else {
        ++it;
      }
    }
  }
  return dropped;
}

std::size_t InProcessSessionStore::size() const {
  std::size_t n = 0;
  for (const Shard& shard : shards_) {
    std::lock_guard lock(shard.mutex);
    n += shard.sessions.size();
  }
  return n;
}

namespace {

// A session's values as lines of kind, key, tab, value; backslash escapes
// keep tabs, line ends and NULs out of the text (a database text column takes
// no NUL). Decimals in the shortest form that reads back the same bits.
void escaped(std::string& out, std::string_view text) {
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\0') out += "\\0";
    else out += c;
  }
}

std::optional<std::string> unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    char c = text[i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c == '0' ? '\0' : c;
  }
  return out;
}

template <class Map>
std::string serialized(const Map& values) {
  using K = data::Value::Kind;
  std::string out;
  for (const auto& [key, v] : values) {
    std::string text;
    char kind = 'E';
    switch (v.kind()) {
      case K::Empty: break;
      case K::Null: kind = 'N'; break;
      case K::Integer: kind = 'I', text = std::to_string(std::get<std::int64_t>(v.raw())); break;
      case K::Decimal: {
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, std::get<double>(v.raw()));
        kind = 'D', text.assign(buf, r.ptr);
        break;
      }
      case K::Text: kind = 'T', text = std::get<std::string>(v.raw()); break;
      case K::Date: kind = 'A', text = std::to_string(std::get<data::DateTime>(v.raw()).serialSeconds()); break;
      case K::Boolean: kind = 'B', text = std::get<bool>(v.raw()) ? "1" : "0"; break;
    }
    out += kind;
    escaped(out, key);
    out += '\t';
    escaped(out, text);
    out += '\n';
  }
  return out;
}

template <class Number>
std::optional<Number> number(std::string_view text) {
  Number n{};
  auto r = std::from_chars(text.data(), text.data() + text.size(), n);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
  return n;
}

// Fills `values` from serialized(); false when the text is no such thing.
template <class Map>
bool deserialize(std::string_view text, Map& values) {
  while (!text.empty()) {
    std::size_t end = text.find('\n'), tab = text.find('\t');
    if (end == std::string_view::npos || tab > end || tab == 0) return false;
    auto key = unescaped(text.substr(1, tab - 1));
    auto content = unescaped(text.substr(tab + 1, end - tab - 1));
    if (!key || !content) return false;
    data::Value v;
    switch (text[0]) {
      case 'E': break;
      case 'N': v = data::Value::null(); break;
      case 'T': v = data::Value(*content); break;
      case 'B': v = data::Value(*content == "1"); break;
      case 'I': {
        auto n = number<long long>(*content);
        if (!n) return false;
        v = data::Value(*n);
        break;
      }
      case 'D': {
        auto n = number<double>(*content);
        if (!n) return false;
        v = data::Value(*n);
        break;
      }
      case 'A': {
        auto n = number<long long>(*content);
        if (!n) return false;
        v = data::Value(data::DateTime::fromSerialSeconds(*n));
        break;
      }
      default: return false;
    }
    values.insert_or_assign(std::move(*key), std::move(v));
    text.remove_prefix(end + 1);
  }
  return true;
}

// The key of a session's row: a hash of its id, so that what the database
// holds opens no session.
std::string rowKey(std::string_view id) {
  unsigned char hash[32];
  crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(id.data()), id.size(), nullptr, 0);
  char hex[sizeof hash * 2 + 1];
  sodium_bin2hex(hex, sizeof hex, hash, sizeof hash);
  return hex;
}

std::int64_t wallMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A last use older than this is written again by find(): idle expiry is exact
// to within it, and a visitor's requests cost no write in between.
constexpr std::int64_t kTouchMs = 60'000;

}  // namespace

DatabaseSessionStore::DatabaseSessionStore(std::string location, std::chrono::steady_clock::duration idleTimeout)
    : location_(std::move(location)),
      timeoutMs_(std::chrono::floor<std::chrono::milliseconds>(idleTimeout).count()) {}

std::shared_ptr<Session> DatabaseSessionStore::create() {
  auto s = std::make_shared<Session>(newId());
  s->changed_ = true;  // stored by save(), also when nothing is set
  return s;
}

std::shared_ptr<Session> DatabaseSessionStore::find(std::string_view id) {
  if (id.size() != 64) return nullptr;
  const std::string key = rowKey(id);
  data::Connection db(location_);
  std::vector<data::Row> found = db.rows({"select vals, last_use from tovi_sessions where sid=?", {key}});
  if (found.empty()) return nullptr;
  const std::int64_t now = wallMs(), last = found[0][2].toInteger();
  auto s = std::make_shared<Session>(std::string(id));
  if (now - last > timeoutMs_ || !deserialize(found[0][1].text(), s->values_)) {
    db.Execute({"delete from tovi_sessions where sid=? and last_use=?", {key, last}});
    return nullptr;
  }
  if (now - last >= kTouchMs) db.Execute({"update tovi_sessions set last_use=? where sid=?", {now, key}});
  s->storedId_ = s->id_;
  return s;
}

void DatabaseSessionStore::renew(Session& session) {
  std::lock_guard lock(session.mutex_);
  session.id_ = newId();
  session.changed_ = true;
}

void DatabaseSessionStore::remove(std::string_view id) {
  data::Connection(location_).Execute({"delete from tovi_sessions where sid=?", {rowKey(id)}});
}

void DatabaseSessionStore::save(Session& session) {
  std::lock_guard lock(session.mutex_);
  if (!session.changed_) return;
  data::Connection db(location_);
  const std::string key = rowKey(session.id_), vals = serialized(session.values_);
  const std::int64_t now = wallMs();
  if (!session.storedId_.empty() && session.storedId_ != session.id_)
    db.Execute({"delete from tovi_sessions where sid=?", {rowKey(session.storedId_)}});
  // Gone meanwhile (swept, or never stored): stored afresh.
  if (session.storedId_ != session.id_ ||
      db.Execute({"update tovi_sessions set vals=?, last_use=? where sid=?", {vals, now, key}}) == 0)
    db.Execute({"insert into tovi_sessions (sid, vals, last_use) values (?, ?, ?)", {key, vals, now}});
  session.storedId_ = session.id_;
  session.changed_ = false;
}

std::size_t DatabaseSessionStore::sweep() {
  return static_cast<std::size_t>(
      data::Connection(location_).Execute({"delete from tovi_sessions where last_use<?", {wallMs() - timeoutMs_}}));
}

std::size_t DatabaseSessionStore::size() const {
  data::Connection db(location_);
  return static_cast<std::size_t>(db.rows({"select count(*) from tovi_sessions", {}}).at(0).at(1).toInteger());
}

}  // namespace tovi::host
