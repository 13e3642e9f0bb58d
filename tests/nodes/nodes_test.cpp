// Several `tovi serve` nodes on one PostgreSQL database (TOVI_TEST_PG), nginx
// in front from the packaged config: a browser signs in through one node and
// works the orders through the other, whose live screen shows an order the
// first took; clients order through nginx while a node is killed and started
// again, and no order answered as stored is lost or stored twice.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <regex>

#include "support/order_clients.h"
#include "support/server_db.h"

namespace {

unsigned short freePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero{}};
  socklen_t n = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), n);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
  close(fd);
  return ntohs(a.sin_port);
}

// nginx as the current user on loopback, its files in `dir`, from the packaged
// config with the nodes' ports in its upstream.
class Nginx {
 public:
  Nginx(const std::string& dir, const std::vector<unsigned short>& nodes) : port_(freePort()) {
    std::string ups;
    for (unsigned short p : nodes) ups += "    server 127.0.0.1:" + std::to_string(p) + " max_fails=1 fail_timeout=5s;\n";
    std::string conf = std::regex_replace(readFile(std::string(TOVI_SOURCE_DIR) + "/packaging/nginx-tovi.conf"),
                                          std::regex(R"((    server 10\.0\.0\.\d+:8080[^\n]*\n)+)"), ups);
    conf = std::regex_replace(conf, std::regex("listen 80;"), "listen 127.0.0.1:" + std::to_string(port_) + ";");
    std::filesystem::create_directories(dir + "/tmp");
    std::ofstream(dir + "/tovi.conf") << conf;
    std::ofstream(dir + "/nginx.conf") << "daemon off; master_process off; pid " + dir + "/nginx.pid; error_log " +
                                              dir + "/error.log; events {} http { access_log off; "
                                              "client_body_temp_path " + dir + "/tmp; proxy_temp_path " + dir +
                                              "/tmp; include " + dir + "/tovi.conf; }";
    process_ = std::make_unique<Process>(std::vector<std::string>{"-p", dir, "-c", dir + "/nginx.conf"},
                                         dir + "/start.log", "nginx");
    int fd = -1;
    for (int waited = 0; (fd = connectLoopback(port_)) < 0; waited += 10) {
      if (waited > 10000 || process_->exited()) throw std::runtime_error("nginx did not start: " + process_->output());
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    close(fd);
  }
  unsigned short port() const { return port_; }

 private:
  unsigned short port_;
  std::unique_ptr<Process> process_;
};

// The demo site made on a fresh database, two nodes on it behind nginx.
struct Nodes : ::testing::Test {
  ServerDb db{ServerDb::kAlways};
  const unsigned short portA = freePort(), portB = freePort();
  std::vector<std::string> serve(unsigned short port) {
    return {"--database", db.url(), "--port", std::to_string(port), "--access-log", "-", "--fixed-code", "1234",
            "--trusted-proxy", "127.0.0.1"};
  }
  LiveServer a{{.init = false, .serve = false, .args = serve(portA)}}, b{{.init = false, .serve = false, .args = serve(portB)}};
  std::string password = init();
  Nginx proxy{a.root() + ".nginx", {portA, portB}};

  std::string init() {
    Process run({"init", "--root", a.root(), "--database", db.url(), "--demo"}, a.root() + ".init");
    EXPECT_EQ(run.wait(), 0) << run.output();
    serverColumn(db.url(), "update set_tamloall set order_time_state=0, order_delet_state=0, order_flood_times=0");
    a.start();
    b.start();
    return printedPassword(run.output());
  }
  Markers stored() { return markers(serverColumn(db.url(), "select qtbz from tdgl")); }
  ~Nodes() override { std::filesystem::remove_all(a.root() + ".nginx"); }
};

TEST_F(Nodes, SignedInOnOneNodeTheStaffWorksTheOrdersOnTheOther) {
  ASSERT_TRUE(order(portA, "taken-by-a"));
  const std::string log = a.root() + ".browser";
  const std::string run = "TOVI_NODE_A=http://127.0.0.1:" + std::to_string(portA) + "/ TOVI_NODE_B=http://127.0.0.1:" +
                          std::to_string(portB) + "/ TOVI_PASSWORD='" + password + "' TOVI_ORDER='" +
                          gbkForm({{"list", "⊕宫保鸡丁饭 12元 X 2份=24元 \r\n\r\n"}, {"list1", "24"}, {"yhm", "李四"},
                                   {"telsss", "13900000000"}, {"zffs", "餐到付费"}, {"addresss", "五一路2号"},
                                   {"qtbz", "live-from-a"}, {"hours", "12"}, {"minutes", "00"}}) +
                          "' " TOVI_NODE " " TOVI_SOURCE_DIR "/tests/nodes/across_nodes.mjs >" + log + " 2>&1";
  EXPECT_EQ(std::system(run.c_str()), 0) << readFile(log);
  // What the browser did on node B is in the database.
  EXPECT_EQ(serverColumn(db.url(), "select dczt from tdgl where qtbz in ('taken-by-a', 'live-from-a') order by id"),
            (std::vector<std::string>{"2", "2"}));
}

TEST_F(Nodes, NoOrderAnsweredAsStoredIsLostWhenANodeIsKilled) {
  std::mt19937 random(std::random_device{}());
  OrderClients clients(8, proxy.port());
  long acceptedWhileDown = 0;
  for (int k = 1; k <= 3; ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution(200, 800)(random)));
    const Clock::time_point killed = Clock::now();
    ASSERT_TRUE(a.kill9()) << "node A had stopped by itself: " << a.output();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    a.start();
    const Clock::time_point back = Clock::now();
    const std::vector<Attempt> told = clients.ledger();  // before the orders are read: all answered by then
    for (const Attempt& t : told)
      acceptedWhileDown += t.outcome == Attempt::Accepted && t.sent > killed && t.answered < back;
    const OrderCheck check = checkOrders(told, stored());
    EXPECT_THAT(check.problems, IsEmpty()) << "after kill " << k << ": " << check.summary();
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  clients.stop();
  const OrderCheck check = checkOrders(clients.ledger(), stored());
  EXPECT_THAT(check.problems, IsEmpty()) << check.summary();
  std::cout << "[nodes] 3 kills of node A; orders through nginx: " << check.summary() << "; " << acceptedWhileDown
            << " accepted while A was down" << std::endl;
  EXPECT_GT(acceptedWhileDown, 0) << "node B took no order while node A was down";
  EXPECT_GT(check.counts[Attempt::Accepted], 50);
  EXPECT_EQ(HttpClient(proxy.port()).get("/index.asp").status, 200);
}

}  // namespace
