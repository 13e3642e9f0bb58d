// Paths in the web root: letter case, and everything that must never be served.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/web_root.h"

using tovi::host::Resolved;
using tovi::host::WebRoot;
namespace fs = std::filesystem;

namespace {

class WebRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tovi-root-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    base_ = tmpl;
    root_ = base_ + "/site";
    for (const char* d : {"site/admin", "site/Images", "site/database", "site/css"}) fs::create_directories(base_ + "/" + d);
    for (const char* f : {"site/Index.asp", "site/admin/login.asp", "site/Images/jb1.gif", "site/css/style.css",
                          "site/database/tamlo.mdb", "site/.env", "site/old.mdb", "site/global.asa", "secret.txt"})
      std::ofstream(base_ + "/" + f) << "x";
  }
  void TearDown() override { fs::remove_all(base_); }
  std::string base_, root_;
};

TEST_F(WebRootTest, ResolvesWithoutRegardToCase) {
  WebRoot root(root_);
  struct Case {
    const char* url;
    Resolved::Kind kind;
    const char* path;
    const char* folder;
  } cases[] = {
      {"/Index.asp", Resolved::Kind::Page, "/Index.asp", ""},
      {"/index.ASP", Resolved::Kind::Page, "/Index.asp", ""},
      {"/ADMIN/Login.asp", Resolved::Kind::Page, "/admin/login.asp", "admin"},
      {"/admin/../images/JB1.GIF", Resolved::Kind::None, "", ""},
      {"/images/jb1.gif", Resolved::Kind::File, "/Images/jb1.gif", "Images"},
      {"/Css/Style.css", Resolved::Kind::File, "/css/style.css", "css"},
      {"//css//style.css", Resolved::Kind::File, "/css/style.css", "css"},
      {"/admin", Resolved::Kind::Directory, "/admin", "admin"},
      {"/", Resolved::Kind::Directory, "", ""},
      {"/nothere.asp", Resolved::Kind::None, "", ""},
  };
  for (const Case& c : cases) {
    Resolved r = root.resolve(c.url);
    EXPECT_EQ(r.kind, c.kind) << c.url;
    if (c.kind != Resolved::Kind::None) {
      EXPECT_EQ(r.path, root_ + c.path) << c.url;
      EXPECT_EQ(r.folder, c.folder) << c.url;
    }
  }
}

TEST_F(WebRootTest, RefusesTraversalDatabaseSourcesAndHiddenFiles) {
  WebRoot root(root_);
  const char* const hostile[] = {
      "/../secret.txt",        "/%2e%2e/secret.txt",      "/%2E%2E%2fsecret.txt", "/admin/..%2f..%2fsecret.txt",
      "/..%5csecret.txt",      "/admin\\..\\..\\secret.txt", "/./Index.asp",       "/database/tamlo.mdb",
      "/DataBase/TAMLO.MDB",   "/%64atabase/tamlo.mdb",   "/database/",           "/database",
      "/old.mdb",              "/OLD.MDB",                "/global.asa",          "/.env",
      "/%2eenv",               "/Index.asp%00.gif",       "/Index.asp.",          "/admin/%2e%2e/%2e%2e/secret.txt",
  };
  for (const char* url : hostile) {
    Resolved r = root.resolve(url);
    EXPECT_EQ(r.kind, Resolved::Kind::None) << url;
    EXPECT_EQ(r.path, "") << url;
  }
}

TEST_F(WebRootTest, DefaultDocumentOfAFolder) {
  WebRoot root(root_);
  Resolved r = root.defaultDocument(root.resolve("/"));
  EXPECT_EQ(r.kind, Resolved::Kind::Page);
  EXPECT_EQ(r.path, root_ + "/Index.asp");
  EXPECT_EQ(root.defaultDocument(root.resolve("/css/")).kind, Resolved::Kind::None);
}

TEST_F(WebRootTest, MapPathStaysInsideTheRoot) {
  WebRoot root(root_);
  EXPECT_EQ(root.mapPath("admin", "../database/tamlo.mdb"), root_ + "/database/tamlo.mdb");
  EXPECT_EQ(root.mapPath("", "./database/tamlo.mdb"), root_ + "/database/tamlo.mdb");
  EXPECT_EQ(root.mapPath("admin", "/Images/JB1.gif"), root_ + "/Images/jb1.gif");
  EXPECT_EQ(root.mapPath("admin", "new/file.txt"), root_ + "/admin/new/file.txt");
  for (const char* outside : {"../secret.txt", "../../etc/passwd", "..\\secret.txt", "/../secret.txt"})
    EXPECT_THROW((void)root.mapPath("", outside), std::invalid_argument) << outside;
  EXPECT_THROW((void)root.mapPath("admin", "../../secret.txt"), std::invalid_argument);
}

}  // namespace
