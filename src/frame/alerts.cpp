#include "frame/alerts.h"

#include <string>

#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::frame {

void alertBack(std::string_view message) {
  Module1::Response().Write("<script language=javascript>alert('" + jsString(message) + "');history.go(-1);</script>");
  Module1::Response().End();
  throw PageEnd{};  // End never returns; this tells the compiler so
}

void alertGo(std::string_view message, std::string_view url) {
  Module1::Response().Write("<script language=javascript>alert('" + jsString(message) + "');window.location.href='" +
                            jsString(url) + "';</script>");
  Module1::Response().End();
  throw PageEnd{};  // End never returns; this tells the compiler so
}

}  // namespace tovi::frame
