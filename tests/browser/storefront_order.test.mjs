// The storefront in headless Chromium against the real server with the demo
// menu: the order form's checks, the order summary, sending and the history.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startSite, launchBrowser, recordDialogs } from './support.mjs';

let site, browser;
before(async () => {
  site = await startSite({ demo: true });
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  await site?.stop();
});

const sql = (statement) => site.sql(statement);

async function nextDialog(seen, count) {
  for (let i = 0; i < 200 && seen.length <= count; i++) await new Promise((r) => setTimeout(r, 25));
  assert.ok(seen.length > count, 'a dialog was expected');
  return seen[count];
}

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
  // Enter in a field never sends the form.
  await page.press('input[name=yhm]', 'Enter');
  await page.waitForTimeout(200);
  assert.equal(posts.length, 0);
  await page.close();
});

test('two dishes make two order lines and a total of 32; cancel sends nothing, OK stores the order', async () => {
  const page = await browser.newPage();
  let confirmAnswer = false;
  const seen = recordDialogs(page, () => confirmAnswer);
  const posts = [];
  page.on('request', (r) => { if (r.url().includes('dctj.asp')) posts.push(r); });
  await page.goto(site.url + 'kcdg.asp');
  await quantityOf(page, '宫保鸡丁饭').fill('2');
  await quantityOf(page, '番茄炒蛋饭').fill('1');
  await fillContact(page, { yhm: '王小明', addresss: '台江区五一路88号' });
  await page.selectOption('select[name=hours]', '12');
  await page.selectOption('select[name=minutes]', '30');

  const lines = '⊕宫保鸡丁饭 12元 X 2份=24元 \n\n⊕番茄炒蛋饭 8元 X 1份=8元 \n\n';
  const summary = '您的订单如下：\n\n' + '-'.repeat(19) + '\n\n' + lines + '-'.repeat(37) + '\n\n' +
    '总计:     32元\n\n送餐时间：12点30分';
  await page.click('#orderImage');
  const cancelled = await nextDialog(seen, 0);
  assert.equal(cancelled.type, 'confirm');
  assert.equal(cancelled.message, summary);
  await page.waitForTimeout(200);
  assert.equal(posts.length, 0);
  assert.equal(await page.inputValue('input[name=list]'), '');
  assert.equal(await page.inputValue('input[name=list1]'), '');

  const before = Number(sql('select count(*) from tdgl'));
  confirmAnswer = true;
  await page.click('#orderImage');
  await page.waitForURL(/index\.asp$/);
  assert.equal(posts.length, 1);
  const success = seen.find((d) => d.type === 'alert');
  assert.equal(success?.message, '订餐成功！！我们会准时送到您的手中！！谢谢光临！！');
  assert.equal(Number(sql('select count(*) from tdgl')), before + 1);
  const row = sql("select dcqk || '|' || dczj || '|' || hours || '|' || minutes || '|' || dczt from tdgl order by id desc limit 1");
  // Stored as received: the browser sends the line feeds of a form value as CR LF.
  assert.equal(row, lines.replace(/\n/g, '\r\n') + '|32|12|30|1');
  await page.close();
});

test('Chinese name and address typed in the browser come back from the order history', async () => {
  const page = await browser.newPage();
  const seen = recordDialogs(page, () => true);
  await page.goto(site.url + 'index.asp');
  await quantityOf(page, '卤肉饭').fill('1');
  await fillContact(page, { yhm: '欧阳娜娜', addresss: '鼓楼区杨桥中路“榕城”大厦3座' });
  await page.click('#orderImage');
  await page.waitForURL(/index\.asp$/);
  assert.ok(seen.some((d) => d.message.startsWith('订餐成功')));

  // The customer types their name into the history form of the navigation.
  await page.fill('form[action="ckdd.asp"] input[name=names]', '欧阳娜娜');
  await page.click('form[action="ckdd.asp"] input[type=submit]');
  await page.waitForURL(/ckdd\.asp\?names=/);
  const cells = page.locator('a.c6');
  assert.match(await page.locator('form[name=form1] table').innerText(), /⊕卤肉饭 9元 X 1份=9元/);
  assert.equal(await page.locator("td.STYLE2").first().innerText(), '等待中');
  // The hover box opens to the right of the pointer with the name and address
  // (the pointer comes from the left, as a hand moves it).
  const linkBox = await cells.first().boundingBox();
  await page.mouse.move(linkBox.x - 20, linkBox.y + linkBox.height / 2);
  await page.mouse.move(linkBox.x + 4, linkBox.y + linkBox.height / 2, { steps: 4 });
  const box = page.locator('#overDiv');
  await page.waitForFunction(() => document.getElementById('overDiv').style.visibility === 'visible');
  const text = await box.innerText();
  assert.match(text, /用户名：欧阳娜娜/);
  assert.match(text, /联系地址：鼓楼区杨桥中路“榕城”大厦3座/);
  assert.match(text, /电话号码：13800000000/);
  const shown = await box.boundingBox();
  assert.ok(shown.x > linkBox.x + 4, 'the box stands right of the pointer');
  await page.close();
});

test('a second order within the limit window is refused with its wait message', async () => {
  sql('update set_tamloall set order_time_state=1, order_time=10, order_times=1');
  try {
    const page = await browser.newPage();
    const seen = recordDialogs(page, () => true);
    const before = Number(sql('select count(*) from tdgl'));
    const alerts = () => seen.filter((d) => d.type === 'alert').map((d) => d.message);
    for (let i = 0; i < 2; i++) {
      await page.goto(site.url + 'jpsq.asp');
      await quantityOf(page, '佛跳墙').fill('1');
      await fillContact(page);
      await page.click('#orderImage');
      for (let t = 0; t < 200 && alerts().length <= i; t++) await page.waitForTimeout(25);
      // The accepted order sends the browser home; let that finish before the next one.
      if (i === 0) await page.waitForURL(/index\.asp$/);
    }
    assert.equal(alerts()[0], '订餐成功！！我们会准时送到您的手中！！谢谢光临！！');
    assert.match(alerts()[1], /^对不起！为了避免提交的垃圾信息过多而影响正常用户，请在(10|11)分钟后再订餐。$/);
    assert.equal(Number(sql('select count(*) from tdgl')), before + 1);
    await page.close();
  } finally {
    sql('update set_tamloall set order_time_state=0');
  }
});

test('the hover box shows a dish on its name and hides on leaving', async () => {
  const page = await browser.newPage();
  await page.goto(site.url + 'index.asp');
  const link = page.locator('a.c6', { hasText: '卤肉饭' });
  const visibility = () => page.evaluate(() => document.getElementById('overDiv').style.visibility);
  assert.notEqual(await visibility(), 'visible');
  await link.hover();
  assert.equal(await visibility(), 'visible');
  const box = page.locator('#overDiv');
  assert.match(await box.innerText(), /卤肉饭/);
  assert.match(await box.innerText(), /新品 五花肉卤足三小时/);
  assert.equal(await box.locator('img').getAttribute('src'), 'images/dishes/d05.jpg');
  const linkBox = await link.boundingBox();
  const shown = await box.boundingBox();
  assert.ok(shown.x + shown.width <= linkBox.x + linkBox.width, 'the box stands left of the pointer');
  await page.mouse.move(5, 5);
  assert.equal(await visibility(), 'hidden');
  await page.close();
});

test('the date line shows today\'s date with the weekday named as the site names it', async () => {
  const page = await browser.newPage();
  await page.goto(site.url + 'index.asp');
  const now = new Date();
  const names = ['星期七', '星期一', '星期二', '星期三', '星期四', '星期五', '星期六'];
  const expected = `${now.getFullYear()}年${now.getMonth() + 1}月${now.getDate()}日  ${names[now.getDay()]}`;
  const line = await page.evaluate(() => Array.from(document.getElementById('dateLine').childNodes)
    .filter((n) => n.nodeType === 3).map((n) => n.nodeValue).join(''));
  assert.equal(line, expected);
  // The banner falls back to its picture.
  assert.equal(await page.locator('embed').count(), 0);
  assert.ok(await page.locator('#bannerImage').isVisible());
  await page.close();
});
