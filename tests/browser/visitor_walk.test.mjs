// A newcomer's walk in headless Chromium against the real server: sign up,
// order with the contact fields already filled, find the order under "my
// orders", sign out and in again, and post a guestbook message that the
// operator reviews, shows and answers from the back office.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openSite, recordDialogs, logIn, until, nextDialog } from './support.mjs';

const { site, browser } = await openSite({ demo: true });
const sql = (statement) => site.sql(statement);
// Waits until the member bar (filled by script) holds `text`.
const barShows = (page, text) =>
  until(async () => (await page.textContent('#member').catch(() => '')).includes(text), 'the bar showing ' + text);

test('a newcomer signs up, orders without typing their details and finds the order', async () => {
  const context = await browser.newContext();
  const page = await context.newPage();
  const seen = recordDialogs(page);
  await page.goto(site.url + 'index.asp');
  await Promise.all([page.waitForURL(/register\.asp/), page.click('text=免费注册')]);
  const fields = {
    names: '王小明', password: 'secret1', password1: 'secret1', question: '宠物名字', answer: '阿黄',
    tel: '13800001111', address: '台江区五一路8号', email: 'wang@example.com', verifycode: '1234',
  };
  for (const [name, value] of Object.entries(fields)) await page.fill(`form[name=signup] input[name=${name}]`, value);
  await Promise.all([page.waitForURL(/index\.asp/), page.click('input[value=" 注 册 "]')]);
  assert.match(seen.at(-1).message, /注册成功/);

  // The bar greets the member, and the order form starts with their details.
  await barShows(page, '王小明');
  assert.equal(await page.inputValue('input[name=yhm]'), '王小明');
  assert.equal(await page.inputValue('input[name=telsss]'), '13800001111');
  assert.equal(await page.inputValue('input[name=addresss]'), '台江区五一路8号');
  assert.equal(await page.isVisible('#lookup'), false);

  await page.locator('input[name=number]').first().fill('2');
  const count = seen.length;
  await page.click('#orderImage');
  await until(() => seen.some((d, i) => i >= count && d.message.includes('订餐成功')), 'the order to be stored');
  assert.equal(sql("select count(*) from tdgl where yhm='王小明' and telsss='13800001111'"), '1');

  // The success alert goes back to the home page by itself.
  await until(() => page.url().endsWith('/index.asp'), 'the way back home');
  await page.waitForLoadState('load');
  await barShows(page, '我的订单');
  await Promise.all([page.waitForURL(/ckdd\.asp/), page.click('#member >> text=我的订单')]);
  assert.match(await page.content(), /等待中/);

  // Out, and back in through the sign-in form.
  await page.goto(site.url + 'index.asp');
  await barShows(page, '王小明');
  await Promise.all([page.waitForURL(/signout\.asp/), page.click('#member input[value=退出]')]);
  await until(() => page.url().endsWith('/index.asp'), 'the way back home');
  await barShows(page, '会员登录');
  assert.equal(await page.inputValue('input[name=yhm]'), '');
  await page.click('text=会员登录');
  await page.fill('form[name=signin] input[name=names]', '王小明');
  await page.fill('form[name=signin] input[name=password]', 'secret1');
  await Promise.all([page.waitForURL(/index\.asp/), page.click('input[value=" 登 录 "]')]);
  await barShows(page, '王小明');
  await context.close();
});

test('a guestbook message waits for review, then shows with the operator\'s reply', async () => {
  const { page: office, dialogs: officeDialogs } = await logIn(browser, site);
  // Review on, through the back office's switch.
  await office.goto(site.url + 'admin/book_admin.asp');
  await office.check('input[name=view][value="0"]');
  await office.click('input[name=submit][value=保存设置]');
  await until(() => sql('select view from view2') === '0', 'the review switch');

  const context = await browser.newContext();
  const page = await context.newPage();
  const seen = recordDialogs(page);
  await page.goto(site.url + 'guestbook.asp');
  await page.fill('input[name=UserName]', '李四');
  await page.fill('input[name=Title]', '<b>好吃</b>');
  await page.fill('textarea[name=Comments]', '第一行<script>alert(1)</script>\n第二行');
  await page.fill('input[name=verifycode]', '1234');
  let count = seen.length;
  // The answer's alert then goes back to the list by itself.
  await Promise.all([page.waitForURL((u) => u.pathname.endsWith('/guestbook.asp') && !u.search),
    page.click('form[action*="guestbook.asp?action=post"] [type=submit]')]);
  assert.match((await nextDialog(seen, count)).message, /审核/);
  const id = sql("select ID from Feedback where UserName='李四'");
  assert.equal(sql(`select Online from Feedback where ID=${id}`), '0');
  await page.waitForLoadState('load');
  assert.equal(await page.locator('text=第二行').count(), 0);

  // The operator shows it and answers.
  await office.goto(site.url + `admin/book_admin.asp?action=replay&id=${id}`);
  await office.check('input[name=Online][value="1"]');
  await office.fill('textarea[name=Replay]', '谢谢光临');
  count = officeDialogs.length;
  await office.click('input[name=action][value=" 提 交 "]');
  await until(() => officeDialogs.length > count, 'the save');

  await page.goto(site.url + 'guestbook.asp');
  const text = await page.textContent('body');
  assert.match(text, /<b>好吃<\/b>/);                      // markup shows as text
  assert.match(text, /第一行<script>alert\(1\)<\/script>/);
  assert.match(text, /谢谢光临/);
  assert.equal(await page.locator('text=第二行').count(), 1);
  assert.ok(!seen.some((d) => d.message === '1'), 'no script of the visitor ran');
  await context.close();
});
