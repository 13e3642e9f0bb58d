#include "host/server.h"

#include <malloc.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <thread>

#include <restinio/all.hpp>

#include "data/engine.h"
#include "frame/text.h"
#include "host/dispatch.h"
#include "host/event_streams.h"
#include "host/limited_socket.h"
#include "host/static_files.h"
#include "host/worker_pool.h"

namespace tovi::host {
namespace {

using Clock = std::chrono::steady_clock;

// A request on its way to a page worker: what the I/O thread already found
// out about its path goes along, so the worker does not look it up again.
struct Job {
  restinio::request_handle_t req;
  Resolved target;
  Clock::time_point arrived;  // only when the access log is kept
};

unsigned workerCount(const ServeOptions& o) {
  if (o.threads) return o.threads;
  unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  // Pages wait on the disk (a commit) now and then, and orders that reach the
  // write queue together share one commit: more workers than cores, which
  // cost nothing while they wait (the pool wakes one only for such a wait).
  return std::max(8u, cores * 2);
}

std::string accessLine(std::string_view client, std::string_view method, std::string_view target, int status,
                       std::size_t bytes, Clock::duration took) {
  char tail[96];
  std::snprintf(tail, sizeof tail, "\" %d %zu %.3fms", status, bytes,
                std::chrono::duration<double, std::milli>(took).count());
  std::string line;
  line.reserve(96 + target.size());
  line += client;
  line += " [";
  line += logTime();
  line += "] \"";
  line += method;
  line += ' ';
  line += target;
  line += tail;
  return line;
}

// The 413 a connection's socket sends itself for a body over the limit
// (limited_socket.h), whole, with the headers every answer carries.
std::string refusedAnswer(HostState& state, const Refused& who) {
  Reply r = tooLarge();
  std::string out = "HTTP/1.1 413 " + std::string(reasonPhrase(r.status)) + "\r\nDate: " + std::string(httpDateNow()) +
                    "\r\nConnection: close\r\nContent-Length: " + std::to_string(r.body.size()) + "\r\n";
  for (const auto& [name, value] : r.headers) out += name + ": " + value + "\r\n";
  for (const auto& [name, value] : state.answerHeaders) out += name + ": " + value + "\r\n";
  out += "\r\n" + r.body;
  if (state.access.enabled())
    state.access.line(accessLine(who.client, who.method, who.target, r.status, r.body.size(), {}));
  return out;
}

// RESTinio's traits with the socket that holds request bodies to their limits.
template <class Base>
struct Limited : Base {
  using stream_socket_t = LimitedSocket;
};

template <class Traits>
int run(const ServeOptions& options, HostState& state) {
  auto io = std::make_shared<restinio::asio_ns::io_context>();
  std::atomic<long> inFlight{0};
  std::atomic<bool> stopping{false};

  // The headers every answer carries, as RESTinio keeps them: copied into
  // each answer without looking their names up again.
  std::vector<restinio::http_header_field_t> answerHeaders;
  for (const auto& [name, value] : state.answerHeaders) answerHeaders.emplace_back(name, value);
  const bool timed = state.access.enabled();

  // The answer as RESTinio sends it, with its access log line. Every answer
  // carries a Date; a HEAD (or a bodyless reply) announces the length the
  // body has and sends none of it. Safe on any thread.
  auto respond = [&](const restinio::request_handle_t& handle, Reply& r, Clock::time_point arrived) {
    const restinio::request_t& req = *handle;
    bool withBody = !r.bodyless && req.header().method() != restinio::http_method_head();
    auto resp = handle->create_response<restinio::user_controlled_output_t>(
        restinio::http_status_line_t{restinio::http_status_code_t{static_cast<std::uint16_t>(r.status)},
                                     reasonPhrase(r.status)});
    resp.append_header(restinio::http_field::date, std::string(httpDateNow()));
    for (auto& [name, value] : r.headers) resp.append_header(std::move(name), std::move(value));
    // The same few headers on every answer; a page that set one keeps its own.
    for (const restinio::http_header_field_t& field : answerHeaders) {
      if (!resp.header().has_field(field.name())) resp.append_header(field);
    }
    if (stopping.load(std::memory_order_relaxed)) resp.connection_close();
    std::size_t length = r.body.size();
    if (!r.filePath.empty()) {
      try {
        auto file = restinio::sendfile(r.filePath);
        length = static_cast<std::size_t>(file.size());
        if (withBody) resp.set_body(std::move(file));
      } catch (const std::exception& e) {
        length = 0;
        state.errors.write("sending " + r.filePath + ": " + e.what());
      }
    } else if (r.shared) {
      length = r.shared->size();
      if (withBody) resp.set_body(std::move(r.shared));
    } else if (withBody) {
      resp.set_body(std::move(r.body));
    }
    resp.set_content_length(length);
    if (timed)
      state.access.line(accessLine(clientOf(state, req).address, req.header().method().c_str(),
                                   req.header().request_target(), r.status, withBody ? length : 0,
                                   Clock::now() - arrived));
    try {
      resp.done();
    } catch (const std::exception& e) {
      state.errors.write(std::string("sending an answer: ") + e.what());
    }
  };

  // A worker sends its answer itself: RESTinio hands the bytes to the
  // connection's I/O thread (a post to its io_context, which asio folds into
  // one wake-up of the loop when several arrive while it waits), so the
  // header is built on the worker and the I/O thread only writes.
  WorkerPool<Job> pool(workerCount(options), [&](Job& job) {
    thread_local const bool told = (data::setWriteWaitNotice([&pool](bool waits) { pool.waiting(waits); }), true);
    (void)told;
    Reply r = handle(state, *job.req, std::move(job.target));
    respond(job.req, r, job.arrived);
    job.req.reset();
    inFlight.fetch_sub(1);
  });

  // The event streams: held open by the I/O thread, fed by a thread of their own.
  EventStreams streams(state, options.streams, options.eventHeartbeat);

  asio::make_service<BodyRefusals>(*io, state.bodyLimits,
                                   [&state](const Refused& who) { return refusedAnswer(state, who); });
  restinio::server_settings_t<Traits> settings;
  unsigned short boundPort = 0;
  settings.port(options.port)
      .address(options.address)
      .read_next_http_message_timelimit(options.idleTimeout)
      .write_http_response_timelimit(std::chrono::seconds(60))
      .handle_request_timeout(options.pageTimeout)
      .incoming_http_msg_limits(restinio::incoming_http_msg_limits_t{}.max_body_size(receiveLimit(options)))
      .acceptor_post_bind_hook(
          [&boundPort](restinio::asio_ns::ip::tcp::acceptor& a) { boundPort = a.local_endpoint().port(); })
      .request_handler([&](restinio::request_handle_t req) {
        if (streams.take(req)) return restinio::request_accepted();
        Clock::time_point arrived = timed ? Clock::now() : Clock::time_point{};
        // A static file already in memory, or a page answered from its
        // rendered copy (dispatch.h), is answered here: no page runs and no
        // file is read on this thread.
        Resolved target;
        if (std::optional<Reply> quick = quickAnswer(state, *req, target)) {
          respond(req, *quick, arrived);
          return restinio::request_accepted();
        }
        inFlight.fetch_add(1);
        // The wake-up runs after the other requests this loop turn has read.
        if (pool.pushDeferred(Job{std::move(req), std::move(target), arrived}))
          restinio::asio_ns::post(*io, [&pool] { pool.wakeOne(); });
        return restinio::request_accepted();
      });

  restinio::http_server_t<Traits> server{restinio::external_io_context(*io), std::move(settings)};
  try {
    server.open_sync();
  } catch (const std::exception& e) {
    std::cerr << "tovi: cannot listen on " << options.address << ":" << options.port << ": " << e.what() << "\n";
    pool.stop();
    return 1;
  }

  // Stopping: no new connections; the requests in flight are answered and
  // written; then the I/O loop ends.
  restinio::asio_ns::steady_timer drainTimer(*io);
  Clock::time_point drainDeadline;
  // Answers handed to RESTinio are written by this loop; a short grace after
  // the last one lets those writes go out before the loop stops.
  int graceTicks = 5;
  std::function<void()> checkDrained = [&] {
    if ((inFlight.load() <= 0 && streams.ended() && --graceTicks <= 0) || Clock::now() > drainDeadline) {
      io->stop();
      return;
    }
    drainTimer.expires_after(std::chrono::milliseconds(10));
    drainTimer.async_wait([&](const restinio::asio_ns::error_code&) { checkDrained(); });
  };
  auto beginStop = [&] {
    if (stopping.exchange(true)) return;
    drainDeadline = Clock::now() + std::chrono::seconds(30);
    streams.stop();
    server.close_async([] {}, [](std::exception_ptr) {});
    checkDrained();
  };
  restinio::asio_ns::signal_set signals(*io, SIGINT, SIGTERM);
  signals.async_wait([&](const restinio::asio_ns::error_code& ec, int) {
    if (!ec) beginStop();
  });

  std::cout << "tovi: listening on http://" << options.address << ":" << boundPort << "/" << std::endl;
  if (options.onListening) options.onListening(boundPort);
  if (options.onStarted) options.onStarted([io, &beginStop] { restinio::asio_ns::post(*io, beginStop); });

  std::vector<std::thread> more;
  for (unsigned i = 1; i < std::max(1u, options.ioThreads); ++i) more.emplace_back([&] { io->run(); });
  io->run();
  for (std::thread& t : more) t.join();
  pool.stop();
  state.access.flush();
  return 0;
}

}  // namespace

int serve(const ServeOptions& options, const frame::Registry& registry) {
  // A fixed threshold: glibc otherwise raises it after each large free, so the
  // pages' large answer buffers end up in the workers' arenas and the heap's
  // resident size creeps up for hours (under a long mixed load: +0.36 MB a
  // minute with the dynamic threshold, flat with this one).
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  struct stat st{};
  if (::stat(options.root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::cerr << "tovi: the web root " << options.root << " is not a folder\n";
    return 1;
  }
  std::optional<HostState> state;
  try {
    state.emplace(options, registry);
  } catch (const std::invalid_argument& e) {
    std::cerr << "tovi: " << e.what() << "\n";
    return 1;
  }
  if (options.ioThreads > 1) return run<Limited<restinio::default_traits_t>>(options, *state);
  return run<Limited<restinio::default_single_thread_traits_t>>(options, *state);
}

std::uint64_t receiveLimit(const ServeOptions& options) {
  return BodyLimits{options.maxBodyBytes, options.bodyLimits}.largest();
}

}  // namespace tovi::host
