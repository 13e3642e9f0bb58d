#include "host/dispatch.h"

#include "host/page_exchange.h"
#include "host/static_replies.h"

namespace tovi::host {
namespace {

// Whether the answer to `req` may come from a rendered copy of `page`.
// (Any '?' counts as a query string, an empty one too.)
bool mayReuse(const restinio::request_t& req, const PageFile& page) {
  auto method = req.header().method();
  return page.databaseOnly() && req.header().request_target().find('?') == std::string_view::npos &&
         req.body().empty() && (method == restinio::http_method_get() || method == restinio::http_method_head());
}

bool takesGzip(const restinio::request_t& req) {
  return acceptsGzip(req.header().get_field_or(restinio::http_field::accept_encoding, ""));
}

// The rendered copy as an answer.
Reply copyReply(const restinio::request_t& req, const RenderedPages::Copy& copy) {
  Reply r;
  r.status = copy.status;
  r.headers = copy.headers;
  r.shared = copy.body;
  encodeReply(r, takesGzip(req), copy.gzipped);
  return r;
}

Reply runPage(HostState& state, const restinio::request_t& req, const Resolved& target) {
  std::shared_ptr<const PageFile> page;
  try {
    page = state.pages.get(target.path);
  } catch (const std::exception& e) {
    std::string id = requestId(state);
    state.errors.write("request " + id + " " + std::string(req.header().method().c_str()) + " " +
                       std::string(req.header().path()) + ": " + e.what());
    return noticeReply(500, "服务器错误", pageErrorText(id));
  }
  if (!page) return notFound();  // deleted since its path was looked up
  // A page that may be answered from its rendered copy. The stamp is taken
  // before the page reads the database, so a change landing while it runs
  // makes the copy look older than it is, never newer. Without a stamp (no
  // database to stamp) the page runs, and reports what is wrong.
  std::optional<std::uint64_t> stamp;
  if (mayReuse(req, *page) && (stamp = state.rendered.stamp())) {
    auto copy = state.rendered.find(target.path, page.get());
    if (copy && copy->stamp == *stamp) return copyReply(req, *copy);
  }
  PageOutcome out = runPageFile(state, req, target.folder, *page);
  if (stamp && out.impersonal) {
    auto copy = std::make_shared<RenderedPages::Copy>();
    copy->stamp = *stamp;
    copy->status = out.reply.status;
    copy->headers = out.reply.headers;
    copy->body = std::make_shared<const std::string>(std::move(out.reply.body));
    out.reply.body.clear();
    out.reply.shared = copy->body;
    copy->gzipped = gzipVariant(out.reply);  // once: every later visitor gets these bytes
    encodeReply(out.reply, takesGzip(req), copy->gzipped);
    state.rendered.keep(target.path, page, std::move(copy));
    return std::move(out.reply);
  }
  encodeReply(out.reply, takesGzip(req));
  return std::move(out.reply);
}

std::optional<Reply> quickPage(HostState& state, const restinio::request_t& req, const Resolved& target) {
  if (!req.body().empty() || req.header().request_target().find('?') != std::string_view::npos)
    return std::nullopt;
  std::shared_ptr<const PageFile> page = state.pages.fresh(target.path);
  if (!page || !mayReuse(req, *page)) return std::nullopt;
  if (auto copy = state.rendered.current(target.path, page.get())) return copyReply(req, *copy);
  return std::nullopt;
}

}  // namespace

std::optional<Reply> quickAnswer(HostState& state, const restinio::request_t& req, Resolved& target) {
  try {
    target = state.root.remembered(req.header().path());
    switch (target.kind) {
      case Resolved::Kind::File: return keptStaticFile(state.files, req, target.path);
      case Resolved::Kind::Page: return quickPage(state, req, target);
      default: return std::nullopt;
    }
  } catch (const std::exception&) {
    target = {};
    return std::nullopt;  // the worker answers it, and logs what went wrong
  }
}

Reply handle(HostState& state, const restinio::request_t& req, Resolved known) {
  try {
    sweepSessions(state);
    auto method = req.header().method();
    bool head = method == restinio::http_method_head();
    if (method != restinio::http_method_get() && method != restinio::http_method_post() && !head) {
      Reply r = noticeReply(405, "不支持的请求", "服务器不支持这种请求方式。");
      r.headers.emplace_back("Allow", "GET, HEAD, POST");
      return r;
    }
    if (req.body().size() > state.bodyLimits.of(req.header().request_target())) return tooLarge();

    std::string_view path = req.header().path();
    Resolved target = known.kind == Resolved::Kind::None ? state.root.resolveCached(path) : std::move(known);
    if (target.kind == Resolved::Kind::Directory) {
      if (path.empty() || path.back() != '/') {
        Reply r;
        r.status = 301;
        std::string location = std::string(path) + "/";
        if (!req.header().query().empty()) {
          location += '?';
          location += req.header().query();
        }
        r.headers.emplace_back("Location", location);
        return r;
      }
      target = state.root.defaultDocument(target);
    }
    switch (target.kind) {
      case Resolved::Kind::Page: return runPage(state, req, target);
      case Resolved::Kind::File: return staticFile(state.files, req, target.path);
      default: return notFound();
    }
  } catch (const std::exception& e) {
    std::string id = requestId(state);
    state.errors.write("request " + id + ": " + e.what());
    return noticeReply(500, "服务器错误", std::string("服务器出错了。（编号 ") + id + "）");
  }
}

}  // namespace tovi::host
