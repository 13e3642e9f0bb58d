#include "host/reply.h"

#include <zlib.h>

#include <optional>
#include <stdexcept>

#include "frame/text.h"
#include "host/gbk.h"

namespace tovi::host {

Reply noticeReply(int status, std::string_view title, std::string_view text) {
  Reply r;
  r.status = status;
  r.headers.emplace_back("Content-Type", "text/html; charset=gb2312");
  r.body = toGbk(
      std::string(R"(<html><head><meta http-equiv='Content-Type' content='text/html; charset=gb2312'><title>)") +
      std::string(title) + "</title></head><body><p>" + std::string(text) + "</p></body></html>");
  return r;
}

Reply notFound() { return noticeReply(404, "找不到网页", "您要找的网页不存在。"); }

Reply tooLarge() { return noticeReply(413, "提交的内容太大", "提交的内容太大，服务器不能接收。"); }

std::string pageErrorText(const std::string& id) { return "服务器处理本页时出错，请稍后再试。（编号 " + id + "）"; }

bool acceptsGzip(std::string_view header) {
  std::optional<bool> gzip, any;  // an explicit gzip entry counts over *
  while (!header.empty()) {
    std::size_t comma = header.find(',');
    std::string_view item = header.substr(0, comma);
    header = comma == std::string_view::npos ? std::string_view() : header.substr(comma + 1);
    std::size_t semi = item.find(';');
    std::string coding = frame::trim(item.substr(0, semi));
    bool taken = true;
    for (std::string_view params = semi == std::string_view::npos ? "" : item.substr(semi + 1); !params.empty();) {
      std::size_t next = params.find(';');
      std::string param = frame::trim(params.substr(0, next));
      params = next == std::string_view::npos ? std::string_view() : params.substr(next + 1);
      if (param.size() >= 2 && (param[0] == 'q' || param[0] == 'Q') && param[1] == '=')
        taken = param.find_first_of("123456789", 2) != std::string::npos;  // q=0, 0.0, 0.000 refuse
    }
    if (frame::iequals(coding, "gzip") || frame::iequals(coding, "x-gzip"))
      gzip = taken;
    else if (coding == "*")
      any = taken;
  }
  return gzip.value_or(any.value_or(false));
}

bool compressible(std::string_view contentType) {
  std::string type = frame::trim(contentType.substr(0, contentType.find(';')));
  for (std::string_view t : {"text/html", "text/css", "application/javascript", "text/javascript"})
    if (frame::iequals(type, t)) return true;
  return false;
}

std::string gzip(std::string_view bytes) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&z, Z_FINISH);  // the bound holds the whole stream: one call
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

std::shared_ptr<const std::string> gzipVariant(std::string_view contentType, std::string_view body) {
  if (!compressible(contentType) || body.size() < kMinGzipBody) return nullptr;
  return std::make_shared<const std::string>(gzip(body));
}

namespace {

const std::string* contentType(const Reply& r) {
  for (const auto& [name, value] : r.headers)
    if (frame::iequals(name, "Content-Type")) return &value;
  return nullptr;
}

std::string_view bodyOf(const Reply& r) { return r.shared ? std::string_view(*r.shared) : std::string_view(r.body); }

}  // namespace

std::shared_ptr<const std::string> gzipVariant(const Reply& r) {
  const std::string* type = contentType(r);
  return type && r.filePath.empty() ? gzipVariant(*type, bodyOf(r)) : nullptr;
}

void encodeReply(Reply& r, bool acceptsGzip, std::shared_ptr<const std::string> gzipped) {
  if (!r.filePath.empty() || r.bodyless) return;
  const std::string* type = contentType(r);
  if (!type || !compressible(*type)) return;
  if (!gzipped && acceptsGzip) gzipped = gzipVariant(*type, bodyOf(r));
  r.headers.emplace_back("Vary", "Accept-Encoding");
  if (!acceptsGzip || !gzipped) return;
  r.body.clear();
  r.shared = std::move(gzipped);
  r.headers.emplace_back("Content-Encoding", "gzip");
}

const char* reasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Payload Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return status < 400 ? "OK" : "Error";
  }
}

}  // namespace tovi::host
