#include "main/demo_menu.h"

#include <array>

#include "data/connection.h"
#include "data/recordset.h"

namespace tovi::site {
namespace {

struct DemoDish {
  const char* name;
  const char* price;
  const char* lei;
  int lei2;
  const char* content;
};

constexpr const char* kNew = "新品推荐";
constexpr const char* kSignature = "招牌老菜";

// In the order they are added, which is the order the storefront shows them.
// Picture i (from 1) is images/dishes/dNN.jpg.
constexpr std::array<DemoDish, 32> kDishes{{
    {"宫保鸡丁饭", "12", kSignature, 1, "<b>微辣</b> 鸡丁、花生、干辣椒"},
    {"番茄炒蛋饭", "8", kSignature, 1, "家常味道，<font color=#CC3300>酸甜</font>可口"},
    {"鱼香肉丝饭", "11", kSignature, 1, "肉丝、木耳、笋丝，<b>鱼香</b>汁"},
    {"红烧排骨饭", "15", kSignature, 1, "小排慢炖，<font color=#CC3300>酱香</font>浓郁"},
    {"卤肉饭", "9", kNew, 1, "<b>新品</b> 五花肉卤足三小时"},
    {"沙茶面", "10", kSignature, 1, "本地<b>沙茶</b>汤底，配豆腐、大肠"},
    {"扬州炒饭", "9", kSignature, 1, "虾仁、火腿、青豆，<i>粒粒分明</i>"},
    {"黑椒牛柳饭", "16", kNew, 1, "<b>新品</b> 牛柳配<font color=#CC3300>黑椒汁</font>"},
    {"咖喱鸡饭", "13", kSignature, 1, "土豆、胡萝卜，<b>微辣</b>咖喱"},
    {"香菇滑鸡饭", "12", kSignature, 1, "鲜香菇、<b>嫩</b>鸡腿肉"},
    {"榨菜肉丝面", "7.5", kSignature, 1, "清汤细面，<i>爽口</i>榨菜"},
    {"麻婆豆腐饭", "8.5", kNew, 1, "<b>新品</b> 麻、辣、烫、香"},
    {"佛跳墙", "88", kSignature, 2, "<b>镇店名菜</b> 鲍鱼、海参、花胶同煨"},
    {"荔枝肉", "28", kSignature, 2, "酸甜<font color=#CC3300>荔枝</font>形肉块"},
    {"清蒸石斑鱼", "68", kNew, 2, "<b>新品</b> 当日鲜鱼，清蒸原味"},
    {"白灼虾", "38", kSignature, 2, "鲜虾白灼，配<i>姜醋</i>"},
    {"东坡肉", "32", kSignature, 2, "肥而不腻，<b>入口即化</b>"},
    {"醉排骨", "26", kSignature, 2, "外酥里嫩，<font color=#CC3300>酸甜</font>微醉"},
    {"海蛎煎", "18", kSignature, 2, "海蛎、鸡蛋、地瓜粉，<b>香脆</b>"},
    {"葱油鸡", "30", kNew, 2, "<b>新品</b> 三黄鸡淋热葱油"},
    {"红糟鱼", "35", kSignature, 2, "<font color=#CC3300>红糟</font>腌制，香气扑鼻"},
    {"八宝芋泥", "16", kSignature, 2, "芋泥、红枣、莲子，<i>甜品</i>"},
    {"鲜榨橙汁", "8", kNew, 3, "<b>新品</b> 现点现榨"},
    {"柠檬红茶", "6", kSignature, 3, "冰镇<font color=#CC3300>柠檬</font>红茶"},
    {"珍珠奶茶", "7", kSignature, 3, "<b>Q弹</b>珍珠，香浓奶茶"},
    {"绿豆汤", "4", kSignature, 3, "清热解暑，<i>冰镇</i>"},
    {"酸梅汤", "5", kSignature, 3, "乌梅、山楂、<i>桂花</i>"},
    {"椰子汁", "6.5", kSignature, 3, "<font color=#CC3300>椰香</font>浓郁"},
    {"菊花茶", "4.5", kSignature, 3, "杭白菊，<i>清香</i>"},
    {"西瓜汁", "9", kNew, 3, "<b>新品</b> 整瓜现榨"},
    {"豆浆", "3", kSignature, 3, "现磨<b>原味</b>豆浆"},
    {"铁观音", "12", kNew, 3, "<b>新品</b> 安溪铁观音一壶"},
}};

std::string pictureOf(std::size_t index) {
  std::string n = std::to_string(index + 1);
  return "images/dishes/d" + std::string(n.size() < 2 ? "0" : "") + n + ".jpg";
}

}  // namespace

int seedDemoMenu(const std::string& databasePath) {
  data::Connection conn;
  conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + databasePath);
  data::Recordset dishes;
  dishes.Open("select * from cygl", conn, data::adOpenKeyset, data::adLockOptimistic);
  if (!dishes.Eof()) {
    dishes.Close();
    conn.Close();
    return 0;
  }
  dishes.Close();
  // One statement, so one commit: a run killed half-way leaves no half menu
  // (which a later run would take for the site's own and leave alone).
  // A dish a day, so the back office's newest-first lists have an order.
  data::DateTime added{2024, 3, 1, 9, 30, 0};
  data::Sql insert{"insert into cygl (name, jiage, pic, content, lei, lei2, dates) values ", {}};
  for (std::size_t i = 0; i < kDishes.size(); ++i) {
    const DemoDish& d = kDishes[i];
    insert.text += i == 0 ? "(?, ?, ?, ?, ?, ?, ?)" : ", (?, ?, ?, ?, ?, ?, ?)";
    for (data::Value v : {data::Value(d.name), data::Value(d.price), data::Value(pictureOf(i)), data::Value(d.content),
                          data::Value(d.lei), data::Value(d.lei2),
                          data::Value(added.addSeconds(static_cast<std::int64_t>(i) * (86400 + 3600)))})
      insert.params.push_back(v);
  }
  conn.Execute(insert);
  conn.Close();
  return static_cast<int>(kDishes.size());
}

}  // namespace tovi::site
