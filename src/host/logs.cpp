#include "host/logs.h"

#include <ctime>
#include <stdexcept>

namespace tovi::host {

std::string logTime() {
  thread_local std::time_t cachedAt = 0;
  thread_local char text[32] = "";
  std::time_t now = std::time(nullptr);
  if (now != cachedAt) {
    std::tm tm{};
    localtime_r(&now, &tm);
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    cachedAt = now;
  }
  return text;
}

namespace {
std::FILE* openLog(const std::string& target, std::FILE* standard, bool& own) {
  own = false;
  if (target == "-") return nullptr;
  if (target.empty()) return standard;
  std::FILE* f = std::fopen(target.c_str(), "a");
  if (!f) throw std::runtime_error("cannot open log file " + target);
  own = true;
  return f;
}
}  // namespace

AccessLog::AccessLog(const std::string& target) : file_(openLog(target, stdout, own_)) {
  if (file_) flusher_ = std::thread([this] { run(); });
}

AccessLog::~AccessLog() {
  if (flusher_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    flusher_.join();
  }
  flush();
  if (own_) std::fclose(file_);
}

void AccessLog::line(std::string_view text) {
  if (!file_) return;
  bool big;
  {
    std::lock_guard lock(mutex_);
    buffer_.append(text);
    buffer_ += '\n';
    big = buffer_.size() > (64u << 10);
  }
  if (big) wake_.notify_one();
}

void AccessLog::flush() {
  if (!file_) return;
  std::string out;
  {
    std::lock_guard lock(mutex_);
    out.swap(buffer_);
  }
  if (out.empty()) return;
  std::fwrite(out.data(), 1, out.size(), file_);
  std::fflush(file_);
}

void AccessLog::run() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    wake_.wait_for(lock, std::chrono::milliseconds(200));
    lock.unlock();
    flush();
    lock.lock();
  }
}

ErrorLog::ErrorLog(const std::string& target) : file_(openLog(target, stderr, own_)) {}

ErrorLog::~ErrorLog() {
  if (own_) std::fclose(file_);
}

void ErrorLog::write(std::string_view text) {
  if (!file_) return;
  std::string line = logTime() + " " + std::string(text) + "\n";
  std::lock_guard lock(mutex_);
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace tovi::host
