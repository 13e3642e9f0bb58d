// Open live screens while clients order as fast as they can:
//   live_screens <port> <session cookie> <screens> <clients> <seconds>
// Each client posts storefront orders (dctj.asp) on one keep-alive connection;
// each screen follows /admin/live_events. Prints the orders stored per second
// and the delay from sending an order to its event on the screens (median and
// 99th percentile over every screen's copy of every order). The delay counts
// from the moment the order's request was sent, so it includes the commit.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int connectTo(unsigned short port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  inet_pton(AF_INET, "127.0.0.1", &addr.sin_addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    std::perror("connect");
    std::exit(1);
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

void sendAll(int fd, const std::string& s) {
  for (std::size_t sent = 0; sent < s.size();) {
    ssize_t n = send(fd, s.data() + sent, s.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) std::exit(1);
    sent += static_cast<std::size_t>(n);
  }
}

// Reads one answer with a Content-Length; returns its status.
int readAnswer(int fd, std::string& buf) {
  char tmp[16384];
  while (true) {
    std::size_t end = buf.find("\r\n\r\n");
    if (end != std::string::npos) {
      std::size_t at = buf.find("Content-Length: ");
      std::size_t length = at != std::string::npos && at < end ? std::stoul(buf.substr(at + 16)) : 0;
      if (buf.size() >= end + 4 + length) {
        int status = std::stoi(buf.substr(9, 3));
        buf.erase(0, end + 4 + length);
        return status;
      }
    }
    ssize_t n = recv(fd, tmp, sizeof tmp, 0);
    if (n <= 0) return 0;
    buf.append(tmp, static_cast<std::size_t>(n));
  }
}

double percentile(std::vector<double>& v, double p) {
  if (v.empty()) return 0;
  std::size_t k = std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())));
  std::nth_element(v.begin(), v.begin() + static_cast<long>(k), v.end());
  return v[k];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: live_screens <port> <cookie> <screens> <clients> <seconds>\n");
    return 2;
  }
  const auto port = static_cast<unsigned short>(std::atoi(argv[1]));
  const std::string cookie = argv[2];
  const int screens = std::atoi(argv[3]), clients = std::atoi(argv[4]), seconds = std::atoi(argv[5]);

  // The screens, read by one thread; each keeps the names it saw and when.
  struct Screen {
    int fd;
    std::string buf;
    bool open = false;
    std::vector<std::pair<std::string, Clock::time_point>> seen;
  };
  std::vector<Screen> all(static_cast<std::size_t>(screens));
  for (Screen& s : all) {
    s.fd = connectTo(port);
    sendAll(s.fd, "GET /admin/live_events HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: " + cookie + "\r\n\r\n");
  }
  std::atomic<bool> reading{true};
  std::atomic<int> opened{0};
  std::thread reader([&] {
    std::vector<pollfd> fds;
    for (Screen& s : all) fds.push_back({s.fd, POLLIN, 0});
    char tmp[65536];
    while (reading.load()) {
      if (poll(fds.data(), fds.size(), 50) <= 0) continue;
      Clock::time_point now = Clock::now();
      for (std::size_t i = 0; i < fds.size(); ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
        Screen& s = all[i];
        ssize_t n = recv(s.fd, tmp, sizeof tmp, 0);
        if (n <= 0) {
          fds[i].fd = -1;
          continue;
        }
        s.buf.append(tmp, static_cast<std::size_t>(n));
        if (!s.open && s.buf.find("retry:") != std::string::npos) {
          s.open = true;
          opened.fetch_add(1);
        }
        std::size_t at;
        while ((at = s.buf.find("\"name\":\"")) != std::string::npos) {
          std::size_t end = s.buf.find('"', at + 8);
          if (end == std::string::npos) break;
          s.seen.emplace_back(s.buf.substr(at + 8, end - at - 8), now);
          s.buf.erase(0, end);
        }
        if (s.buf.size() > 4096 && s.buf.find("\"name\":\"") == std::string::npos) s.buf.erase(0, s.buf.size() - 16);
      }
    }
  });
  Clock::time_point wait = Clock::now() + std::chrono::seconds(30);
  while (opened.load() < screens && Clock::now() < wait) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (opened.load() < screens) {
    std::fprintf(stderr, "live_screens: only %d of %d screens opened\n", opened.load(), screens);
    return 1;
  }

  // The clients.
  std::vector<std::vector<std::pair<std::string, Clock::time_point>>> sent(static_cast<std::size_t>(clients));
  std::atomic<long> stored{0}, failed{0};
  const Clock::time_point start = Clock::now(), stop = start + std::chrono::seconds(seconds);
  std::vector<std::thread> threads;
  const std::string site = "127.0.0.1:" + std::to_string(port);  // an order from the site's own page
  for (int t = 0; t < clients; ++t)
    threads.emplace_back([&, t] {
      int fd = connectTo(port);
      std::string buf;
      for (long n = 0; Clock::now() < stop; ++n) {
        std::string name = "b" + std::to_string(t) + "x" + std::to_string(n);
        std::string body = "list=%A1%C0%BC%A6+12%D4%AA+X+1%B7%DD%3D12%D4%AA+%0A%0A&list1=12&yhm=" + name +
                           "&telsss=87001234&zffs=x&addresss=road&qtbz=&hours=12&minutes=30";
        sent[static_cast<std::size_t>(t)].emplace_back(name, Clock::now());
        sendAll(fd, "POST /dctj.asp HTTP/1.1\r\nHost: " + site + "\r\nOrigin: http://" + site +
                        "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\n\r\n" + body);
        if (readAnswer(fd, buf) == 200) stored.fetch_add(1);
        else failed.fetch_add(1);
      }
      close(fd);
    });
  for (std::thread& t : threads) t.join();
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  std::this_thread::sleep_for(std::chrono::seconds(3));  // the last events
  reading.store(false);
  reader.join();

  std::unordered_map<std::string, Clock::time_point> when;
  for (auto& v : sent)
    for (auto& [name, t] : v) when.emplace(name, t);
  std::vector<double> delays;
  long duplicates = 0;
  for (Screen& s : all) {
    std::unordered_map<std::string, int> count;
    for (auto& [name, t] : s.seen) {
      auto it = when.find(name);
      if (it == when.end()) continue;
      if (++count[name] > 1) ++duplicates;
      delays.push_back(std::chrono::duration<double, std::milli>(t - it->second).count());
    }
    close(s.fd);
  }
  const long expected = stored.load() * screens;
  std::printf("screens %d  clients %d  orders stored %ld (%.0f/s)  failed %ld\n", screens, clients, stored.load(),
              static_cast<double>(stored.load()) / took, failed.load());
  if (screens > 0) {
    double median = percentile(delays, 0.5), p99 = percentile(delays, 0.99);
    std::printf("events %zu of %ld  duplicates %ld  commit-to-screen delay median %.1f ms  p99 %.1f ms\n",
                delays.size(), expected, duplicates, median, p99);
  }
  return 0;
}
