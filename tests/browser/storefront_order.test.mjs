// The storefront in headless Chromium against the real server with the demo
// menu: the order form's checks, the order summary, sending and the history.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openSite, recordDialogs, nextDialog, until } from './support.mjs';

const { site, browser } = await openSite({ demo: true });
const sql = (statement) => site.sql(statement);

// The field triple of a dish, found by its stored name.
function quantityOf(page, dish) {
  return page.locator(`input[type=hidden][value="${dish}"] ~ input[name=number]`).first();
}

async function fillContact(page, { yhm = '张三', telsss = '13800000000', addresss = '台江区五一路1号' } = {}) {
  await page.fill('input[name=yhm]', yhm);
  await page.fill('input[name=telsss]', telsss);
  await page.fill('input[name=addresss]', addresss);
}

test('the order form checks its fields in order, one message at a time', async () => {
  const page = await browser.newPage();
  const seen = recordDialogs(page);
  const posts = [];
  page.on('request', (r) => { if (r.url().includes('dctj.asp')) posts.push(r); });
  await page.goto(site.url + 'kcdg.asp');
  const steps = [
    [async () => {}, '联系人域不能为空'],
    [() => page.fill('input[name=yhm]', '张三'), '送餐地址域不能为空'],
    [() => page.fill('input[name=addresss]', '台江区'), '联系电话域不能为空'],
    [() => page.fill('input[name=telsss]', '123456789'), '联系电话电话号码长度不正确！'],
    [() => page.fill('input[name=telsss]', '123-4567'), '输入内容必须为数字'],
    [() => page.fill('input[name=yhm]', '张'), '联系人只能两个到五个汉字!'],
    [() => page.fill('input[name=yhm]', '张三李四王五'), '联系人只能两个到五个汉字!'],
    [() => page.fill('input[name=yhm]', '张 三'), '联系人必须全部为中文!'],
    [() => page.fill('input[name=yhm]', '张三'), '输入内容必须为数字'],
    [() => page.fill('input[name=telsss]', '13800000000'), '请在上方 快餐选择区 输入所订快餐数量'],
    [() => quantityOf(page, '宫保鸡丁饭').fill('1.5'), '只能输入整数'],
    [() => quantityOf(page, '宫保鸡丁饭').fill('ab'), '输入内容必须为数字'],
    [() => quantityOf(page, '宫保鸡丁饭').fill('-1'), '请在上方 快餐选择区 输入所订快餐数量'],
    [() => quantityOf(page, '宫保鸡丁饭').fill('0'), '请在上方 快餐选择区 输入所订快餐数量'],
  ];
  for (const [change, message] of steps) {
    await change();
    const before = seen.length;
    await page.click('#orderImage');
    const d = await nextDialog(seen, before);
    assert.equal(d.type, 'alert');
    assert.equal(d.message, message);
  }
  // Enter in a field never sends the form: the next click still finds the page and its check.
  await page.press('input[name=yhm]', 'Enter');
  const before = seen.length;
  await page.click('#orderImage');
  assert.equal((await nextDialog(seen, before)).message, '请在上方 快餐选择区 输入所订快餐数量');
  assert.equal(posts.length, 0);
  assert.match(page.url(), /kcdg\.asp$/);
  await page.close();
});

test('two dishes make one order of 32 after the summary; the history shows it; a second order waits', async () => {
  sql('update set_tamloall set order_time_state=1, order_time=10, order_times=1');
  const page = await browser.newPage();
  let confirmAnswer = false;
  const seen = recordDialogs(page, () => confirmAnswer);
  const alerts = () => seen.filter((d) => d.type === 'alert').map((d) => d.message);
  const posts = [];
  page.on('request', (r) => { if (r.url().includes('dctj.asp')) posts.push(r); });
  await page.goto(site.url + 'kcdg.asp');
  await quantityOf(page, '宫保鸡丁饭').fill('2');
  await quantityOf(page, '番茄炒蛋饭').fill('1');
  await fillContact(page, { yhm: '欧阳娜娜', addresss: '鼓楼区杨桥中路“榕城”大厦3座' });
  await page.selectOption('select[name=hours]', '12');
  await page.selectOption('select[name=minutes]', '30');

  const lines = '⊕宫保鸡丁饭 12元 X 2份=24元 \n\n⊕番茄炒蛋饭 8元 X 1份=8元 \n\n';
  const summary = '您的订单如下：\n\n' + '-'.repeat(19) + '\n\n' + lines + '-'.repeat(37) + '\n\n' +
    '总计:     32元\n\n送餐时间：12点30分';
  await page.click('#orderImage');
  const cancelled = await nextDialog(seen, 0);
  assert.equal(cancelled.type, 'confirm');
  assert.equal(cancelled.message, summary);
  assert.equal(await page.inputValue('input[name=list]'), '');
  assert.equal(await page.inputValue('input[name=list1]'), '');

  confirmAnswer = true;
  await page.click('#orderImage');
  await page.waitForURL(/index\.asp$/);
  assert.equal(posts.length, 1, 'the cancelled summary sent nothing');
  assert.deepEqual(alerts(), ['订餐成功！！我们会准时送到您的手中！！谢谢光临！！']);
  // Stored as received: the browser sends the line feeds of a form value as CR LF.
  assert.equal(sql("select dcqk || '|' || dczj || '|' || hours || '|' || minutes || '|' || dczt from tdgl"),
    lines.replace(/\n/g, '\r\n') + '|32|12|30|1');

  // The customer types their name into the history form of the navigation.
  await page.fill('form[action="ckdd.asp"] input[name=names]', '欧阳娜娜');
  await page.click('form[action="ckdd.asp"] input[type=submit]');
  await page.waitForURL(/ckdd\.asp\?names=/);
  assert.match(await page.locator('form[name=form1] table').innerText(), /⊕宫保鸡丁饭 12元 X 2份=24元/);
  assert.equal(await page.locator('td.STYLE2').first().innerText(), '等待中');
  // The hover box opens right of the pointer with the name and address (the
  // pointer comes from the left, as a hand moves it).
  const linkBox = await page.locator('a.c6').first().boundingBox();
  await page.mouse.move(linkBox.x - 20, linkBox.y + linkBox.height / 2);
  await page.mouse.move(linkBox.x + 4, linkBox.y + linkBox.height / 2, { steps: 4 });
  const box = page.locator('#overDiv');
  await page.waitForFunction(() => document.getElementById('overDiv').style.visibility === 'visible');
  const text = await box.innerText();
  for (const shown of [/用户名：欧阳娜娜/, /联系地址：鼓楼区杨桥中路“榕城”大厦3座/, /电话号码：13800000000/]) assert.match(text, shown);
  assert.ok((await box.boundingBox()).x > linkBox.x + 4, 'the box stands right of the pointer');

  // The limit allows one order per 10 minutes from this browser.
  await page.goto(site.url + 'jpsq.asp');
  await quantityOf(page, '佛跳墙').fill('1');
  await fillContact(page);
  await page.click('#orderImage');
  await until(() => alerts().length === 2, 'the refusal');
  assert.match(alerts()[1], /^对不起！为了避免提交的垃圾信息过多而影响正常用户，请在(10|11)分钟后再订餐。$/);
  assert.equal(sql('select count(*) from tdgl'), '1');
  await page.close();
});

test('the home page\'s scripts: the dish hover box, the date line, the banner', async () => {
  const page = await browser.newPage();
  await page.goto(site.url + 'index.asp');
  const link = page.locator('a.c6', { hasText: '卤肉饭' });
  const visibility = () => page.evaluate(() => document.getElementById('overDiv').style.visibility);
  assert.notEqual(await visibility(), 'visible');
  await link.hover();
  assert.equal(await visibility(), 'visible');
  const box = page.locator('#overDiv');
  assert.match(await box.innerText(), /卤肉饭[\s\S]*新品 五花肉卤足三小时/);
  assert.equal(await box.locator('img').getAttribute('src'), 'images/dishes/d05.jpg');
  const linkBox = await link.boundingBox();
  const shown = await box.boundingBox();
  assert.ok(shown.x + shown.width <= linkBox.x + linkBox.width, 'the box stands left of the pointer');
  await page.mouse.move(5, 5);
  assert.equal(await visibility(), 'hidden');

  // Today's date with the weekday named as the site names it.
  const now = new Date();
  const names = ['星期七', '星期一', '星期二', '星期三', '星期四', '星期五', '星期六'];
  const line = await page.evaluate(() => Array.from(document.getElementById('dateLine').childNodes)
    .filter((n) => n.nodeType === 3).map((n) => n.nodeValue).join(''));
  assert.equal(line, `${now.getFullYear()}年${now.getMonth() + 1}月${now.getDate()}日  ${names[now.getDay()]}`);
  // The banner falls back to its picture.
  assert.equal(await page.locator('embed').count(), 0);
  assert.ok(await page.locator('#bannerImage').isVisible());
  await page.close();
});
