// The dialect translation: the texts the pages send as SQLite reads them, the
// parts of a select that the record sets page over, and what never reaches
// the engine. (What the engine itself refuses: store_test.)
#include "data/jet_sql.h"

#include "data/connection.h"
#include "support/testing.h"

namespace jet = data::jet;

TEST(JetSqlTest, TranslatesThePagesStatements) {
  const std::pair<const char*, const char*> cases[] = {
      {"select * from view2 ", R"(select * from "view2")"},
      {"select count(*) from [tdgl] where name = \"it's\"", R"(select count(*) from "tdgl" where "name" = 'it''s')"},
      {"select * from cygl where name='a''b' & 'c'", R"(select * from "cygl" where "name" = 'a''b' || 'c')"},
      {"insert into err_record(add_err_str) values ('x')", R"(insert into "err_record" ("add_err_str") values ('x'))"},
      {"select * from reg;", R"(select * from "reg")"},
      // Date-times become the stored ISO text, so text order is time order; logicals become numbers.
      {"delete from tdgl where fromdate>#2024/1/1# and fromdate<#2025-1-1 0:0:1# and del=false or top=True",
       R"(delete from "tdgl" where "fromdate" > '2024-01-01 00:00:00' and "fromdate" < '2025-01-01 00:00:01' and )"
       R"("del" = 0 or "top" = 1)"}};
  for (auto [in, text] : cases) EXPECT_EQ(jet::translate(in)->text, text) << in;
}

TEST(JetSqlTest, RefusesWhatIsOutsideTheDialect) {
  const char* refused[] = {
      "", "   ", "drop table tdgl", "pragma writable_schema=1", "attach database '/tmp/x' as y", "vacuum",
      "select * from tdgl; delete from tdgl", "delete from tdgl where id=1 -- and dczt=4",
      "select * from tdgl where id=1 /* */", "delete from tdgl where yhm='open", "select * from tdgl where yhm=\"open",
      "delete from tdgl where fromdate>#2024-3-9", "delete from tdgl where fromdate>#2024-2-30 10:00:00#",
      "select * from tdgl where fromdate>#yesterday#", "delete from tdgl where (id=1", "select * from tdgl where id=1)",
      "delete from tdgl where id in ()", "delete from tdgl where id=load_extension('x')",
      "delete from tdgl where id=@x", "select * from tdgl where yhm=`x`"};
  for (const char* sql : refused) EXPECT_THROW(jet::translate(sql), data::Error) << sql;
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
}
