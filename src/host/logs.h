// The server's two logs. The access log gets one line per request and is
// written through a buffer that a background thread flushes (about every
// 200 ms, or sooner when it grows), so logging costs requests little. The error
// log is written at once: it is rare and must not be lost.
//
//   AccessLog access("");                // "" standard output, "-" none, else a file
//   access.line("127.0.0.1 \"GET /test.asp\" 200 4 0.120ms");
//   ErrorLog errors("");                 // "" standard error
//   errors.write("req 3f2a-17 GET /x.asp: what went wrong");
#pragma once

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace tovi::host {

// "2024-03-09 10:00:00" in local time, recomputed at most once a second.
std::string logTime();

class AccessLog {
 public:
  explicit AccessLog(const std::string& target);
  ~AccessLog();  // flushes what is buffered
  AccessLog(const AccessLog&) = delete;
  AccessLog& operator=(const AccessLog&) = delete;

  bool enabled() const { return file_ != nullptr; }
  // Appends one line (the line break is added).
  void line(std::string_view text);
  void flush();

 private:
  void run();
  std::FILE* file_ = nullptr;
  bool own_ = false;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::string buffer_;
  bool stop_ = false;
  std::thread flusher_;
};

class ErrorLog {
 public:
  explicit ErrorLog(const std::string& target);
  ~ErrorLog();
  ErrorLog(const ErrorLog&) = delete;
  ErrorLog& operator=(const ErrorLog&) = delete;
  // Writes "<time> <text>" and flushes.
  void write(std::string_view text);

 private:
  std::FILE* file_ = nullptr;
  bool own_ = false;
  std::mutex mutex_;
};

}  // namespace tovi::host
