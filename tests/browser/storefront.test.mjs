// The storefront with the demo menu in a real browser: the order form's checks, summary and posting, the member bar,
// the hover boxes, the date line, the banner, the guestbook's form; an order on a phone, followed live on its own page;
// every page under the Content-Security-Policy, the visitor's pages without a serious accessibility fault (axe) on a
// desktop and a phone.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { AxeBuilder } from '@axe-core/playwright';
import { devices } from 'playwright-core';
import { openSite, newVisitor, until, posts, dialog, clickTo, fillIn, logIn } from './support.mjs';

const { site, browser } = await openSite({ demo: true });

// The quantity field of `dish` on an ordering page.
const quantityOf = (dish) => `input[type=hidden][value="${dish}"] ~ input[name=number]`;
// The pages a visitor reads (the order history of 赵六, GBK in the query).
const visitorPages = `index kcdg jpsq ylxg ckdd.asp?names=%D5%D4%C1%F9 guestbook news newsitem.asp?id=1 bulletin register
  signin`.split(/\s+/);
// The serious and critical faults axe finds on `page`, each as "path: rule element".
const faults = async (page, path) => (await new AxeBuilder({ page }).analyze()).violations
  .filter((v) => ['serious', 'critical'].includes(v.impact)).map((v) => `${path}: ${v.id} ${v.nodes[0].target}`);

test('a visitor: the order form\'s checks, sign-up, the home page, an order, sign-out, the guestbook', async () => {
  let confirmAnswer = false;
  const { page, dialogs } = await newVisitor(browser, () => confirmAnswer), sent = posts(page);
  await page.goto(site.url + 'kcdg.asp');
  const noDish = '请在上方 快餐选择区 输入所订快餐数量', digits = '输入内容必须为数字', chinese = '联系人只能两个到五个汉字!';
  const dish = quantityOf('宫保鸡丁饭');
  for (const [fields, message] of [[{}, '联系人域不能为空'], [{ yhm: '张三' }, '送餐地址域不能为空'],
    [{ addresss: '台江区' }, '联系电话域不能为空'], [{ telsss: '123456789' }, '联系电话电话号码长度不正确！'],
    [{ telsss: '123-4567' }, digits], [{ yhm: '张' }, chinese], [{ yhm: '张三李四王五' }, chinese],
    [{ yhm: '张 三' }, '联系人必须全部为中文!'], [{ yhm: '张三', telsss: '13800000000' }, noDish], [{ [dish]: '1.5' }, '只能输入整数'],
    [{ [dish]: 'ab' }, digits], [{ [dish]: '-1' }, noDish], [{ [dish]: '0' }, noDish]]) {
    await fillIn(page, fields, '#orderImage');
    assert.deepEqual(await dialog(dialogs), { type: 'alert', message });
  }
  // Enter in a field never sends the form (nor leaves the page: the next click finds it).
  await page.press('input[name=yhm]', 'Enter');

  await clickTo(page, 'text=免费注册', /register\.asp/);
  const signup = { names: '王小明', password: 'secret1', password1: 'secret1', question: '宠物名字', answer: '阿黄',
    tel: '13800001111', address: '台江区五一路8号', email: 'wang@example.com', verifycode: '1234' };
  for (const [name, value] of Object.entries(signup)) await page.fill(`form[name=signup] input[name=${name}]`, value);
  await clickTo(page, 'input[value=" 注 册 "]', /index\.asp/);

  // The home page: the dish hover box opens left of the pointer and hides when it leaves.
  const hovered = page.locator('a.c6', { hasText: '卤肉饭' }), box = page.locator('#overDiv');
  await hovered.hover();  // innerText holds only what is visible
  assert.match(await box.innerText(), /卤肉饭[\s\S]*新品 五花肉卤足三小时/);
  const [hoveredBox, leftBox] = [await hovered.boundingBox(), await box.boundingBox()];
  assert.ok(leftBox.x + leftBox.width <= hoveredBox.x + hoveredBox.width / 2, 'the box stands left of the pointer');
  await page.mouse.move(5, 5);
  assert.equal(await box.evaluate((b) => b.style.visibility), 'hidden');
  // Today's date with the weekday named as the site names it; the banner falls back to its picture.
  const now = new Date(), names = ['星期七', '星期一', '星期二', '星期三', '星期四', '星期五', '星期六'];
  const line = await page.evaluate(() => Array.from(document.getElementById('dateLine').childNodes)
    .filter((n) => n.nodeType === 3).map((n) => n.nodeValue).join(''));
  assert.equal(line, `${now.getFullYear()}年${now.getMonth() + 1}月${now.getDate()}日  ${names[now.getDay()]}`);
  assert.deepEqual([await page.locator('embed').count(), await page.isVisible('#bannerImage')], [0, true]);

  // On an ordering page the bar, filled by script, names the member and hides the lookup; the contact is theirs.
  await page.goto(site.url + 'kcdg.asp');
  await until(async () => (await page.textContent('#member')).includes('王小明'), 'the bar naming the member');
  const contact = await Promise.all(['yhm', 'telsss', 'addresss'].map((f) => page.inputValue(`input[name=${f}]`)));
  assert.deepEqual(contact, ['王小明', '13800001111', '台江区五一路8号']);
  assert.equal(await page.isVisible('#lookup'), false);

  // The summary, cancelled, sends nothing; confirmed, the form is sent once, and its answer goes back home.
  await page.selectOption('[name=hours]', '12');
  await fillIn(page, { [dish]: '2', [quantityOf('番茄炒蛋饭')]: '1' }, '#orderImage');
  assert.deepEqual(await dialog(dialogs, '订单'), { type: 'confirm', message: '您的订单如下：\n\n' + '-'.repeat(19) + '\n\n'
    + '⊕宫保鸡丁饭 12元 X 2份=24元 \n\n⊕番茄炒蛋饭 8元 X 1份=8元 \n\n' + '-'.repeat(37) + '\n\n总计:     32元\n\n送餐时间：12点00分' });
  confirmAnswer = true;
  await clickTo(page, '#orderImage', /index\.asp$/);
  assert.equal(site.sql('select yhm, telsss, dczj, hours from tdgl'), '王小明|13800001111|32|12');

  // The bar leads to the member's orders, whose hover box opens right of the pointer, and signs out.
  await clickTo(page, '#member >> text=我的订单', /ckdd\.asp/);
  const link = page.locator('a.c6').first();
  await link.hover();
  assert.match(await box.innerText(), /用户名：王小明[\s\S]*联系地址：台江区五一路8号/);
  const [linkBox, shown] = [await link.boundingBox(), await box.boundingBox()];
  assert.ok(shown.x > linkBox.x + linkBox.width / 2, 'the box stands right of the pointer');
  await clickTo(page, '#member input[value=退出]', /index\.asp$/);

  // The guestbook's form checks a message; with the review on, a posted one waits hidden; the answer goes back.
  site.sql('update view2 set view=0');
  await page.goto(site.url + 'guestbook.asp');
  const send = 'form[name=guestbook] [type=submit]';
  await fillIn(page, { UserName: '李四', Comments: '第一行\n第二行', verifycode: '1234' }, send);
  assert.equal((await dialog(dialogs, '留言')).message, '请填写留言标题！');
  assert.deepEqual(sent, [site.url + 'register.asp', site.url + 'dctj.asp', site.url + 'signout.asp']);
  await fillIn(page, { Title: '好吃' });
  await clickTo(page, send, (u) => u.pathname.endsWith('/guestbook.asp') && !u.search);
  await dialog(dialogs, '审核');
  assert.equal(site.sql("select Online, Comments from Feedback where UserName='李四'"), '0|第一行<BR>第二行');
});

test('on a phone: a tap shows a dish, a newcomer orders and follows it; every page fits the screen', async () => {
  const { page, dialogs } = await newVisitor(browser, () => true, devices['iPhone 13']), found = [];
  await page.goto(site.url + 'index.asp');
  await page.tap('a.c6 >> text=卤肉饭');
  assert.deepEqual([await page.isVisible('#overDiv'), page.url()], [true, site.url + 'index.asp'], 'not followed');
  await page.goto(site.url + 'kcdg.asp');
  for (const [dish, n] of [['宫保鸡丁饭', '1'], ['番茄炒蛋饭', '3']]) await page.tap(quantityOf(dish)), await page.type(':focus', n);
  await fillIn(page, { yhm: '赵六', telsss: '13900000000', addresss: '鼓楼区' });
  await Promise.all([page.waitForURL(/index\.asp$/), page.tap('#orderImage')]);
  await dialog(dialogs, '总计:     36元');
  // The order history, looked up by name, links the order to its own page.
  await fillIn(page, { names: '赵六' });
  await Promise.all([page.waitForURL(/ckdd\.asp/), page.press('#lookup [name=names]', 'Enter')]);
  await Promise.all([page.waitForURL(/ddxx\.asp\?id=\d+$/), page.tap('a >> text=进度')]);
  const [id, shown] = [site.sql("select id from tdgl where yhm='赵六'"), () => page.textContent('#orderStatus')];
  assert.deepEqual([site.sql(`select dczj from tdgl where id=${id}`), page.url(), await shown()],
    ['36', `${site.url}ddxx.asp?id=${id}`, '等待中']);
  // The order's own page follows the kitchen's live screen: a move shows within a second; without the stream (a proxy
  // that drops it) the page asks every few seconds. A stranger's phone is refused the page.
  const { page: kitchen } = await logIn(browser, site), move = `.card[data-id="${id}"] button.move`;
  await kitchen.goto(site.url + 'admin/live.asp');
  await Promise.all([kitchen.waitForResponse(/action=move/), kitchen.click(move)]);
  await page.waitForFunction(() => document.getElementById('orderStatus').textContent === '处理当中', null,
    { timeout: 1000 });
  await page.route('**/order_events*', (route) => route.fulfill({ status: 502, body: 'bad gateway' }));
  await page.reload();
  await Promise.all([kitchen.waitForResponse(/action=move/), kitchen.click(move)]);
  await until(async () => (await shown()) === '派送当中', 'the move seen by polling');
  const stranger = (await newVisitor(browser, () => true, devices['iPhone 13'])).page;
  const refused = await stranger.goto(`${site.url}ddxx.asp?id=${id}`);
  assert.deepEqual([refused.status(), await stranger.textContent('[role=alert]')], [403,
    '这张订单只能在下单时所用的浏览器上查看，或由订餐的会员登录后查看。']);
  for (const path of visitorPages.map((p) => (p.includes('.asp') ? p : p + '.asp')).concat(`ddxx.asp?id=${id}`)) {
    await page.goto(site.url + path);
    const [wide, shown] = await page.evaluate(() => [document.documentElement.scrollWidth, screen.width]);
    if (wide > shown) found.push(`${path}: ${wide} px wide on ${shown}`);
    found.push(...(await faults(page, path)));
  }
  assert.deepEqual(found, []);
});

// After the walks above (they made the member and the message the ids name): a news item, an order through the form,
// then every page, the sign-outs last (".asp" added where a path has none). A new page goes in one of the lists.
test('the storefront and back-office pages pass the policy', async () => {
  site.sql("insert into cyxw (title, content, dates) values ('开业', '<p>欢迎</p>', '2024-03-09 10:00:00')");
  const { page } = await logIn(browser, site), violations = [], visitors = new Set(visitorPages), found = [];
  let current = 'kcdg.asp';
  page.on('console', (m) => /Content Security Policy/i.test(m.text()) && violations.push(`${current}: ${m.text()}`));
  // Also what the document's own event tells, frames included.
  await page.addInitScript(() => document.addEventListener('securitypolicyviolation', (e) =>
    console.error(`Content Security Policy violation: ${e.violatedDirective} ${e.blockedURI}`)));
  await page.goto(site.url + current);
  await fillIn(page, { number: '1', yhm: '张三', telsss: '13800000000', addresss: '台江区' });
  await Promise.all([page.waitForURL(/dctj\.asp/), page.press('#orderImage', 'Enter')]);  // the keyboard orders too
  const own = 'ddxx.asp?id=' + site.sql("select max(id) from tdgl where yhm='张三'");  // the order's own page
  visitors.add(own);
  const storefront = `index kcdg jpsq ylxg ckdd.asp?names=%D5%D4%C1%F9 guestbook news newsitem.asp?id=1 bulletin register
    signin member test Up_Bookpic.asp?formname=form1&editname=pic`;
  const backOffice = `login index menu admin kcdg kcdgadd kcdgedit.asp?id=1 jpsq jpsqadd jpsqedit.asp?id=1 ylxg ylxgadd
    ylxgedit.asp?id=1 cygl cygledit.asp?id=1 cyxw cyxwadd cyxwedit.asp?id=1 book_admin book_admin.asp?action=replay&id=1
    bulletin ddgl ddgl1.asp?id=1 order_pass live live_ticket.asp?id=1 phone_order sales_report reg reg1.asp?id=1
    manageadmin renpassword twofactor chkcode database_menager1 database_menager2 database_menager3 database_menager4 logout`;
  for (const path of storefront.split(/\s+/).concat(own, backOffice.split(/\s+/).map((p) => 'admin/' + p), 'signout')) {
    current = path.includes('.asp') ? path : path + '.asp';
    const answer = await page.goto(site.url + current, { waitUntil: 'load' });
    assert.ok(answer.status() < 400, `${current} answers ${answer.status()}`);
    if (visitors.has(path)) found.push(...(await faults(page, current)));
  }
  assert.deepEqual([violations, found], [[], []]);
});
