// The storefront with the demo menu in a real browser: the order form's checks, summary and posting, the member bar,
// the hover boxes, the date line, the banner, the guestbook's form; every page under the Content-Security-Policy.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openSite, newVisitor, until, posts, dialog, clickTo, fillIn, order, logIn } from './support.mjs';

const { site, browser } = await openSite({ demo: true });

// Waits until the member bar (filled by script) holds `text`.
const barShows = (page, text) =>
  until(async () => (await page.textContent('#member').catch(() => '')).includes(text), 'the bar showing ' + text);
const quantityOf = (page, dish) => page.locator(`input[type=hidden][value="${dish}"] ~ input[name=number]`).first();

test('a visitor: the order form\'s checks, sign-up, the home page, filled-in form, an order, sign-out', async () => {
  let confirmAnswer = false;
  const { page, dialogs } = await newVisitor(browser, () => confirmAnswer), sent = posts(page);
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
    assert.deepEqual(await dialog(dialogs, before), { type: 'alert', message });
  }

  await clickTo(page, 'text=免费注册', /register\.asp/);
  const signup = { names: '王小明', password: 'secret1', password1: 'secret1', question: '宠物名字', answer: '阿黄',
    tel: '13800001111', address: '台江区五一路8号', email: 'wang@example.com', verifycode: '1234' };
  for (const [name, value] of Object.entries(signup)) await page.fill(`form[name=signup] input[name=${name}]`, value);
  await clickTo(page, 'input[value=" 注 册 "]', /index\.asp/);
  assert.match(dialogs.at(-1).message, /注册成功/);

  // The home page: the dish hover box opens left of the pointer and hides when it leaves.
  const hovered = page.locator('a.c6', { hasText: '卤肉饭' }), box = page.locator('#overDiv');
  const visibility = () => box.evaluate((b) => b.style.visibility);
  assert.notEqual(await visibility(), 'visible');
  await hovered.hover();
  assert.equal(await visibility(), 'visible');
  assert.match(await box.innerText(), /卤肉饭[\s\S]*新品 五花肉卤足三小时/);
  assert.equal(await box.locator('img').getAttribute('src'), 'images/dishes/d05.jpg');
  const [hoveredBox, leftBox] = [await hovered.boundingBox(), await box.boundingBox()];
  assert.ok(leftBox.x + leftBox.width <= hoveredBox.x + hoveredBox.width / 2, 'the box stands left of the pointer');
  await page.mouse.move(5, 5);
  assert.equal(await visibility(), 'hidden');
  // Today's date with the weekday named as the site names it; the banner falls back to its picture.
  const now = new Date(), names = ['星期七', '星期一', '星期二', '星期三', '星期四', '星期五', '星期六'];
  const line = await page.evaluate(() => Array.from(document.getElementById('dateLine').childNodes)
    .filter((n) => n.nodeType === 3).map((n) => n.nodeValue).join(''));
  assert.equal(line, `${now.getFullYear()}年${now.getMonth() + 1}月${now.getDate()}日  ${names[now.getDay()]}`);
  assert.equal(await page.locator('embed').count(), 0);
  assert.ok(await page.locator('#bannerImage').isVisible());

  // On an ordering page the bar, filled by script, names the member and hides the lookup; the contact is theirs.
  await page.goto(site.url + 'kcdg.asp');
  await barShows(page, '王小明');
  const contact = () => Promise.all(['yhm', 'telsss', 'addresss'].map((f) => page.inputValue(`input[name=${f}]`)));
  assert.deepEqual(await contact(), ['王小明', '13800001111', '台江区五一路8号']);
  assert.equal(await page.isVisible('#lookup'), false);

  // The summary, cancelled, sends nothing; confirmed, the form is sent once.
  const lines = '⊕宫保鸡丁饭 12元 X 2份=24元 \n\n⊕番茄炒蛋饭 8元 X 1份=8元 \n\n', before = dialogs.length;
  for (const [name, n] of [['宫保鸡丁饭', '2'], ['番茄炒蛋饭', '1']]) await quantityOf(page, name).fill(n);
  await page.selectOption('[name=hours]', '12');
  await page.click('#orderImage');
  assert.deepEqual(await dialog(dialogs, before), { type: 'confirm', message: '您的订单如下：\n\n' + '-'.repeat(19) +
    '\n\n' + lines + '-'.repeat(37) + '\n\n总计:     32元\n\n送餐时间：12点00分' });
  confirmAnswer = true;
  // The success alert goes back to the home page by itself.
  await clickTo(page, '#orderImage', /index\.asp$/);
  assert.equal(dialogs.at(-1).message, '订餐成功！！我们会准时送到您的手中！！谢谢光临！！');
  assert.deepEqual(sent, [site.url + 'register.asp', site.url + 'dctj.asp']);
  assert.equal(site.sql('select yhm, telsss, dczj, hours from tdgl'), '王小明|13800001111|32|12');

  // The bar leads to the member's orders, whose hover box opens right of the pointer.
  await clickTo(page, '#member >> text=我的订单', /ckdd\.asp/);
  const link = page.locator('a.c6').first();
  await link.hover();
  assert.match(await box.innerText(), /用户名：王小明[\s\S]*联系地址：台江区五一路8号/);
  const [linkBox, shown] = [await link.boundingBox(), await box.boundingBox()];
  assert.ok(shown.x > linkBox.x + linkBox.width / 2, 'the box stands right of the pointer');
  await clickTo(page, '#member input[value=退出]', /signout\.asp/);
  await until(() => page.url().endsWith('/index.asp'), 'the way back home');
  await barShows(page, '会员登录');
  assert.deepEqual(await contact(), ['', '', '']);
});

test('the guestbook form checks a message; with the review on, a posted one waits hidden', async () => {
  site.sql('update view2 set view=0');
  const { page, dialogs } = await newVisitor(browser), sent = posts(page);
  await page.goto(site.url + 'guestbook.asp');
  const send = 'form[name=guestbook] [type=submit]';
  await fillIn(page, { UserName: '李四', Comments: '第一行\n第二行', verifycode: '1234' }, send);
  assert.equal((await dialog(dialogs)).message, '请填写留言标题！');
  assert.deepEqual(sent, []);
  // The answer's alert then goes back to the list by itself.
  await fillIn(page, { Title: '好吃' });
  await clickTo(page, send, (u) => u.pathname.endsWith('/guestbook.asp') && !u.search);
  assert.match((await dialog(dialogs, 1)).message, /审核/);
  assert.equal(site.sql("select Online, Comments from Feedback where UserName='李四'"), '0|第一行<BR>第二行');
});

// After the walks above (they made the member and the message the ids name): a news item, an order through the form,
// then every page, the sign-outs last (".asp" added where a path has none). A new page goes in one of the lists.
test('the storefront and back-office pages pass the policy', async () => {
  site.sql("insert into cyxw (title, content, dates) values ('开业', '<p>欢迎</p>', '2024-03-09 10:00:00')");
  const { page } = await logIn(browser, site), violations = [];
  let current = 'kcdg.asp';
  page.on('console', (m) => /Content Security Policy/i.test(m.text()) && violations.push(`${current}: ${m.text()}`));
  // Also what the document's own event tells, frames included.
  await page.addInitScript(() => document.addEventListener('securitypolicyviolation', (e) =>
    console.error(`Content Security Policy violation: ${e.violatedDirective} ${e.blockedURI}`)));
  await page.goto(site.url + current);
  await Promise.all([page.waitForURL(/dctj\.asp/), order(page)]);
  const storefront = `index kcdg jpsq ylxg ckdd guestbook news newsitem.asp?id=1 bulletin register signin member test
    Up_Bookpic.asp?formname=form1&editname=pic`;
  const backOffice = `login index menu admin kcdg kcdgadd kcdgedit.asp?id=1 jpsq jpsqadd jpsqedit.asp?id=1 ylxg ylxgadd
    ylxgedit.asp?id=1 cygl cygledit.asp?id=1 cyxw cyxwadd cyxwedit.asp?id=1 book_admin book_admin.asp?action=replay&id=1
    bulletin ddgl ddgl1.asp?id=1 order_pass live live_ticket.asp?id=1 phone_order sales_report reg reg1.asp?id=1
    manageadmin renpassword database_menager1 database_menager2 database_menager3 database_menager4 logout`;
  for (const path of storefront.split(/\s+/).concat(backOffice.split(/\s+/).map((p) => 'admin/' + p), 'signout')) {
    current = path.includes('.asp') ? path : path + '.asp';
    const answer = await page.goto(site.url + current, { waitUntil: 'load' });
    assert.ok(answer.status() < 400, `${current} answers ${answer.status()}`);
  }
  assert.deepEqual(violations, []);
});
