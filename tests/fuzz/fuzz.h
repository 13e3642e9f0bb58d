// What the fuzz harnesses share: failing loudly on a broken invariant, a UTF-8
// check, and a host over a probe root that answers raw request bytes the way
// the server does (RESTinio's own parser callbacks, then the host).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <restinio/all.hpp>
#include <string>
#include <string_view>

#include "frame/http_details.h"
#include "frame/module1.h"
#include "frame/text.h"
#include "host/dispatch.h"
#include "host/forwarded.h"
#include "host/host_state.h"
#include "support/probe_root.h"

namespace tovi::fuzz {

// A broken invariant: say which (the stack libFuzzer prints says where) and
// abort, so libFuzzer keeps the input.
inline void check(bool holds, const char* what) {
  if (!holds) std::fprintf(stderr, "invariant broken: %s\n", what), std::abort();
}

inline std::string_view asText(const uint8_t* data, size_t size) { return {reinterpret_cast<const char*>(data), size}; }

// Strict UTF-8: frame::nextChar reads each byte that starts no character
// (overlong forms, surrogates, past U+10FFFF) as a U+FFFD of its own.
inline bool validUtf8(std::string_view s) {
  for (std::size_t i = 0, at = 0; i < s.size(); at = i)
    if (frame::nextChar(s, i) == 0xFFFD && s.substr(at, 3) != "\xEF\xBF\xBD") return false;
  return true;
}

// Files no answer may ever carry: each holds this marker.
inline constexpr std::string_view kSecret = "TOVI-FUZZ-SECRET";

// The page every request of the harnesses lands on: reads what pages read, by
// the names the seeds and dictionaries use, and checks what it gets.
inline void probe() {
  using namespace frame::Module1;
  std::size_t bytes = 0;  // only how much was read: the values could spell what the answer's check looks for
  auto read = [&](const std::string& v) { check(validUtf8(v), "a request value is not UTF-8"), bytes += v.size(); };
  for (const char* name : {"a", "b", "name", "k", "TOVISESSION"}) {
    for (const std::string& v :
         {Request()(name), Request().QueryString(name), Request().Form(name), Request().Cookies(name)})
      read(v);
    for (const char* key : {"k", "a", "name_time"}) read(Request().Cookies(name, key));
  }
  read(Session()("admin").text());
  for (const frame::UploadedFile& f : Http().files()) read(f.field), read(f.fileName);
  // Behind the trusted proxies the client is whoever X-Forwarded-For names,
  // but always an address: never text a visitor chose.
  const std::string client = Http().clientAddress();
  check(host::canonicalAddress(client) == client, "the client's address is no address");
  (void)Http().secure();
  const std::string root = Http().webRoot();
  for (const char* name : {"p", "a"}) {
    try {
      const std::string mapped = Server().MapPath(Request().QueryString(name));
      check(mapped == root || mapped.rfind(root + "/", 0) == 0, "Server.MapPath left the web root");
      check(mapped.find("/../") == std::string::npos, "Server.MapPath kept a ..");
    } catch (const std::invalid_argument&) {  // refused: a path outside the root
    }
  }
  Response().Write("read " + std::to_string(bytes));
}

// A RESTinio connection that goes nowhere: a request needs one to exist.
struct NoConnection final : restinio::impl::connection_base_t {
  NoConnection() : connection_base_t(1) {}
  void check_timeout(std::shared_ptr<restinio::tcp_connection_ctx_base_t>&) override {}
  void write_response_parts(restinio::request_id_t, restinio::response_output_flags_t,
                            restinio::write_group_t) override {}
};

// The host over a probe root, built once per process.
class Site {
 public:
  static Site& get() {
    static Site site;
    return site;
  }

  // The answer to one raw HTTP request, as the server's request handler
  // gives it (quickAnswer() on the I/O thread, else the worker's handle());
  // nothing when RESTinio's parser refuses the bytes.
  std::optional<host::Reply> answer(std::string_view raw) {
    http_parser parser;
    http_parser_init(&parser, HTTP_REQUEST);
    // The body limit the server sets; without it the parser would reserve any Content-Length.
    restinio::impl::http_parser_ctx_t ctx{
        restinio::incoming_http_msg_limits_t{}.max_body_size(host::receiveLimit(site_.options))};
    parser.data = &ctx;
    http_parser_execute(&parser, &settings_, raw.data(), raw.size());
    if (!ctx.m_message_complete || (parser.http_errno != HPE_OK && parser.http_errno != HPE_PAUSED))
      return std::nullopt;
    restinio::no_extra_data_factory_t factory;
    auto req = std::make_shared<restinio::request_t>(
        1, std::move(ctx.m_header), std::move(ctx.m_body), ctx.make_chunked_input_info_if_necessary(), connection_,
        restinio::endpoint_t{restinio::asio_ns::ip::make_address("192.0.2.7"), 40000}, factory);
    host::Resolved target;
    std::optional<host::Reply> r = host::quickAnswer(*state_, *req, target);
    if (!r) r = host::handle(*state_, *req, std::move(target));
    holdsFor(*r);
    return r;
  }

 private:
  Site() {
    site_.options.errorLog = "-";
    state_.emplace(site_.options, site_.registry);
  }

  // What holds for every answer: no secret, no page source, no failure (the
  // probe page never throws, so a 500 is the host failing), header lines
  // that cannot split the answer.
  static void holdsFor(const host::Reply& r) {
    std::string_view body = r.shared ? std::string_view(*r.shared) : std::string_view(r.body);
    check(body.find(kSecret) == std::string_view::npos, "an answer carries a file it must not");
    check(body.find("SQLite format") == std::string_view::npos, "an answer carries the database");
    check(body.find("CreateObject") == std::string_view::npos, "an answer carries a page's source");
    std::ifstream in(r.filePath, std::ios::binary);  // a file sent from disk
    check(std::string(std::istreambuf_iterator<char>(in), {}).find(kSecret) == std::string::npos,
          "an answer sends a file it must not");
    check(r.status != 500, "the host failed on a request");
    for (const auto& [name, value] : r.headers)
      check(name.find_first_of("\r\n") == std::string::npos && value.find_first_of("\r\n") == std::string::npos,
            "a header line break in an answer");
  }

  // The probe where pages run, a page answered from its rendered copy, and
  // what must never be sent or run (a page in uploadpic/ would show the secret).
  const std::string secret{kSecret};
  testing::ProbeRoot site_{{{"probe.asp", probe}, {"Admin/Probe.asp", probe}, {"sub/index.asp", probe},
                            {"plain.asp", [] { frame::Module1::Response().Write("plain"); }, "", "",
                             frame::Output::DatabaseOnly},
                            {"uploadpic/evil.asp", [] { frame::Module1::Response().Write(kSecret); }}},
                           {{"Style.css", "body{}"}, {"uploadpic/a.gif", "GIF89a"}, {"uploadpic/evil.html", secret},
                            {"database/notes.txt", secret}, {".env", secret}, {"old.mdb", secret},
                            {"global.asa", secret}, {"../outside.txt", secret}},
                           {.trustedProxies = {"192.0.2.7", "::ffff:10.0.0.1"}, .maxBodyBytes = 1 << 16}};
  std::optional<host::HostState> state_;
  std::shared_ptr<restinio::impl::connection_base_t> connection_ = std::make_shared<NoConnection>();
  http_parser_settings settings_ = restinio::impl::create_parser_settings<restinio::default_http_methods_t>();
};

}  // namespace tovi::fuzz
