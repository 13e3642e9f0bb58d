// Module1: the per-thread page context and the procedures every page shares.
//
// Each thread that runs pages has its own set of these variables. onstartpage
// fills the five host objects, onendpage clears them; conn, rs and sql stay
// until the next page on the thread replaces them.
//
//   using namespace tovi::frame::Module1;
//   openAdminDb();
//   checkAdmin();                        // ends the page for a visitor not admitted
//   Response().Write("<p>...</p>");
//
// A host object read with no page started on this thread throws NoPageContext.
#pragma once

#include <memory>
#include <stdexcept>

#include "data/connection.h"
#include "data/recordset.h"
#include "data/value.h"
#include "frame/host.h"

namespace tovi::frame {

// Where the site's database is: the file kDatabaseFile in the folder
// kDatabaseFolder of the web root (which the server may keep elsewhere).
inline constexpr char kDatabaseFolder[] = "database";
inline constexpr char kDatabaseFile[] = "tamlo.mdb";

class HttpDetails;

// A page ran on a thread where no page was started.
class NoPageContext : public std::logic_error {
 public:
  NoPageContext() : std::logic_error("no page context: the page was not started (onstartpage) on this thread") {}
};

// The variables of Module1, one set per thread.
struct PageContext {
  ResponseObject* response = nullptr;
  RequestObject* request = nullptr;
  ServerObject* server = nullptr;
  ApplicationObject* application = nullptr;
  SessionObject* session = nullptr;
  Context* mys = nullptr;  // for the clock and the HTTP details
  std::shared_ptr<data::Connection> conn;
  std::shared_ptr<data::Recordset> rs;
  data::Value sql;
};

// This thread's page context.
PageContext& pageContext();

namespace Module1 {

// The host objects of the current request; NoPageContext when none was started.
ResponseObject& Response();
RequestObject& Request();
ServerObject& Server();
ApplicationObject& Application();
SessionObject& Session();
// The server's local date and time, from the request context's clock.
data::DateTime Now();
// The HTTP details of the request (site pages only); NoPageContext without one.
HttpDetails& Http();

// The shared connection, record set and SQL text of this thread.
std::shared_ptr<data::Connection>& conn();
std::shared_ptr<data::Recordset>& rs();
data::Value& sql();
// A new record set from Server.CreateObject, put into the shared `rs`.
data::Recordset& newRs(std::string_view progid = "adodb.recordset");

// Open `conn` on ../database/tamlo.mdb (back office) or ./database/tamlo.mdb (storefront).
void openAdminDb();
void openFrontDb();
// The file-system path of the site's database file, as the open procedures
// reach it; the server's URL when the site keeps its data in PostgreSQL.
std::string databasePath();
// The back-office guards: admit a logged-in visitor of right 1 or 2 (checkAdmin)
// or of right 1 (checkTopAdmin); otherwise write the refusal and end the page.
// The right is currentRight(): an account demoted since its login is refused
// what it may no longer do, and a deleted one is sent to the login page.
void checkAdmin();
void checkTopAdmin();
// The logged-in visitor's right for this request: the one the login granted
// (session key flag), lowered to what the account holds now in wq_admin
// (1 above 2; a promotion counts from the next login). When the account is
// gone the login ends (session keys admin and flag emptied) and the result is
// Empty; Empty too when nobody is logged in. The session's flag follows a
// demotion, so the menu shows what is left. Reads the database at most once
// per request where the host keeps it (Context::checkedRight).
// Errors: data::Error when the database cannot be read.
data::Value currentRight();
// Whether checkAdmin would admit this visitor (writes nothing): for pages that
// answer a refusal their own way.
bool backOfficeAdmitted();
// The back-office footer block and the storefront's banner rows.
void showFooter();
void showBanner();

}  // namespace Module1
}  // namespace tovi::frame
