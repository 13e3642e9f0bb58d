// The site bulletin for visitors: the operator's one notice (the first row of
// `bulletin`, kept by the back office's bulletin page), as its markup.
//
// tovi.bulletin (bulletin.asp) shows it in a box of its own, or says there is
// none; tovi.bulletinbox shows it in a box on the home page (index.asp), and
// writes nothing while there is none (an empty notice or the back office's
// placeholder). Both depend on the database only.
#include "frame/component.h"
#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::storefront {
namespace {

using namespace frame::Module1;

// One implementation, where it stands its parameter.
class bulletinview : public frame::Component {
 public:
  enum class Place { OwnPage, HomePage };
  explicit bulletinview(Place place) : place_(place) {}
  void main();

 private:
  Place place_;
};

void bulletinview::main() {
  openFrontDb();
  data::Recordset& rs = newRs();
  rs.Open("select * from bulletin", *conn(), data::adOpenKeyset, data::adLockReadOnly);
  std::string content = rs.Eof() ? "" : rs("content").text();
  rs.Close();
  // The back office's editor starts an empty notice with this placeholder;
  // saved unchanged, it still means there is none.
  std::string bare = frame::trim(content);
  bool none = bare.empty() || bare == "暂时没有消息！！";
  if (place_ == Place::HomePage) {
    if (!none) Response().Write("<div class='box bulletin'><h2>网站公告</h2><div class=body>" + content + "</div></div>\n");
    return;
  }
  // The notice is the operator's markup from the editor: written as stored.
  Response().Write("<div class='box bulletin'><h2>网站公告</h2><div class=body>" +
                   (none ? std::string("<p>暂时没有公告。</p>") : content) + "</div></div>\n");
}

const frame::PageRegistration pages([](frame::Registry& registry) {
  using Place = bulletinview::Place;
  for (auto where : {std::pair{"tovi.bulletin", Place::OwnPage}, std::pair{"tovi.bulletinbox", Place::HomePage}}) {
    Place place = where.second;
    registry.add(where.first, [place] { return std::make_unique<bulletinview>(place); },
                 {frame::op("main", &bulletinview::main)}, frame::Output::DatabaseOnly);
  }
});

}  // namespace
}  // namespace tovi::storefront
