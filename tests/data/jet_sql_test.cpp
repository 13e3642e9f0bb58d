// The dialect translation: the texts the pages send as SQLite reads them, and
// the parts of a select that the record sets page over.
#include "data/jet_sql.h"

#include "support/testing.h"

namespace jet = data::jet;

// Statements the store's tests run on a real file are checked there by their
// rows; here the forms whose text changes on the way.
TEST(JetSqlTest, TranslatesThePagesStatements) {
  const std::pair<const char*, const char*> cases[] = {
      {"select * from view2 ", R"(select * from "view2")"},
      {"select count(*) from [tdgl] where name = \"it's\"", R"(select count(*) from "tdgl" where "name" = 'it''s')"},
      {"select * from cygl where name='a''b' & 'c'", R"(select * from "cygl" where "name" = 'a''b' || 'c')"},
      {"insert into err_record(add_err_str) values ('x')", R"(insert into "err_record" ("add_err_str") values ('x'))"},
      {"select * from reg;", R"(select * from "reg")"},
  };
  for (auto [in, text] : cases) EXPECT_EQ(jet::translate(in)->text, text) << in;
}

TEST(JetSqlTest, KnowsThePartsOfASelectOverOneTablesRows) {
  for (auto [in, table, where, orderBy] :
       {std::tuple{"select * from tdgl where dczt=2 and yhm like '%a%' order by fromdate asc ", "\"tdgl\"",
                   R"("dczt" = 2 and "yhm" like '%a%')", R"("fromdate" asc)"},
        {"select * from wq_admin order by flag", "\"wq_admin\"", "", "\"flag\""},
        {"select top 5 * from cygl order by dates desc", "\"cygl\"", "", R"("dates" desc)"}}) {
    auto st = jet::translate(in);
    EXPECT_EQ(st->kind, jet::Statement::Kind::Select) << in;
    EXPECT_EQ(std::tuple(st->table, st->where, st->orderBy), std::tuple(table, where, orderBy)) << in;
  }
  EXPECT_EQ(jet::translate("select top 5 * from cygl")->top, 5);
  EXPECT_FALSE(jet::translate("select * from Feedback where top=1")->top.has_value());  // the guestbook's column
  // Anything else is read-only rows: a column list, two tables, an alias, a grouping.
  for (const char* other : {"select name from cygl", "select * from cygl, cyxw", "select * from cygl c",
                            "select * from (select * from cygl)", "select lei, count(*) from cygl group by lei"}) {
    auto s = jet::translate(other);
    EXPECT_EQ(s->kind, jet::Statement::Kind::Select) << other;
    EXPECT_EQ(s->table, "") << other;
  }
  EXPECT_EQ(jet::quoteName("view"), "\"view\"");
  EXPECT_EQ(jet::quoteName("a\"b"), "\"a\"\"b\"");
}
