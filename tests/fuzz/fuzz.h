// What the fuzz harnesses share: failing loudly on a broken invariant, a UTF-8
// check, and a host over a temporary web root that answers raw request bytes
// the way the server does (RESTinio's own parser callbacks, then the host).
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <restinio/all.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "data/change_stamp.h"
#include "data/schema.h"
#include "frame/component.h"
#include "frame/http_details.h"
#include "frame/module1.h"
#include "host/dispatch.h"
#include "host/host_state.h"
#include "host/server.h"

namespace tovi::fuzz {

// A broken invariant: say which and abort, so libFuzzer keeps the input.
#define FUZZ_CHECK(cond, what)                                                           \
  do {                                                                                   \
    if (!(cond)) {                                                                       \
      std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, what); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

inline std::string_view asText(const uint8_t* data, size_t size) { return {reinterpret_cast<const char*>(data), size}; }

// Strict UTF-8: no overlong forms, surrogates or code points past U+10FFFF.
inline bool validUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    char32_t cp = n == 1 ? c : c & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
      if ((b(i + k) & 0xC0) != 0x80) return false;
      cp = cp << 6 | (b(i + k) & 0x3F);
    }
    static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n;
  }
  return true;
}

// Files no answer may ever carry: each holds this marker.
inline constexpr std::string_view kSecret = "TOVI-FUZZ-SECRET";

// What the probe page reads of a request.
inline std::vector<std::string>& probeReads() {
  static std::vector<std::string> reads;
  return reads;
}

// The page every request of the harnesses lands on: reads what pages read, by
// the names the seeds and dictionaries use, and checks what it gets.
struct Probe : frame::Component {
  void main() {
    using namespace frame::Module1;
    auto& reads = probeReads();
    for (const char* name : {"a", "b", "name", "k", "TOVISESSION"}) {
      reads.push_back(Request()(name));
      reads.push_back(Request().QueryString(name));
      reads.push_back(Request().Form(name));
      reads.push_back(Request().Cookies(name));
      for (const char* key : {"k", "a", "name_time"}) reads.push_back(Request().Cookies(name, key));
    }
    reads.push_back(Session()("admin").text());
    // Behind the trusted proxies the client is whoever X-Forwarded-For names,
    // but always an address: never text a visitor chose.
    std::string client = Http().clientAddress();
    FUZZ_CHECK(host::canonicalAddress(client) == client, "the client's address is no address");
    (void)Http().secure();
    for (const frame::UploadedFile& f : Http().files()) {
      reads.push_back(f.field);
      reads.push_back(f.fileName);
    }
    const std::string root = Http().webRoot();
    for (const char* name : {"p", "a"}) {
      try {
        std::string mapped = Server().MapPath(Request().QueryString(name));
        FUZZ_CHECK(mapped == root || mapped.rfind(root + "/", 0) == 0, "Server.MapPath left the web root");
        FUZZ_CHECK(mapped.find("/../") == std::string::npos, "Server.MapPath kept a ..");
      } catch (const std::invalid_argument&) {
        // Refused: a path outside the root.
      }
    }
    // Only how much was read: the values themselves could spell what the
    // answer's check looks for.
    std::size_t bytes = 0;
    for (const std::string& r : reads) {
      FUZZ_CHECK(validUtf8(r), "a request value is not UTF-8");
      bytes += r.size();
    }
    Response().Write("read " + std::to_string(bytes));
  }
};
// A page whose output depends only on the database (answered from a rendered copy).
struct Plain : frame::Component {
  void main() { frame::Module1::Response().Write("plain"); }
};
// Placed where no page may run (under uploadpic/).
struct Forbidden : frame::Component {
  void main() { frame::Module1::Response().Write(std::string(kSecret)); }
};

// A RESTinio connection that goes nowhere: a request needs one to exist.
struct NoConnection final : restinio::impl::connection_base_t {
  NoConnection() : connection_base_t(1) {}
  void check_timeout(std::shared_ptr<restinio::tcp_connection_ctx_base_t>&) override {}
  void write_response_parts(restinio::request_id_t, restinio::response_output_flags_t,
                            restinio::write_group_t) override {}
};

// The host over a temporary web root, built once per process.
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
        restinio::incoming_http_msg_limits_t{}.max_body_size(host::receiveLimit(options_))};
    parser.data = &ctx;
    http_parser_execute(&parser, &settings_, raw.data(), raw.size());
    if (!ctx.m_message_complete || (parser.http_errno != HPE_OK && parser.http_errno != HPE_PAUSED))
      return std::nullopt;
    restinio::no_extra_data_factory_t factory;
    auto req = std::make_shared<restinio::request_t>(
        1, std::move(ctx.m_header), std::move(ctx.m_body), ctx.make_chunked_input_info_if_necessary(), connection_,
        restinio::endpoint_t{restinio::asio_ns::ip::make_address("192.0.2.7"), 40000}, factory);
    probeReads().clear();
    host::Resolved target;
    std::optional<host::Reply> r = host::quickAnswer(*state_, *req, target);
    if (!r) r = host::handle(*state_, *req, std::move(target));
    check(*r);
    return r;
  }

 private:
  Site() {
    char tmpl[] = "/tmp/tovi-fuzz-XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    dir_ = tmpl;
    std::string root = dir_ + "/site";
    for (const char* d : {"database", "admin", "uploadpic", "sub"}) std::filesystem::create_directories(root + "/" + d);
    data::ensureDatabase(root + "/database/tamlo.mdb");
    const std::string secret(kSecret);
    auto page = [](const std::string& id) {
      return "<%@ Language=VBScript %>\n<%\nDim obj\nSet obj = Server.CreateObject(\"" + id +
             "\")\nobj.main\nSet obj = Nothing\n%>";
    };
    const std::pair<std::string, std::string> files[] = {
        {"probe.asp", page("fuzz.probe")},
        {"Admin/Probe.asp", page("fuzz.probe")},
        {"sub/index.asp", page("fuzz.probe")},
        {"plain.asp", page("fuzz.plain")},
        {"Style.css", "body{}"},
        {"uploadpic/a.gif", "GIF89a"},
        {"uploadpic/evil.asp", page("fuzz.forbidden")},
        {"uploadpic/evil.html", secret},
        {"database/notes.txt", secret},
        {".env", secret},
        {"old.mdb", secret},
        {"global.asa", secret},
        {"../outside.txt", secret},
    };
    for (const auto& [path, text] : files) {
      std::filesystem::create_directories(std::filesystem::path(root + "/" + path).parent_path());
      std::ofstream(root + "/" + path, std::ios::binary) << text;
    }
    registry_.add("fuzz.probe", [] { return std::make_unique<Probe>(); }, {frame::op("main", &Probe::main)});
    registry_.add(
        "fuzz.plain", [] { return std::make_unique<Plain>(); }, {frame::op("main", &Plain::main)},
        frame::Output::DatabaseOnly);
    registry_.add("fuzz.forbidden", [] { return std::make_unique<Forbidden>(); },
                  {frame::op("main", &Forbidden::main)});
    options_.root = root;
    options_.hiddenFolders = {"database"};
    options_.changeStamp = [db = root + "/database/tamlo.mdb"] { return data::changeStamp(db); };
    options_.accessLog = "-";
    options_.errorLog = "-";
    options_.maxBodyBytes = 1 << 16;
    options_.trustedProxies = {"192.0.2.7", "::ffff:10.0.0.1"};
    state_.emplace(options_, registry_);
  }
  ~Site() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // What holds for every answer: no secret, no page source, no failure (the
  // probe page never throws, so a 500 is the host failing), header lines
  // that cannot split the answer.
  static void check(const host::Reply& r) {
    std::string_view body = r.shared ? std::string_view(*r.shared) : std::string_view(r.body);
    FUZZ_CHECK(body.find(kSecret) == std::string_view::npos, "an answer carries a file it must not");
    FUZZ_CHECK(body.find("SQLite format") == std::string_view::npos, "an answer carries the database");
    FUZZ_CHECK(body.find("CreateObject") == std::string_view::npos, "an answer carries a page's source");
    if (!r.filePath.empty()) {
      std::ifstream in(r.filePath, std::ios::binary);
      std::string sent(std::istreambuf_iterator<char>(in), {});
      FUZZ_CHECK(sent.find(kSecret) == std::string::npos, "an answer sends a file it must not");
    }
    FUZZ_CHECK(r.status != 500, "the host failed on a request");
    for (const auto& [name, value] : r.headers)
      FUZZ_CHECK(name.find_first_of("\r\n") == std::string::npos && value.find_first_of("\r\n") == std::string::npos,
                 "a header line break in an answer");
  }

  std::string dir_;
  frame::Registry registry_;
  host::ServeOptions options_;
  std::optional<host::HostState> state_;
  std::shared_ptr<restinio::impl::connection_base_t> connection_ = std::make_shared<NoConnection>();
  http_parser_settings settings_ = restinio::impl::create_parser_settings<restinio::default_http_methods_t>();
};

}  // namespace tovi::fuzz
