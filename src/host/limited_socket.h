// The socket RESTinio reads requests through (its traits' stream_socket_t):
// a plain TCP socket whose reads pass a BodyWatch (body_limits.h) first, so
// that a body over its path's limit is answered 413 here, whether its length
// was declared (at once, none of it read) or it grows past the limit chunk by
// chunk, and the connection is then closed cleanly.
//
//   asio::make_service<BodyRefusals>(io, limits, [](const Refused& r) { return "HTTP/1.1 413 ..."; });
//   struct Traits : restinio::default_single_thread_traits_t { using stream_socket_t = LimitedSocket; };
//
// The close follows the HTTP advice for a server that answers before the
// request's end: the answer (with Connection: close) is written, the sending
// side shut, and what the client still sends is read and dropped (at most
// kLingerBytes, within RESTinio's read time limit) until it closes, so the
// client reads the whole answer instead of a reset. Only then does RESTinio
// see the connection end. The answer never overtakes another: RESTinio reads
// a connection only while no answer of it is pending (max_pipelined_requests
// 1, its default), and the bytes before the refused request go to it first.
// Threads: a socket is used on its connection's strand; the service is
// read-only once the server runs.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <restinio/asio_include.hpp>
#include <restinio/impl/sendfile_operation.hpp>

#include "host/body_limits.h"

namespace tovi::host {

namespace asio = restinio::asio_ns;

struct Refused {
  std::string method, target, client;  // client: the peer's address
};

// The io_context's limits and the answer to a refused request (its whole
// bytes, status line to body). Without one, or without limits, sockets only read.
class BodyRefusals : public asio::execution_context::service {
 public:
  static inline asio::execution_context::id id;
  explicit BodyRefusals(asio::execution_context& context) : service(context) {}
  BodyRefusals(asio::execution_context& context, BodyLimits limits, std::function<std::string(const Refused&)> answer)
      : service(context), limits(std::move(limits)), answer(std::move(answer)) {}

  std::optional<BodyLimits> limits;
  std::function<std::string(const Refused&)> answer;

 private:
  void shutdown() override {}
};

class LimitedSocket : public asio::ip::tcp::socket {
 public:
  static constexpr std::size_t kLingerBytes = 64u << 20;

  explicit LimitedSocket(asio::io_context& io)
      : asio::ip::tcp::socket(io), refusals_(&asio::use_service<BodyRefusals>(io)) {}
  LimitedSocket(LimitedSocket&&) = default;
  LimitedSocket& operator=(LimitedSocket&&) = default;

  // As the TCP socket's, unless the watch refuses a request among the bytes
  // read: then `handler` gets the bytes before it, and (at the next read) the
  // end of the connection once the 413 is written and the client is done.
  template <class Handler>
  void async_read_some(const asio::mutable_buffer& buffer, Handler&& handler) {
    auto& tcp = static_cast<asio::ip::tcp::socket&>(*this);
    if (!refusals_->limits) return tcp.async_read_some(buffer, std::forward<Handler>(handler));
    if (!watch_) watch_ = std::make_unique<BodyWatch>(*refusals_->limits);
    if (watch_->refused()) return refuse(std::forward<Handler>(handler));
    auto executor = asio::get_associated_executor(handler, get_executor());
    tcp.async_read_some(buffer, asio::bind_executor(executor, [this, buffer, handler = std::forward<Handler>(handler)](
                                                                  const asio::error_code& ec, std::size_t n) mutable {
                          if (ec) return handler(ec, n);
                          std::size_t pass = watch_->feed(static_cast<const char*>(buffer.data()), n);
                          if (!watch_->refused() || pass > 0) return handler(ec, pass);
                          refuse(std::move(handler));
                        }));
  }

 private:
  template <class Handler>
  void refuse(Handler handler) {
    asio::error_code ignored;
    Refused r{watch_->method(), watch_->target(), remote_endpoint(ignored).address().to_string()};
    auto answer = std::make_shared<std::string>(refusals_->answer(r));
    auto executor = asio::get_associated_executor(handler, get_executor());
    asio::async_write(static_cast<asio::ip::tcp::socket&>(*this), asio::buffer(*answer),
                      asio::bind_executor(executor, [this, answer, executor, handler = std::move(handler)](
                                                        const asio::error_code& ec, std::size_t) mutable {
                        if (ec) return handler(ec, 0);
                        asio::error_code ignored;
                        shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
                        linger(std::move(handler), executor, std::make_shared<std::array<char, 16384>>(), 0);
                      }));
  }

  template <class Handler, class Executor>
  void linger(Handler handler, Executor executor, std::shared_ptr<std::array<char, 16384>> buffer, std::size_t read) {
    asio::ip::tcp::socket::async_read_some(
        asio::buffer(*buffer),
        asio::bind_executor(executor, [this, executor, buffer, read, handler = std::move(handler)](
                                          const asio::error_code& ec, std::size_t n) mutable {
          if (ec || read + n > kLingerBytes) return handler(ec ? ec : asio::error::eof, 0);
          linger(std::move(handler), executor, std::move(buffer), read + n);
        }));
  }

  BodyRefusals* refusals_;
  std::unique_ptr<BodyWatch> watch_;
};

}  // namespace tovi::host

// Static files keep going out with sendfile(2): the socket is a TCP socket.
template <>
class restinio::impl::sendfile_operation_runner_t<tovi::host::LimitedSocket> final : public sendfile_operation_base_t {
 public:
  using Tcp = sendfile_operation_runner_t<asio_ns::ip::tcp::socket>;
  sendfile_operation_runner_t(const sendfile_t& file, default_asio_executor executor, tovi::host::LimitedSocket& socket,
                              after_sendfile_cb_t done)
      : tcp_(std::make_shared<Tcp>(file, std::move(executor), socket, std::move(done))) {}
  void start() override { tcp_->start(); }

 private:
  std::shared_ptr<Tcp> tcp_;
};
