// What the site's own pages (login check, code image, upload, save pages) need
// of the request and response beyond the page contract of host.h.
// The library's page components never use this.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tovi::frame {

struct UploadedFile {
  std::string field;        // form field name
  std::string fileName;     // as the browser sent it (never trusted as a path)
  std::string contentType;  // as the browser sent it (never trusted)
  std::string bytes;
};

class HttpDetails {
 public:
  virtual ~HttpDetails() = default;
  // "GET", "POST", ...
  virtual std::string method() = 0;
  // A request header's value, "" when absent (name in any letter case).
  virtual std::string header(std::string_view name) = 0;
  // The peer's address, e.g. "127.0.0.1".
  virtual std::string clientAddress() = 0;
  // Whether the site is served over HTTPS.
  virtual bool secure() = 0;
  // The files of a multipart post.
  virtual const std::vector<UploadedFile>& files() = 0;

  // Sends `bytes` as the whole body, unencoded, with this content type
  // (for images); text written through the Response is then dropped.
  virtual void sendBinary(std::string_view contentType, std::string bytes) = 0;
  virtual void setStatus(int status) = 0;
  virtual void setHeader(std::string_view name, std::string_view value) = 0;
  // Gives the visitor a new session id, keeping the session's values
  // (a login must never keep an id chosen before it).
  virtual void renewSession() = 0;

  // Writes one line to the server's error log (the time is added), for what
  // the operator should hear of: a refused flood.
  virtual void logLine(std::string_view text) = 0;

  // A start option of the server ("fixed-code"), "" when not given.
  virtual std::string option(std::string_view name) = 0;
  // The web root's file-system path.
  virtual std::string webRoot() = 0;
};

}  // namespace tovi::frame
