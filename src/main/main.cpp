// tovi: serves the site and prepares its database.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

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
  init  [--root DIR] [--demo]
        creates the database DIR/database/tamlo.mdb, or adds what it misses;
        an existing database keeps everything it holds. A new database gets
        the site owner "admin", whose password is printed once. --demo adds
        the demo menu when the database has no dishes.
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
