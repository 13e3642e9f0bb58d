#include "host/reply.h"

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
