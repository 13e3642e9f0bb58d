#include "data/jet_sql.h"

#include <array>
#include <unordered_map>
#include <vector>

#include "data/connection.h"
#include "data/value.h"

namespace tovi::data::jet {
namespace {

enum class Tok { Keyword, Name, Function, Number, Text, Param, Symbol };

struct Token {
  Tok type;
  std::string text;  // as written out for the engine; keywords in lower case
};

constexpr std::array<std::string_view, 31> kKeywords = {
    "select", "distinct", "from",  "where", "and",    "or",    "not",   "in",     "like",   "is",   "null",
    "order",  "by",       "asc",   "desc",  "delete", "update", "set",  "insert", "into",   "values", "between",
    "as",     "group",    "having", "exists", "on",   "join",  "inner", "left",   "outer"};

// Functions the pages' dialect offers, with the engine's name for each.
constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kFunctions = {{{"count", "count"},
                                                                                       {"sum", "sum"},
                                                                                       {"min", "min"},
                                                                                       {"max", "max"},
                                                                                       {"avg", "avg"},
                                                                                       {"len", "length"},
                                                                                       {"ucase", "upper"},
                                                                                       {"lcase", "lower"},
                                                                                       {"trim", "trim"},
                                                                                       {"abs", "abs"}}};

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool isNameStart(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80; }
bool isNameChar(unsigned char c) { return isNameStart(c) || (c >= '0' && c <= '9'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void refuse(std::string_view why, std::string_view sql) {
  throw Error("SQL refused (" + std::string(why) + "): " + std::string(sql.substr(0, 200)));
}

std::string textLiteral(std::string_view content) {
  std::string out = "'";
  for (char c : content) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

// Reads a literal delimited by `quote`, a doubled quote standing for one.
std::string readQuoted(std::string_view sql, std::size_t& i, char quote) {
  std::string content;
  ++i;
  while (true) {
    if (i >= sql.size()) refuse("unterminated text literal", sql);
    if (sql[i] == quote) {
      if (i + 1 < sql.size() && sql[i + 1] == quote) {
        content += quote;
        i += 2;
        continue;
      }
      ++i;
      return content;
    }
    content += sql[i++];
  }
}

// PostgreSQL's `like` tells letter case apart and takes a backslash as its
// escape: `a like p` becomes `a ilike p escape ''`, p running to the next
// keyword, comma or closing parenthesis outside parentheses.
void caseBlindLike(std::vector<Token>& toks) {
  for (std::size_t i = 0; i < toks.size(); ++i) {
    if (toks[i].type != Tok::Keyword || toks[i].text != "like") continue;
    toks[i].text = "ilike";
    std::size_t j = i + 1;
    for (int depth = 0; j < toks.size(); ++j) {
      const Token& t = toks[j];
      if (depth == 0 && (t.type == Tok::Keyword || t.text == "," || t.text == ")")) break;
      if (t.text == "(") ++depth;
      if (t.text == ")") --depth;
    }
    toks.insert(toks.begin() + static_cast<long>(j), Token{Tok::Keyword, "escape ''"});
  }
}

std::vector<Token> tokenize(std::string_view sql, Dialect dialect) {
  const bool pg = dialect == Dialect::Postgres;
  auto name = [pg](std::string_view n) { return pg ? pgName(n) : quoteName(n); };
  int marks = 0;
  std::vector<Token> out;
  std::size_t i = 0;
  while (i < sql.size()) {
    char c = sql[i];
    unsigned char uc = static_cast<unsigned char>(c);
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
    } else if (c == '\'' || c == '"') {
      out.push_back({Tok::Text, textLiteral(readQuoted(sql, i, c))});
    } else if (c == '#') {
      std::size_t end = sql.find('#', i + 1);
      if (end == std::string_view::npos) refuse("unterminated date-time literal", sql);
      auto dt = DateTime::parse(sql.substr(i + 1, end - i - 1));
      if (!dt) refuse("not a date-time: #" + std::string(sql.substr(i + 1, end - i - 1)) + "#", sql);
      std::string literal = dt->iso();
      out.push_back({Tok::Text, literal.insert(0, pg ? "timestamp '" : "'").append(1, '\'')});
      i = end + 1;
    } else if (c == '[') {
      std::size_t end = sql.find(']', i + 1);
      if (end == std::string_view::npos || end == i + 1) refuse("unterminated bracketed name", sql);
      out.push_back({Tok::Name, name(sql.substr(i + 1, end - i - 1))});
      i = end + 1;
    } else if (isDigit(c) || (c == '.' && i + 1 < sql.size() && isDigit(sql[i + 1]))) {
      std::size_t start = i;
      while (i < sql.size() && (isDigit(sql[i]) || sql[i] == '.')) ++i;
      if (i < sql.size() && (sql[i] == 'e' || sql[i] == 'E')) {
        ++i;
        if (i < sql.size() && (sql[i] == '+' || sql[i] == '-')) ++i;
        while (i < sql.size() && isDigit(sql[i])) ++i;
      }
      if (i < sql.size() && isNameChar(static_cast<unsigned char>(sql[i]))) refuse("malformed number", sql);
      out.push_back({Tok::Number, std::string(sql.substr(start, i - start))});
    } else if (isNameStart(uc)) {
      std::size_t start = i;
      while (i < sql.size() && isNameChar(static_cast<unsigned char>(sql[i]))) ++i;
      std::string word(sql.substr(start, i - start));
      std::string low = lower(word);
      std::size_t next = i;
      while (next < sql.size() && (sql[next] == ' ' || sql[next] == '\t')) ++next;
      bool afterInto = !out.empty() && out.back().type == Tok::Keyword && out.back().text == "into";
      bool call = next < sql.size() && sql[next] == '(' && !afterInto;
      bool keyword = false;
      for (auto k : kKeywords) keyword = keyword || k == low;
      if (low == "true" || low == "false") {
        out.push_back({Tok::Number, pg ? low : low == "true" ? "1" : "0"});
      } else if (keyword) {
        out.push_back({Tok::Keyword, low});
      } else if (call) {
        std::string_view mapped;
        for (auto [jetName, engineName] : kFunctions)
          if (jetName == low) mapped = engineName;
        if (mapped.empty()) refuse("unknown function " + word, sql);
        out.push_back({Tok::Function, std::string(mapped)});
      } else {
        out.push_back({Tok::Name, name(word)});
      }
    } else if (c == '?') {
      out.push_back({Tok::Param, pg ? "$" + std::to_string(++marks) : "?"});
      ++i;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      refuse("comments are not accepted", sql);
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      refuse("comments are not accepted", sql);
    } else if (c == ';') {
      ++i;
      while (i < sql.size() && (sql[i] == ' ' || sql[i] == '\t' || sql[i] == '\r' || sql[i] == '\n')) ++i;
      if (i != sql.size()) refuse("only one statement is accepted", sql);
    } else if (c == '<' || c == '>' || c == '!') {
      std::string op(1, c);
      if (i + 1 < sql.size() && (sql[i + 1] == '=' || (c == '<' && sql[i + 1] == '>'))) op += sql[i + 1];
      if (op == "!") refuse("unexpected '!'", sql);
      out.push_back({Tok::Symbol, op});
      i += op.size();
    } else if (c == '&') {
      out.push_back({Tok::Symbol, "||"});
      ++i;
    } else if (c == '=' || c == '(' || c == ')' || c == ',' || c == '*' || c == '.' || c == '+' || c == '-' ||
               c == '/' || c == '%') {
      out.push_back({Tok::Symbol, std::string(1, c)});
      ++i;
    } else {
      refuse("unexpected character '" + std::string(1, c) + "'", sql);
    }
  }
  if (pg) caseBlindLike(out);
  return out;
}

std::string join(const std::vector<Token>& toks, std::size_t from, std::size_t to) {
  std::string out;
  for (std::size_t i = from; i < to; ++i) {
    const Token& t = toks[i];
    bool tight = t.text == "." || t.text == ")" || t.text == "," ||
                 (i > from && (toks[i - 1].text == "." || toks[i - 1].text == "(" || toks[i - 1].type == Tok::Function));
    if (!out.empty() && !tight) out += ' ';
    out += t.text;
  }
  return out;
}

bool isKeyword(const Token& t, std::string_view k) { return t.type == Tok::Keyword && t.text == k; }

std::string unquoted(std::string_view quoted) {
  if (quoted.empty() || quoted.front() != '"') return lower(quoted);
  std::string out;
  for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
    out += quoted[i];
    if (quoted[i] == '"') ++i;
  }
  return lower(out);
}

// Fills st.whereColumns and st.likes from the condition's tokens [from, to).
void describeCondition(const std::vector<Token>& toks, std::size_t from, std::size_t to, Statement& st) {
  bool subquery = false, chain = true;
  int depth = 0, marks = 0;
  for (std::size_t i = 0; i < from; ++i) marks += toks[i].type == Tok::Param;
  std::size_t start = from;  // of the present conjunct
  for (std::size_t i = from; i <= to; ++i) {
    if (i == to || (depth == 0 && isKeyword(toks[i], "and"))) {
      if (i - start == 3 && toks[start].type == Tok::Name && isKeyword(toks[start + 1], "like") &&
          toks[start + 2].type == Tok::Param)
        st.likes.push_back({unquoted(toks[start].text), marks - 1});
      start = i + 1;
      continue;
    }
    const Token& t = toks[i];
    if (t.type == Tok::Param) ++marks;
    if (t.type == Tok::Name) st.whereColumns.push_back(unquoted(t.text));
    if (isKeyword(t, "select")) subquery = true;
    // `between x and y` and `or`, `not` at any depth: not a plain chain of conjuncts.
    if (isKeyword(t, "or") || isKeyword(t, "not") || isKeyword(t, "between")) chain = false;
    if (t.text == "(") ++depth;
    if (t.text == ")") --depth;
  }
  if (subquery) st.whereColumns.clear();
  if (!chain || subquery) st.likes.clear();
}

Statement translateText(std::string_view sql, Dialect dialect) {
  std::vector<Token> toks = tokenize(sql, dialect);
  if (toks.empty()) refuse("empty statement", sql);
  Statement st;
  int depth = 0;
  for (std::size_t i = 0; i < toks.size(); ++i) {
    const Token& t = toks[i];
    if (t.type == Tok::Param) ++st.params;
    if (isKeyword(t, "in") && i + 2 < toks.size() && toks[i + 1].text == "(" && toks[i + 2].text == ")")
      refuse("empty in list", sql);
    if (t.text == "(") ++depth;
    if (t.text == ")" && --depth < 0) refuse("unbalanced parentheses", sql);
  }
  if (depth != 0) refuse("unbalanced parentheses", sql);

  const Token& first = toks.front();
  if (isKeyword(first, "delete") || isKeyword(first, "update") || isKeyword(first, "insert")) {
    st.kind = Statement::Kind::Write;
    st.text = join(toks, 0, toks.size());
    return st;
  }
  if (!isKeyword(first, "select")) refuse("only select, insert, update and delete are accepted", sql);
  st.kind = Statement::Kind::Select;

  // "select top n": a limit at the end in the engine's dialect.
  std::size_t after = 1;
  if (after < toks.size() && isKeyword(toks[after], "distinct")) ++after;
  if (after + 1 < toks.size() && toks[after].type == Tok::Name && unquoted(toks[after].text) == "top" &&
      toks[after + 1].type == Tok::Number) {
    Value n(toks[after + 1].text);
    if (!isWholeNumber(toks[after + 1].text) || n.toInteger() < 0) refuse("top needs a whole number", sql);
    st.top = n.toInteger();
    toks.erase(toks.begin() + static_cast<long>(after), toks.begin() + static_cast<long>(after) + 2);
  }
  st.text = join(toks, 0, toks.size());

  // The shape whose rows are one table's: select * from T [where c] [order by o].
  if (toks.size() >= 4 && toks[1].text == "*" && toks[1].type == Tok::Symbol && isKeyword(toks[2], "from") &&
      toks[3].type == Tok::Name) {
    std::size_t where = 0, order = 0;
    bool plain = true;
    depth = 0;
    for (std::size_t i = 4; i < toks.size(); ++i) {
      const Token& t = toks[i];
      if (t.text == "(") ++depth;
      if (t.text == ")") --depth;
      if (depth != 0) continue;
      if (isKeyword(t, "where") && where == 0 && order == 0 && i == 4) {
        where = i;
      } else if (isKeyword(t, "order") && order == 0 && i + 1 < toks.size() && isKeyword(toks[i + 1], "by")) {
        order = i;
      } else if (i == 4 || isKeyword(t, "group") || isKeyword(t, "having") || isKeyword(t, "join") ||
                 isKeyword(t, "where") || (t.text == "," && order == 0)) {
        plain = false;  // a second table, an alias, a grouping: not one table's rows
      }
    }
    if (plain) {
      st.table = toks[3].text;
      std::size_t whereEnd = order ? order : toks.size();
      if (where) st.where = join(toks, where + 1, whereEnd);
      if (where && st.where.empty()) refuse("where without a condition", sql);
      if (where) describeCondition(toks, where + 1, whereEnd, st);
      if (order) st.orderBy = join(toks, order + 2, toks.size());
      if (order && st.orderBy.empty()) refuse("order by without a column", sql);
    }
  }
  return st;
}

// Words PostgreSQL reserves (as names of columns or tables they need quotes).
bool pgReserved(std::string_view w) {
  static constexpr std::string_view kReserved[] = {
      "all", "analyse", "analyze", "and", "any", "array", "as", "asc", "asymmetric", "authorization", "binary", "both",
      "case", "cast", "check", "collate", "collation", "column", "concurrently", "constraint", "create", "cross",
      "current_catalog", "current_date", "current_role", "current_schema", "current_time", "current_timestamp",
      "current_user", "default", "deferrable", "desc", "distinct", "do", "else", "end", "except", "false", "fetch",
      "for", "foreign", "freeze", "from", "full", "grant", "group", "having", "ilike", "in", "initially", "inner",
      "intersect", "into", "is", "isnull", "join", "lateral", "leading", "left", "like", "limit", "localtime",
      "localtimestamp", "natural", "not", "notnull", "null", "offset", "on", "only", "or", "order", "outer",
      "overlaps", "placing", "primary", "references", "returning", "right", "select", "session_user", "similar",
      "some", "symmetric", "system_user", "table", "tablesample", "then", "to", "trailing", "true", "union", "unique",
      "user", "using", "variadic", "verbose", "when", "where", "window", "with"};
  for (auto r : kReserved)
    if (r == w) return true;
  return false;
}

}  // namespace

std::string quoteName(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string pgName(std::string_view name) {
  std::string low = lower(name);
  bool plain = !low.empty() && !isDigit(low[0]) && !pgReserved(low);
  for (char c : low) plain = plain && isNameChar(static_cast<unsigned char>(c)) && c != '$';
  return plain ? low : quoteName(low);
}

std::shared_ptr<const Statement> translate(std::string_view sql, Dialect dialect) {
  // Pages send a few dozen distinct texts; texts with spliced ids vary, so the
  // cache is bounded and simply starts over when full.
  thread_local std::unordered_map<std::string, std::shared_ptr<const Statement>> cache;
  std::string key(sql);
  if (dialect == Dialect::Postgres) key.insert(0, 1, '\0');  // no page text starts with a NUL
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  auto st = std::make_shared<const Statement>(translateText(sql, dialect));
  if (cache.size() >= 512) cache.clear();
  cache.emplace(std::move(key), st);
  return st;
}

}  // namespace tovi::data::jet
