// tovi: serves the site and prepares its database.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <termios.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "accounts/operators.h"
#include "backoffice/catalogue/picture_upload.h"
#include "data/change_stamp.h"
#include "data/connection.h"
#include "data/engine.h"
#include "data/maintenance.h"
#include "data/schema.h"
#include "frame/component.h"
#include "frame/module1.h"
#include "frame/text.h"
#include "host/server.h"
#include "main/migrate.h"
#include "main/site_setup.h"
#include "orders/live_feed.h"
#include "orders/order_follow.h"

namespace {

const char kUsage[] = R"(usage: tovi <command> [options]

commands:
  serve [--root DIR] [--host ADDR] [--port N] [--threads N]
        serves the site in DIR (default: site) on ADDR:N (default 127.0.0.1:8080)
        with N page workers (default: chosen for the machine); creates the
        database when it is missing, and does not start, leaving it as it is,
        when the file there is no database of this site. Stops on SIGTERM or
        SIGINT after finishing the requests in flight.
        --https              the site is served behind TLS (session cookies get
                             Secure, answers Strict-Transport-Security)
        --trusted-proxy ADDR believe X-Forwarded-For and X-Forwarded-Proto from
                             this peer (repeatable)
        --access-log FILE    access log file (default: standard output; "-" for none)
        --error-log FILE     error log file (default: standard error)
        --max-body BYTES     largest request body accepted (default: 8 MiB; the
                             picture upload takes 20 MiB)
        --fixed-code CODE    the login verification code is always CODE (tests only)
        --totp-test-time SECONDS
                             one-time login codes are checked as if the Unix
                             time were always SECONDS (tests only)
  init  [--demo]
        creates the database, or adds what it misses; an existing database
        keeps everything it holds, and a file that is no database of this
        site is refused untouched. A new database gets the site owner "admin",
        whose password is printed once. --demo adds the demo menu when the
        database has no dishes.
  passwd NAME
        sets the password of the back-office account NAME: one line read from
        standard input, or asked twice without echo on a terminal.
  passwd --reset-2fa NAME
        turns off the one-time login codes of NAME (a lost phone): removes its
        secret and its recovery codes; the password stays.
  backup FILE
        writes a copy of the database to the new file FILE; safe while the
        site is served.
  restore FILE
        replaces the database's content with the copy FILE, after checking it
        is a sound database of this site and keeping the current one in the
        backup folder (its name is printed). Safe while the site is served.
        (A site on PostgreSQL is backed up and restored with pg_dump and
        pg_restore; backup and restore refuse it.)
  migrate --to URL
        copies the site's database file into the empty PostgreSQL database
        URL (postgresql://USER@HOST:PORT/DB), ids kept, then compares each
        table on both sides (rows and a checksum) and prints them; refuses a
        database that holds anything. Stop the server first. Without --to,
        the database that --database (or the config) names.
  --help
        shows this text.

where the site is (every command):
  --root DIR      the web root (default: site)
  --data DIR      the folder of the database tamlo.mdb and its backup/ folder
                  (default: DIR/database of the web root)
  --uploads DIR   the folder of uploaded pictures (default: uploadpic of the root)
  --database URL  keeps the site's data in PostgreSQL instead of the file:
                  postgresql://USER@HOST:PORT/DB (never with a password: libpq
                  reads it from ~/.pgpass, or PGPASSFILE)
  --database-password-file FILE
                  the password file (.pgpass format) for --database
  --config FILE   reads options from FILE, one "key = value" a line (keys: the
                  long option names without "--"; https = yes|no); options
                  after it on the command line win
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

// Reads a config file into the options it stands for. Keys that only
// `serve` takes are left out for the other commands.
std::vector<std::string> configOptions(const std::string& path, bool serve) {
  std::ifstream in(path);
  if (!in) throw std::invalid_argument("--config: cannot read " + path);
  static const std::set<std::string> kSiteKeys = {"root", "data", "uploads", "database", "database-password-file"};
  static const std::set<std::string> kServeKeys = {"host", "address", "port", "threads", "io-threads", "https",
                                                   "trusted-proxy", "access-log", "error-log", "max-body"};
  std::vector<std::string> out;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::string text = tovi::frame::trim(line.substr(0, line.find('#')));
    if (text.empty()) continue;
    std::size_t eq = text.find('=');
    std::string key = tovi::frame::trim(text.substr(0, eq));
    std::string value = eq == std::string::npos ? "" : tovi::frame::trim(text.substr(eq + 1));
    std::string where = path + ":" + std::to_string(number) + ": ";
    if (eq == std::string::npos || value.empty()) throw std::invalid_argument(where + "expected key = value");
    if (!kSiteKeys.count(key) && !kServeKeys.count(key)) throw std::invalid_argument(where + "unknown key " + key);
    if (!serve && !kSiteKeys.count(key)) continue;
    if (key == "address") key = "host";
    if (key == "https") {
      std::string v = tovi::frame::asciiLower(value);
      if (v == "yes" || v == "true" || v == "on" || v == "1") out.push_back("--https");
      else if (v != "no" && v != "false" && v != "off" && v != "0")
        throw std::invalid_argument(where + "https is yes or no");
      continue;
    }
    out.push_back("--" + key);
    out.push_back(value);
  }
  return out;
}

// Where the site's files are, from --root, --data, --uploads and --config.
struct Site {
  std::string root = "site", data, uploads, server;  // server: a PostgreSQL URL, or empty for the file
  std::string databaseFolder() const { return data.empty() ? root + "/" + tovi::frame::kDatabaseFolder : data; }
  std::string database() const {
    return server.empty() ? databaseFolder() + "/" + tovi::frame::kDatabaseFile : server;
  }

  // Takes the option at args.pos when it is one of these; false otherwise.
  bool take(Args& args, bool serve) {
    const std::string a = args.items[args.pos];
    if (a != "--root" && a != "--data" && a != "--uploads" && a != "--config" && a != "--database" &&
        a != "--database-password-file")
      return false;
    ++args.pos;
    std::string value = args.next(a);
    if (a == "--root") root = value;
    else if (a == "--database") {
      if (!tovi::data::isServerLocation(value))
        throw std::invalid_argument("--database: not a postgresql:// URL: " + value);
      if (value.find(':', value.find("://") + 3) < value.find('@'))
        throw std::invalid_argument("--database: no password in the URL (use ~/.pgpass or --database-password-file)");
      server = value;
    } else if (a == "--database-password-file") {
      ::setenv("PGPASSFILE", value.c_str(), 1);  // libpq's own way; set before any connection
    }
    else if (a == "--data") data = value;
    else if (a == "--uploads") uploads = value;
    else {
      std::vector<std::string> more = configOptions(value, serve);
      args.items.insert(args.items.begin() + static_cast<std::ptrdiff_t>(args.pos), more.begin(), more.end());
    }
    return true;
  }
};

// The command's options other than the site's, for commands that take none
// but operands: returns the operands.
std::vector<std::string> operands(Args& args, Site& site, const std::string& command) {
  std::vector<std::string> out;
  while (args.more()) {
    if (site.take(args, false)) continue;
    std::string a = args.items[args.pos++];
    if (!a.empty() && a[0] == '-') throw std::invalid_argument(command + ": unknown option " + a);
    out.push_back(a);
  }
  return out;
}

std::string requireDatabase(const Site& site, const std::string& command) {
  std::string path = site.database();
  if (!tovi::data::isServerLocation(path) && !std::filesystem::exists(path)) throw std::invalid_argument(command + ": no database at " + path + " (run tovi init)");
  return path;
}

int init(Args& args) {
  Site site;
  bool demo = false;
  while (args.more()) {
    if (site.take(args, false)) continue;
    std::string a = args.items[args.pos++];
    if (a == "--demo") demo = true;
    else throw std::invalid_argument("init: unknown option " + a);
  }
  tovi::site::initSite(site.databaseFolder(), demo, std::cout, site.server);
  return 0;
}

// backup and restore copy the file; PostgreSQL has its own tools.
void refuseServer(const Site& site, const std::string& command) {
  if (site.server.empty()) return;
  throw std::invalid_argument(command + ": the site's data is in PostgreSQL (" + tovi::site::shownLocation(site.server) +
                              "): " + (command == "backup" ? "back it up with pg_dump, e.g. pg_dump -Fc -f FILE DB"
                                                           : "restore it with pg_restore, e.g. pg_restore --clean -d DB FILE"));
}

int backup(Args& args) {
  Site site;
  std::vector<std::string> files = operands(args, site, "backup");
  refuseServer(site, "backup");
  if (files.size() != 1) throw std::invalid_argument("backup: one file: tovi backup [--root DIR] FILE");
  tovi::data::backup(requireDatabase(site, "backup"), files[0]);
  std::cout << "tovi: backed up " << site.database() << " to " << files[0] << "\n";
  return 0;
}

int restore(Args& args) {
  Site site;
  std::vector<std::string> files = operands(args, site, "restore");
  refuseServer(site, "restore");
  if (files.size() != 1) throw std::invalid_argument("restore: one file: tovi restore [--root DIR] FILE");
  std::string db = requireDatabase(site, "restore");
  std::string kept =
      tovi::data::restoreKeepingCopy(files[0], db, site.databaseFolder() + "/backup", tovi::data::DateTime::now());
  std::cout << "tovi: kept the database as it was in " << kept << "\n"
            << "tovi: restored " << db << " from " << files[0] << "\n";
  return 0;
}

int migrate(Args& args) {
  Site site;
  std::string to;
  while (args.more()) {
    if (site.take(args, false)) continue;
    std::string a = args.items[args.pos++];
    if (a == "--to") to = args.next(a);
    else throw std::invalid_argument("migrate: unknown option " + a);
  }
  if (to.empty()) to = site.server;
  if (!tovi::data::isServerLocation(to))
    throw std::invalid_argument("migrate: where to? tovi migrate [--root DIR] --to postgresql://USER@HOST/DB");
  // The file, even when the config already names the server.
  const std::string file = site.databaseFolder() + "/" + tovi::frame::kDatabaseFile;
  if (!tovi::data::checkSiteDatabase(file)) throw std::invalid_argument("migrate: no database at " + file);
  const tovi::site::Migration m = tovi::site::migrate(file, to);
  tovi::site::printMigration(m, std::cout);
  return m.same() ? 0 : 1;
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
  Site site;
  auto reset = std::find(args.items.begin() + static_cast<std::ptrdiff_t>(args.pos), args.items.end(), "--reset-2fa");
  const bool resetCodes = reset != args.items.end();
  if (resetCodes) args.items.erase(reset);
  std::vector<std::string> names = operands(args, site, "passwd");
  if (names.empty()) throw std::invalid_argument("passwd: which account? tovi passwd [--root DIR] NAME");
  if (names.size() > 1) throw std::invalid_argument("passwd: one account name only");
  const std::string& name = names[0];
  std::string path = requireDatabase(site, "passwd");
  if (resetCodes) {
    if (!tovi::accounts::resetSecondFactor(path, name)) {
      std::cerr << "tovi: passwd: no account named " << name << "\n";
      return 1;
    }
    std::cout << "tovi: one-time login codes of \"" << name << "\" turned off (secret and recovery codes removed)\n";
    return 0;
  }
  std::string password;
  if (isatty(STDIN_FILENO)) {
    password = askHidden("New password: ");
    if (askHidden("Again: ") != password) throw std::invalid_argument("passwd: the two passwords differ");
  } else {
    if (!std::getline(std::cin, password)) throw std::invalid_argument("passwd: no password on standard input");
    if (!password.empty() && password.back() == '\r') password.pop_back();
  }
  if (!tovi::accounts::setAccountPassword(path, name, password)) {
    std::cerr << "tovi: passwd: no account named " << name << "\n";
    return 1;
  }
  std::cout << "tovi: password of \"" << name << "\" changed\n";
  return 0;
}

// Whether the site's database at `location` is one that several servers may
// share (PostgreSQL): then sessions, login failures and flood windows are kept
// in it; a database file serves one server, which keeps them in its memory.
bool usesSharedState(std::string_view location) {
  return location.starts_with("postgresql://") || location.starts_with("postgres://");
}

// Before serving: a missing database is created; an existing one gets the
// columns and indexes added since it was made, and its site owner when a
// first `tovi init` was cut short before it. A file that is no database of
// this site stops the start, untouched.
void prepareDatabase(const Site& site) {
  const std::string database = site.database();
  if (tovi::data::isServerLocation(database)) {
    try {
      tovi::site::initSite(site.databaseFolder(), false, std::cout, database);
    } catch (const tovi::data::Error& e) {
      throw std::runtime_error(std::string("serve: will not start: ") + e.what());
    }
    return;
  }
  bool ours = false;
  try {
    ours = tovi::data::checkSiteDatabase(database);
  } catch (const tovi::data::Error& e) {
    throw std::runtime_error(std::string("serve: will not start: ") + e.what());
  }
  tovi::data::clearBackupLeftovers(site.databaseFolder() + "/backup");
  if (!ours) {
    tovi::site::initSite(site.databaseFolder(), false, std::cout);
    return;
  }
  try {
    tovi::data::ensureDatabase(database);
    tovi::accounts::createFirstSiteOwner(database, std::cout);
    std::cout.flush();  // a password printed is kept even if the server is killed soon after
  } catch (const std::exception& e) {
    std::cerr << "tovi: could not bring " << database << " up to date: " << e.what() << "\n";
  }
}

int serve(Args& args) {
  tovi::host::ServeOptions o;
  Site site;
  while (args.more()) {
    if (site.take(args, true)) continue;
    std::string a = args.items[args.pos++];
    if (a == "--host") o.address = args.next(a);
    else if (a == "--port") o.port = static_cast<unsigned short>(number(a, args.next(a), 65535));
    else if (a == "--threads") o.threads = static_cast<unsigned>(number(a, args.next(a), 1024));
    else if (a == "--io-threads") o.ioThreads = static_cast<unsigned>(number(a, args.next(a), 64));
    else if (a == "--https") o.https = true;
    else if (a == "--trusted-proxy") o.trustedProxies.push_back(args.next(a));
    else if (a == "--access-log") o.accessLog = args.next(a);
    else if (a == "--error-log") o.errorLog = args.next(a);
    else if (a == "--max-body") o.maxBodyBytes = number(a, args.next(a), 1ul << 31);
    else if (a == "--fixed-code") {
      o.options["fixed-code"] = args.next(a);
      std::cerr << "tovi: warning: the login verification code is fixed to \"" << o.options["fixed-code"]
                << "\"; anyone can pass it. Use this for tests only.\n";
    } else if (a == "--totp-test-time") {
      o.options["totp-test-time"] = std::to_string(number(a, args.next(a), 1ul << 40));
      std::cerr << "tovi: warning: one-time login codes are checked on a fixed clock. Use this for tests only.\n";
    }
    else throw std::invalid_argument("serve: unknown option " + a);
  }
  o.root = site.root;
  // Phone photos: the upload page takes a larger body than the other pages.
  o.bodyLimits.emplace_back(tovi::backoffice::catalogue::kUploadPath,
                            std::max(o.maxBodyBytes, tovi::backoffice::catalogue::kUploadBodyBytes));
  if (!site.data.empty()) o.mounts.emplace_back(tovi::frame::kDatabaseFolder, site.data);
  if (!site.uploads.empty()) o.mounts.emplace_back("uploadpic", site.uploads);
  o.hiddenFolders = {tovi::frame::kDatabaseFolder};  // the database file and its backups
  if (!site.server.empty()) o.options["database"] = site.server;  // the pages' data source (frame/module1.h)
  o.changeStamp = [database = site.database()] { return tovi::data::changeStamp(database); };
  o.streams.push_back(tovi::orders::liveEvents(site.database(), o.changeStamp));
  o.streams.push_back(tovi::orders::orderEvents(site.database(), o.changeStamp));
  // A missing web root is reported by the server, before anything is created in it.
  if (std::filesystem::is_directory(site.root)) prepareDatabase(site);
  if (usesSharedState(site.database())) o.sharedState = site.database();
  tovi::frame::Registry registry;
  registry.keepSharedStateIn(o.sharedState);
  tovi::frame::registerPages(registry);
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
    if (command == "backup") return backup(args);
    if (command == "restore") return restore(args);
    if (command == "migrate") return migrate(args);
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
