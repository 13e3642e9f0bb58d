// One server-sent event stream read straight off its socket, its chunked
// framing taken off and checked: for the host's streams and the features' feeds.
//
//   EventStreamClient s(port, "TOVISESSION=...", "Last-Event-ID: 7\r\n");
//   ASSERT_TRUE(s.waitFor("retry: 2000\n\n"));
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "support/live_server.h"
#include "support/testing.h"

namespace tovi::testing {

class EventStreamClient {
 public:
  EventStreamClient(unsigned short port, const std::string& cookie, const std::string& extra = "",
                    const std::string& target = "/admin/live_events")
      : fd_(connectLoopback(port)) {
    std::string req = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n" +
                      (cookie.empty() ? "" : "Cookie: " + cookie + "\r\n") + extra + "\r\n";
    EXPECT_EQ(send(fd_, req.data(), req.size(), MSG_NOSIGNAL), static_cast<ssize_t>(req.size()));
  }
  ~EventStreamClient() { close(fd_); }

  // Reads until `done()` or the connection's end (or its 30 s receive timeout).
  bool readUntil(const std::function<bool()>& done) {
    char buf[8192];
    for (ssize_t n; !done(); raw_.append(buf, static_cast<std::size_t>(n))) {
      if (eof_ || (n = recv(fd_, buf, sizeof buf, 0)) <= 0) {
        eof_ = true;
        return done();
      }
    }
    return true;
  }
  bool waitFor(const std::string& text) { return readUntil([&] { return body().find(text) != std::string::npos; }); }
  // The stream ended: its last chunk arrived or the server closed the connection.
  bool waitForEnd() { return readUntil([&] { return eof_ || raw_.ends_with("\r\n0\r\n\r\n"); }); }
  // The status line and headers, once read.
  std::string head() {
    readUntil([&] { return raw_.find("\r\n\r\n") != std::string::npos; });
    return raw_.substr(0, raw_.find("\r\n\r\n") + 2);
  }
  // The event text so far, chunk framing taken off.
  std::string body() const {
    std::string out;
    std::size_t end = raw_.find("\r\n\r\n");
    if (end == std::string::npos || raw_.substr(0, end + 2).find("Transfer-Encoding: chunked\r\n") == std::string::npos)
      return "";
    for (std::size_t pos = end + 4, eol; (eol = raw_.find("\r\n", pos)) != std::string::npos;) {
      std::size_t size = std::stoul(raw_.substr(pos, eol - pos), nullptr, 16);
      if (size == 0 || eol + 2 + size + 2 > raw_.size()) break;
      EXPECT_EQ(raw_.substr(eol + 2 + size, 2), "\r\n");
      out += raw_.substr(eol + 2, size);
      pos = eol + 2 + size + 2;
    }
    return out;
  }
  // All that arrived: the head and the body as sent.
  const std::string& raw() const { return raw_; }

 private:
  int fd_;
  std::string raw_;
  bool eof_ = false;
};

}  // namespace tovi::testing
