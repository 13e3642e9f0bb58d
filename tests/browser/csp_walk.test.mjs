// Every storefront and back-office page under the site's Content-Security-Policy:
// Chromium reports no violation on any of them. A new page goes into PAGES.
import { test, before } from 'node:test';
import assert from 'node:assert/strict';
import { openSite, recordDialogs, logIn, order } from './support.mjs';

// Paths below the site's address; ids are the rows made in before().
// The sign-out pages come last in their part: they end the visit.
const PAGES = {
  storefront: ['index.asp', 'kcdg.asp', 'jpsq.asp', 'ylxg.asp', 'ckdd.asp', 'guestbook.asp', 'news.asp',
    'newsitem.asp?id=1', 'bulletin.asp', 'register.asp', 'signin.asp', 'member.asp', 'test.asp', 'signout.asp'],
  backOffice: ['login', 'index', 'menu', 'admin', 'kcdg', 'kcdgadd', 'kcdgedit.asp?id=1', 'jpsq', 'jpsqadd',
    'jpsqedit.asp?id=1', 'ylxg', 'ylxgadd', 'ylxgedit.asp?id=1', 'cygl', 'cygledit.asp?id=1', 'cyxw', 'cyxwadd',
    'cyxwedit.asp?id=1', 'book_admin', 'book_admin.asp?action=replay&id=1', 'bulletin', 'ddgl', 'ddgl1.asp?id=1',
    'order_pass', 'live', 'live_ticket.asp?id=1', 'phone_order', 'sales_report', 'reg', 'reg1.asp?id=1',
    'manageadmin', 'renpassword', 'database_menager1', 'database_menager2', 'database_menager3', 'database_menager4',
  ].map((p) => 'admin/' + (p.includes('.asp') ? p : p + '.asp'))
    .concat(['Up_Bookpic.asp?formname=form1&editname=pic', 'admin/logout.asp']),
};

const { site, browser } = await openSite({ demo: true });
before(async () => {
  for (const row of ["cyxw (title, content, dates) values ('开业', '<p>欢迎</p>', '2024-03-09 10:00:00')",
    "Feedback (UserName, Comments, PostDate, Dates) values ('张三', '好吃', '2024-03-09 10:00:00', '2024-03-09 10:00:00')",
    "reg (names, password, sh, tel, address, dates) values ('李四', '', 1, '13800000000', '鼓楼区', '2024-03-09 10:00:00')"])
    site.sql('insert into ' + row);
  // One order, placed through the order form.
  const page = await browser.newPage();
  recordDialogs(page);
  await page.goto(site.url + 'kcdg.asp');
  await Promise.all([page.waitForURL(/dctj\.asp/), order(page)]);
  await page.close();
});

// Opens each path in `page` and returns the violations seen, as "path: text".
async function walk(page, paths) {
  let current = '';
  const violations = [];
  page.on('console', (m) => {
    if (/Content Security Policy/i.test(m.text())) violations.push(`${current}: ${m.text()}`);
  });
  // Also what the document's own event tells, frames included.
  await page.addInitScript(() => document.addEventListener('securitypolicyviolation', (e) =>
    console.error(`Content Security Policy violation: ${e.violatedDirective} ${e.blockedURI}`)));
  for (const path of paths) {
    current = path;
    const answer = await page.goto(site.url + path, { waitUntil: 'load' });
    assert.ok(answer.status() < 400, `${path} answers ${answer.status()}`);
  }
  return violations;
}

test('the storefront pages pass the policy', async () => {
  const page = await browser.newPage();
  recordDialogs(page);
  assert.deepEqual(await walk(page, PAGES.storefront), []);
  await page.close();
});

test('the back-office pages pass the policy', async () => {
  const { page } = await logIn(browser, site);
  assert.deepEqual(await walk(page, PAGES.backOffice), []);
  await page.context().close();
});
