// The storefront with the demo menu in a real browser: the order form and its history, the home page's
// scripts, a newcomer's walk, the guestbook's review, and every page under the Content-Security-Policy.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openSite, newVisitor, until, nextDialog, dialogShown, clickTo, fillIn, expectValues, quantityOf, order, logIn }
  from './support.mjs';

const { site, browser } = await openSite({ demo: true });

// The pages the policy walks take; a new page goes here.
const PAGES = {
  storefront: ['index', 'kcdg', 'jpsq', 'ylxg', 'ckdd', 'guestbook', 'news', 'newsitem.asp?id=1', 'bulletin', 'register',
    'signin', 'member', 'test', 'signout'],
  backOffice: ['login', 'index', 'menu', 'admin', 'kcdg', 'kcdgadd', 'kcdgedit.asp?id=1', 'jpsq', 'jpsqadd',
    'jpsqedit.asp?id=1', 'ylxg', 'ylxgadd', 'ylxgedit.asp?id=1', 'cygl', 'cygledit.asp?id=1', 'cyxw', 'cyxwadd',
    'cyxwedit.asp?id=1', 'book_admin', 'book_admin.asp?action=replay&id=1', 'bulletin', 'ddgl', 'ddgl1.asp?id=1',
    'order_pass', 'live', 'live_ticket.asp?id=1', 'phone_order', 'sales_report', 'reg', 'reg1.asp?id=1', 'manageadmin',
    'renpassword', 'database_menager1', 'database_menager2', 'database_menager3', 'database_menager4'].map((p) => 'admin/' + p)
    .concat(['Up_Bookpic.asp?formname=form1&editname=pic', 'admin/logout']),
};

// The posts of `page` to the submission page.
function posts(page, seen = []) {
  page.on('request', (r) => { if (r.url().includes('dctj.asp')) seen.push(r); });
  return seen;
}
// Waits until the member bar (filled by script) holds `text`.
const barShows = (page, text) =>
  until(async () => (await page.textContent('#member').catch(() => '')).includes(text), 'the bar showing ' + text);
const backHome = (page) => until(() => page.url().endsWith('/index.asp'), 'the way back home');

test('the order form checks its fields in order, one message at a time', async () => {
  const { page, dialogs } = await newVisitor(browser), sent = posts(page);
  await page.goto(site.url + 'kcdg.asp');
  const fill = (name, value) => () => page.fill(`input[name=${name}]`, value);
  const dish = (value) => () => quantityOf(page, '宫保鸡丁饭').fill(value);
  const noDish = '请在上方 快餐选择区 输入所订快餐数量', digits = '输入内容必须为数字', chinese = '联系人只能两个到五个汉字!';
  const steps = [[async () => {}, '联系人域不能为空'], [fill('yhm', '张三'), '送餐地址域不能为空'],
    [fill('addresss', '台江区'), '联系电话域不能为空'], [fill('telsss', '123456789'), '联系电话电话号码长度不正确！'],
    [fill('telsss', '123-4567'), digits], [fill('yhm', '张'), chinese], [fill('yhm', '张三李四王五'), chinese],
    [fill('yhm', '张 三'), '联系人必须全部为中文!'], [fill('yhm', '张三'), digits], [fill('telsss', '13800000000'), noDish],
    [dish('1.5'), '只能输入整数'], [dish('ab'), digits], [dish('-1'), noDish], [dish('0'), noDish],
    // Enter in a field never sends the form: the next click still finds the page and its check.
    [() => page.press('input[name=yhm]', 'Enter'), noDish]];
  for (const [change, message] of steps) {
    await change();
    const before = dialogs.length;
    await page.click('#orderImage');
    assert.deepEqual(await nextDialog(dialogs, before), { type: 'alert', message });
  }
  assert.equal(sent.length, 0);
  assert.match(page.url(), /kcdg\.asp$/);
});

test('two dishes make one order of 32 after the summary; the history shows it; a second order waits', async () => {
  site.sql('update set_tamloall set order_time_state=1, order_time=10, order_times=1');
  let confirmAnswer = false;
  const { page, dialogs } = await newVisitor(browser, () => confirmAnswer), sent = posts(page);
  const alerts = () => dialogs.filter((d) => d.type === 'alert').map((d) => d.message);
  await page.goto(site.url + 'kcdg.asp');
  const address = '鼓楼区杨桥中路“榕城”大厦3座', lines = '⊕宫保鸡丁饭 12元 X 2份=24元 \n\n⊕番茄炒蛋饭 8元 X 1份=8元 \n\n';
  await order(page, { dishes: { 宫保鸡丁饭: '2', 番茄炒蛋饭: '1' }, yhm: '欧阳娜娜', addresss: address, hours: '12', minutes: '30' });
  assert.deepEqual(await nextDialog(dialogs, 0), { type: 'confirm', message: '您的订单如下：\n\n' + '-'.repeat(19) +
    '\n\n' + lines + '-'.repeat(37) + '\n\n总计:     32元\n\n送餐时间：12点30分' });
  for (const hidden of ['list', 'list1']) assert.equal(await page.inputValue(`input[name=${hidden}]`), '');

  confirmAnswer = true;
  await clickTo(page, '#orderImage', /index\.asp$/);
  assert.equal(sent.length, 1, 'the cancelled summary sent nothing');
  assert.deepEqual(alerts(), ['订餐成功！！我们会准时送到您的手中！！谢谢光临！！']);
  // Stored as received: the browser sends the line feeds of a form value as CR LF.
  assert.equal(site.sql("select dcqk || '|' || dczj || '|' || hours || '|' || minutes || '|' || dczt from tdgl"),
    lines.replace(/\n/g, '\r\n') + '|32|12|30|1');

  await Promise.all([page.waitForURL(/ckdd\.asp\?names=/), fillIn(page, { 'form[action="ckdd.asp"] input[name=names]': '欧阳娜娜' },
    'form[action="ckdd.asp"] input[type=submit]')]);
  assert.match(await page.locator('form[name=form1] table').innerText(), /⊕宫保鸡丁饭 12元 X 2份=24元/);
  assert.equal(await page.locator('td.STYLE2').first().innerText(), '等待中');
  // The hover box opens right of the pointer with the name and address (the pointer comes from the left).
  const linkBox = await page.locator('a.c6').first().boundingBox(), box = page.locator('#overDiv');
  await page.mouse.move(linkBox.x - 20, linkBox.y + linkBox.height / 2);
  await page.mouse.move(linkBox.x + 4, linkBox.y + linkBox.height / 2, { steps: 4 });
  await page.waitForFunction(() => document.getElementById('overDiv').style.visibility === 'visible');
  const text = await box.innerText();
  for (const shown of ['用户名：欧阳娜娜', '联系地址：' + address, '电话号码：13800000000']) assert.ok(text.includes(shown), shown);
  assert.ok((await box.boundingBox()).x > linkBox.x + 4, 'the box stands right of the pointer');

  // The limit allows one order per 10 minutes from this browser.
  await page.goto(site.url + 'jpsq.asp');
  await order(page, { dishes: { 佛跳墙: '1' } });
  await until(() => alerts().length === 2, 'the refusal');
  assert.match(alerts()[1], /^对不起！为了避免提交的垃圾信息过多而影响正常用户，请在(10|11)分钟后再订餐。$/);
  assert.equal(site.sql('select count(*) from tdgl'), '1');
});

test('the home page\'s scripts: the dish hover box, the date line, the banner', async () => {
  const { page } = await newVisitor(browser);
  await page.goto(site.url + 'index.asp');
  const link = page.locator('a.c6', { hasText: '卤肉饭' }), box = page.locator('#overDiv');
  const visibility = () => page.evaluate(() => document.getElementById('overDiv').style.visibility);
  assert.notEqual(await visibility(), 'visible');
  await link.hover();
  assert.equal(await visibility(), 'visible');
  assert.match(await box.innerText(), /卤肉饭[\s\S]*新品 五花肉卤足三小时/);
  assert.equal(await box.locator('img').getAttribute('src'), 'images/dishes/d05.jpg');
  const [linkBox, shown] = [await link.boundingBox(), await box.boundingBox()];
  assert.ok(shown.x + shown.width <= linkBox.x + linkBox.width, 'the box stands left of the pointer');
  await page.mouse.move(5, 5);
  assert.equal(await visibility(), 'hidden');
  // Today's date with the weekday named as the site names it.
  const now = new Date(), names = ['星期七', '星期一', '星期二', '星期三', '星期四', '星期五', '星期六'];
  const line = await page.evaluate(() => Array.from(document.getElementById('dateLine').childNodes)
    .filter((n) => n.nodeType === 3).map((n) => n.nodeValue).join(''));
  assert.equal(line, `${now.getFullYear()}年${now.getMonth() + 1}月${now.getDate()}日  ${names[now.getDay()]}`);
  // The banner falls back to its picture.
  assert.equal(await page.locator('embed').count(), 0);
  assert.ok(await page.locator('#bannerImage').isVisible());
});

test('a newcomer signs up, orders without typing their details and finds the order', async () => {
  const { page, dialogs } = await newVisitor(browser);
  await page.goto(site.url + 'index.asp');
  await clickTo(page, 'text=免费注册', /register\.asp/);
  const signup = { names: '王小明', password: 'secret1', password1: 'secret1', question: '宠物名字', answer: '阿黄',
    tel: '13800001111', address: '台江区五一路8号', email: 'wang@example.com', verifycode: '1234' };
  for (const [name, value] of Object.entries(signup)) await page.fill(`form[name=signup] input[name=${name}]`, value);
  await clickTo(page, 'input[value=" 注 册 "]', /index\.asp/);
  assert.match(dialogs.at(-1).message, /注册成功/);
  await barShows(page, '王小明');
  await expectValues(page, { yhm: '王小明', telsss: '13800001111', addresss: '台江区五一路8号' });
  assert.equal(await page.isVisible('#lookup'), false);
  await page.locator('input[name=number]').first().fill('2');
  const count = dialogs.length;
  await page.click('#orderImage');
  await dialogShown(dialogs, '订餐成功', count);
  assert.equal(site.sql("select count(*) from tdgl where yhm='王小明' and telsss='13800001111'"), '1');
  // The success alert goes back to the home page by itself.
  await backHome(page);
  await page.waitForLoadState('load');
  await barShows(page, '我的订单');
  await clickTo(page, '#member >> text=我的订单', /ckdd\.asp/);
  assert.match(await page.content(), /等待中/);
  await page.goto(site.url + 'index.asp');
  await barShows(page, '王小明');
  await clickTo(page, '#member input[value=退出]', /signout\.asp/);
  await backHome(page);
  await barShows(page, '会员登录');
  assert.equal(await page.inputValue('input[name=yhm]'), '');
  await page.click('text=会员登录');
  await fillIn(page, { 'form[name=signin] input[name=names]': '王小明', 'form[name=signin] input[name=password]': 'secret1' });
  await clickTo(page, 'input[value=" 登 录 "]', /index\.asp/);
  await barShows(page, '王小明');
});

test('a guestbook message waits for review, then shows with the operator\'s reply', async () => {
  const { page: office, dialogs: officeDialogs } = await logIn(browser, site);
  await office.goto(site.url + 'admin/book_admin.asp');
  await office.check('input[name=view][value="0"]');
  await office.click('input[name=submit][value=保存设置]');
  await until(() => site.sql('select view from view2') === '0', 'the review switch');

  const { page, dialogs } = await newVisitor(browser);
  await page.goto(site.url + 'guestbook.asp');
  await fillIn(page, { UserName: '李四', Title: '<b>好吃</b>', Comments: '第一行<script>alert(1)</script>\n第二行',
    verifycode: '1234' });
  // The answer's alert then goes back to the list by itself.
  await clickTo(page, 'form[action*="guestbook.asp?action=post"] [type=submit]',
    (u) => u.pathname.endsWith('/guestbook.asp') && !u.search);
  assert.match((await nextDialog(dialogs, 0)).message, /审核/);
  const id = site.sql("select ID from Feedback where UserName='李四'");
  assert.equal(site.sql(`select Online from Feedback where ID=${id}`), '0');
  await page.waitForLoadState('load');
  assert.equal(await page.locator('text=第二行').count(), 0);

  await office.goto(site.url + `admin/book_admin.asp?action=replay&id=${id}`);
  await office.check('input[name=Online][value="1"]');
  const count = officeDialogs.length;
  await fillIn(office, { Replay: '谢谢光临' }, 'input[name=action][value=" 提 交 "]');
  await until(() => officeDialogs.length > count, 'the save');

  await page.goto(site.url + 'guestbook.asp');
  const text = await page.textContent('body');
  // Markup shows as text.
  for (const shown of ['<b>好吃</b>', '第一行<script>alert(1)</script>', '谢谢光临']) assert.ok(text.includes(shown), shown);
  assert.equal(await page.locator('text=第二行').count(), 1);
  assert.ok(!dialogs.some((d) => d.message === '1'), 'no script of the visitor ran');
});

// Opens each path (".asp" added where it has none) in `page`; the violations seen, as "path: text".
async function walk(page, paths) {
  let current = '';
  const violations = [];
  page.on('console', (m) => { if (/Content Security Policy/i.test(m.text())) violations.push(`${current}: ${m.text()}`); });
  // Also what the document's own event tells, frames included.
  await page.addInitScript(() => document.addEventListener('securitypolicyviolation', (e) =>
    console.error(`Content Security Policy violation: ${e.violatedDirective} ${e.blockedURI}`)));
  for (const path of paths) {
    current = path.includes('.asp') ? path : path + '.asp';
    const answer = await page.goto(site.url + current, { waitUntil: 'load' });
    assert.ok(answer.status() < 400, `${current} answers ${answer.status()}`);
  }
  return violations;
}

// After the walks above: the rows the pages' ids name, and an order placed through the order form.
test('the storefront and back-office pages pass the policy', async () => {
  for (const row of ["cyxw (title, content, dates) values ('开业', '<p>欢迎</p>', '2024-03-09 10:00:00')",
    "Feedback (UserName, Comments, PostDate, Dates) values ('张三', '好吃', '2024-03-09 10:00:00', '2024-03-09 10:00:00')",
    "reg (names, password, sh, tel, address, dates) values ('李四', '', 1, '13800000000', '鼓楼区', '2024-03-09 10:00:00')"])
    site.sql('insert into ' + row);
  const { page } = await newVisitor(browser);
  await page.goto(site.url + 'kcdg.asp');
  await Promise.all([page.waitForURL(/dctj\.asp/), order(page)]);
  assert.deepEqual(await walk(page, PAGES.storefront), []);
  assert.deepEqual(await walk((await logIn(browser, site)).page, PAGES.backOffice), []);
});
