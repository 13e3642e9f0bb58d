// tovi: serves the site and prepares its database.
#include <cstdio>
#include <cstring>
#include <termios.h>
#include <unistd.h>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "sitepages/accounts.h"
#include "sitepages/site_init.h"
#include "frame/component.h"
#include "host/server.h"

namespace {

const char kUsage[] = R"(usage: tovi <command> [options]

commands:
  serve [--root DIR] [--host ADDR] [--port N] [--threads N]
        serves the site in DIR (default: site) on ADDR:N (default 127.0.0.1:8080)
        with N page workers (default: chosen for the machine); creates the
        database DIR/database/tamlo.mdb when it is missing. Stops on SIGTERM or
        SIGINT after finishing the requests in flight.
        --https            the site is served behind TLS (session cookies get Secure)
        --access-log FILE  access log file (default: standard output; "-" for none)
        --error-log FILE   error log file (default: standard error)
        --max-body BYTES   largest request body accepted (default: 8 MiB)
        --fixed-code CODE  the login verification code is always CODE (tests only)
  init  [--root DIR] [--demo]
        creates the database DIR/database/tamlo.mdb, or adds what it misses;
        an existing database keeps everything it holds. A new database gets
        the site owner "admin", whose password is printed once. --demo adds
        the demo menu when the database has no dishes.
  passwd [--root DIR] NAME
        sets the password of the back-office account NAME: one line read from
        standard input, or asked twice without echo on a terminal.
  --help
        shows this text.
)";

struct Args {
  std::vector<std::string> items;
  std::size_t pos = 0;
  bool more() const { return pos < items.size(); }
  std::string next(const std::string& flag) {
    if (!more()) throw std::invalid_argument(flag + " needs a value");
    return items[pos++];
  }
};

unsigned long number(const std::string& flag, const std::string& text, unsigned long max) {
  std::size_t used = 0;
  unsigned long v = 0;
  try {
    v = std::stoul(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || text.empty() || v > max) throw std::invalid_argument(flag + ": not a valid number: " + text);
  return v;
}

int init(Args& args) {
  std::string root = "site";
  bool demo = false;
  while (args.more()) {
    std::string a = args.items[args.pos++];
    if (a == "--root") root = args.next(a);
    else if (a == "--demo") demo = true;
    else throw std::invalid_argument("init: unknown option " + a);
  }
  tovi::sitepages::initSite(root, demo, std::cout);
  return 0;
}

// One line from the terminal without echo; the prompt goes to standard error.
std::string askHidden(const char* prompt) {
  std::cerr << prompt << std::flush;
  termios old{};
  bool tty = tcgetattr(STDIN_FILENO, &old) == 0;
  if (tty) {
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::string line;
  bool got = static_cast<bool>(std::getline(std::cin, line));
  if (tty) tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
  std::cerr << "\n";
  if (!got) throw std::invalid_argument("passwd: no password given");
  return line;
}

int passwd(Args& args) {
  std::string root = "site", name;
  while (args.more()) {
    std::string a = args.items[args.pos++];
    if (a == "--root") root = args.next(a);
    else if (!a.empty() && a[0] == '-') throw std::invalid_argument("passwd: unknown option " + a);
    else if (name.empty()) name = a;
    else throw std::invalid_argument("passwd: one account name only");
  }
  if (name.empty()) throw std::invalid_argument("passwd: which account? tovi passwd [--root DIR] NAME");
  std::string path = root + "/database/tamlo.mdb";
  if (!std::filesystem::exists(path)) throw std::invalid_argument("passwd: no database at " + path + " (run tovi init)");
  std::string password;
  if (isatty(STDIN_FILENO)) {
    password = askHidden("New password: ");
    if (askHidden("Again: ") != password) throw std::invalid_argument("passwd: the two passwords differ");
  } else {
    if (!std::getline(std::cin, password)) throw std::invalid_argument("passwd: no password on standard input");
    if (!password.empty() && password.back() == '\r') password.pop_back();
  }
  if (!tovi::sitepages::setAccountPassword(path, name, password)) {
    std::cerr << "tovi: passwd: no account named " << name << "\n";
    return 1;
  }
  std::cout << "tovi: password of \"" << name << "\" changed\n";
  return 0;
}

int serve(Args& args) {
  tovi::host::ServeOptions o;
  while (args.more()) {
    std::string a = args.items[args.pos++];
    if (a == "--root") o.root = args.next(a);
    else if (a == "--host") o.address = args.next(a);
    else if (a == "--port") o.port = static_cast<unsigned short>(number(a, args.next(a), 65535));
    else if (a == "--threads") o.threads = static_cast<unsigned>(number(a, args.next(a), 1024));
    else if (a == "--io-threads") o.ioThreads = static_cast<unsigned>(number(a, args.next(a), 64));
    else if (a == "--https") o.https = true;
    else if (a == "--access-log") o.accessLog = args.next(a);
    else if (a == "--error-log") o.errorLog = args.next(a);
    else if (a == "--max-body") o.maxBodyBytes = number(a, args.next(a), 1ul << 31);
    else if (a == "--fixed-code") {
      o.options["fixed-code"] = args.next(a);
      std::cerr << "tovi: warning: the login verification code is fixed to \"" << o.options["fixed-code"]
                << "\"; anyone can pass it. Use this for tests only.\n";
    }
    else throw std::invalid_argument("serve: unknown option " + a);
  }
  tovi::frame::Registry registry;
  tovi::frame::registerAllComponents(registry);
  return tovi::host::serve(o, registry);
}

}  // namespace

int main(int argc, char** argv) {
  Args args;
  for (int i = 1; i < argc; ++i) args.items.emplace_back(argv[i]);
  if (!args.more() || args.items[0] == "--help" || args.items[0] == "-h" || args.items[0] == "help") {
    std::cout << kUsage;
    return args.more() ? 0 : 2;
  }
  std::string command = args.items[args.pos++];
  try {
    if (command == "serve") return serve(args);
    if (command == "init") return init(args);
    if (command == "passwd") return passwd(args);
    std::cerr << "tovi: unknown command " << command << "\n\n" << kUsage;
    return 2;
  } catch (const std::invalid_argument& e) {
    std::cerr << "tovi: " << e.what() << "\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "tovi: " << e.what() << "\n";
    return 1;
  }
}
