#include "host/page_file.h"

#include <sys/stat.h>

#include <cerrno>

#include <fstream>
#include <sstream>

#include "frame/text.h"

namespace tovi::host {
namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool startsWithWordI(std::string_view s, std::string_view word) {
  return s.size() > word.size() && frame::iequals(s.substr(0, word.size()), word) &&
         (s[word.size()] == ' ' || s[word.size()] == '\t');
}

bool isIdentifier(std::string_view s) {
  if (s.empty() || !((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'))) return false;
  for (char c : s)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

std::string withoutSpaces(std::string_view s) {
  std::string out;
  bool inString = false;
  for (char c : s) {
    if (c == '"') inString = !inString;
    if (!inString && (c == ' ' || c == '\t')) continue;
    out += c;
  }
  return out;
}

[[noreturn]] void refuse(int line, std::string_view what) {
  throw PageFileError("page script line " + std::to_string(line) + ": " + std::string(what));
}

struct Script {
  const frame::Registry& registry;
  PageBlock& page;
  std::string variable;  // the variable holding the component
  bool released = false;

  void statement(std::string_view s, int line) {
    if (s.empty() || s.front() == '\'' || frame::iequals(s, "rem") || startsWithWordI(s, "rem")) return;
    if (startsWithWordI(s, "dim")) {
      std::string names = withoutSpaces(s.substr(3));
      std::string_view rest = names;
      while (!rest.empty()) {
        std::size_t comma = rest.find(',');
        if (!isIdentifier(rest.substr(0, comma))) refuse(line, "Dim needs variable names");
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
      }
      return;
    }
    if (startsWithWordI(s, "set")) {
      std::string body = withoutSpaces(s.substr(3));
      std::size_t eq = body.find('=');
      if (eq == std::string::npos || !isIdentifier(std::string_view(body).substr(0, eq)))
        refuse(line, "unsupported Set statement");
      std::string var = body.substr(0, eq);
      std::string value = body.substr(eq + 1);
      if (frame::iequals(value, "Nothing")) {
        if (!page.type || !frame::iequals(var, variable)) refuse(line, "Set " + var + " = Nothing without the component");
        released = true;
        return;
      }
      static const std::string_view kCreate = "server.createobject(\"";
      if (value.size() > kCreate.size() + 2 && frame::iequals(std::string_view(value).substr(0, kCreate.size()), kCreate) &&
          value.compare(value.size() - 2, 2, "\")") == 0) {
        std::string id = value.substr(kCreate.size(), value.size() - kCreate.size() - 2);
        if (page.type) refuse(line, "a script block creates one component only");
        page.type = registry.find(id);
        if (!page.type) refuse(line, "no component is registered as \"" + id + "\"");
        variable = var;
        return;
      }
      refuse(line, "unsupported Set statement");
    }
    std::string call = withoutSpaces(startsWithWordI(s, "call") ? s.substr(4) : s);
    if (call.size() > 2 && call.compare(call.size() - 2, 2, "()") == 0) call.resize(call.size() - 2);
    std::size_t dot = call.find('.');
    if (dot != std::string::npos && isIdentifier(std::string_view(call).substr(0, dot)) &&
        isIdentifier(std::string_view(call).substr(dot + 1))) {
      std::string var = call.substr(0, dot), name = call.substr(dot + 1);
      if (!page.type || !frame::iequals(var, variable) || released) refuse(line, var + " is not the page's component");
      const frame::Operation* op = page.type->find(name);
      if (!op) refuse(line, page.type->id + " has no operation " + name);
      if (!op->run) refuse(line, page.type->id + "." + name + " cannot be called from a page");
      page.calls.push_back(op);
      return;
    }
    refuse(line, "unsupported statement: " + std::string(s.substr(0, 60)));
  }
};

int lineAt(std::string_view text, std::size_t pos) {
  int line = 1;
  for (std::size_t i = 0; i < pos && i < text.size(); ++i)
    if (text[i] == '\n') ++line;
  return line;
}

}  // namespace

bool PageFile::databaseOnly() const {
  if (blocks.empty()) return false;
  for (const PageBlock& b : blocks)
    if (b.type->output != frame::Output::DatabaseOnly) return false;
  return true;
}

PageFile parsePageFile(std::string_view text, const frame::Registry& registry) {
  PageFile page;
  std::string literal;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t open = text.find("<%", pos);
    std::string_view chunk = text.substr(pos, open == std::string_view::npos ? std::string_view::npos : open - pos);
    for (std::string_view include : {"<!--#include", "<!-- #include"}) {
      std::size_t at = chunk.find(include);
      if (at != std::string_view::npos) refuse(lineAt(text, pos + at), "server-side includes are not supported");
    }
    literal.append(chunk);
    if (open == std::string_view::npos) break;
    std::size_t close = text.find("%>", open + 2);
    if (close == std::string_view::npos) refuse(lineAt(text, open), "script block without %>");
    std::string_view inner = text.substr(open + 2, close - open - 2);
    pos = close + 2;
    if (!inner.empty() && inner.front() == '@') {
      // A directive: its line is not part of the page's text.
      if (text.substr(pos, 2) == "\r\n") pos += 2;
      else if (text.substr(pos, 1) == "\n") pos += 1;
      continue;
    }
    if (!inner.empty() && inner.front() == '=') refuse(lineAt(text, open), "<%= %> expressions are not supported");
    PageBlock& block = page.blocks.emplace_back();
    block.before = std::move(literal);
    literal.clear();
    Script script{registry, block, {}, false};
    int line = lineAt(text, open);
    std::string_view rest = inner;
    while (true) {
      std::size_t nl = rest.find('\n');
      script.statement(trimmed(rest.substr(0, nl)), line);
      if (nl == std::string_view::npos) break;
      rest.remove_prefix(nl + 1);
      ++line;
    }
    if (!block.type) refuse(lineAt(text, open), "a script block must create a component");
    if (block.calls.empty()) refuse(lineAt(text, open), "the component's render operation is never called");
  }
  page.after = std::move(literal);
  return page;
}

std::shared_ptr<const PageFile> PageCache::fresh(const std::string& path) {
  auto now = std::chrono::steady_clock::now();
  std::shared_lock lock(mutex_);
  auto it = entries_.find(path);
  if (it == entries_.end() || it->second.error || now - it->second.checked >= std::chrono::seconds(1)) return nullptr;
  return it->second.page;
}

std::shared_ptr<const PageFile> PageCache::get(const std::string& path) {
  auto now = std::chrono::steady_clock::now();
  {
    std::shared_lock lock(mutex_);
    auto it = entries_.find(path);
    if (it != entries_.end() && now - it->second.checked < std::chrono::seconds(1)) {
      if (it->second.error) throw PageFileError(*it->second.error);
      return it->second.page;
    }
  }
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) throw std::runtime_error("page file cannot be looked at: " + path);
    std::unique_lock lock(mutex_);
    entries_.erase(path);
    return nullptr;
  }
  long long mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  {
    std::unique_lock lock(mutex_);
    auto it = entries_.find(path);
    if (it != entries_.end() && it->second.mtimeNs == mtime && it->second.size == st.st_size) {
      it->second.checked = now;
      if (it->second.error) throw PageFileError(*it->second.error);
      return it->second.page;
    }
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("page file cannot be read: " + path);
  std::ostringstream text;
  text << in.rdbuf();
  Entry entry;
  entry.mtimeNs = mtime;
  entry.size = st.st_size;
  entry.checked = now;
  try {
    entry.page = std::make_shared<const PageFile>(parsePageFile(text.str(), registry_));
  } catch (const PageFileError& e) {
    entry.error = std::make_shared<const std::string>(path + ": " + e.what());
  }
  std::unique_lock lock(mutex_);
  Entry& slot = entries_[path];
  slot = std::move(entry);
  if (slot.error) throw PageFileError(*slot.error);
  return slot.page;
}

}  // namespace tovi::host
