// The operator's work on orders in a real browser: an order placed on the
// storefront is moved through its statuses from the detail page while the
// customer watches the history; the list's paging keeps the filter; an order is
// deleted through the confirmation page; the filter settings form checks its
// numbers before sending and shows what it saved.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { openSite, recordDialogs, until, logIn, order, postOrder } from './support.mjs';

const { site, browser } = await openSite({ demo: true });

// What a gb2312 page's form would send for `text` in a query string.
function gbkQuery(text) {
  const bytes = execFileSync('iconv', ['-f', 'UTF-8', '-t', 'GBK'], { input: text });
  return [...bytes].map((b) => '%' + b.toString(16).toUpperCase().padStart(2, '0')).join('');
}

// The rows of the order list as [name, status] pairs.
async function listRows(page) {
  return page.$$eval('a[href^="ddgl1.asp?id="]', (links) => links.map((a) => {
    const cells = a.closest('tr').querySelectorAll('td');
    return [cells[0].textContent, cells[3].textContent];
  }));
}

test('an order is moved to settled, paged through, deleted; the settings are checked and saved', async () => {
  const customer = await (await browser.newContext()).newPage();
  const customerDialogs = recordDialogs(customer);
  await customer.goto(site.url + 'index.asp');
  await order(customer, { number: '2', yhm: '王小明', addresss: '鼓楼区五四路1号<b>' });
  await until(() => customerDialogs.some((d) => d.message.includes('订餐成功')), 'the order success alert');

  const { page, dialogs } = await logIn(browser, site);
  await page.goto(site.url + 'admin/ddgl.asp');
  assert.deepEqual(await listRows(page), [['王小明', '等待中']]);
  const history = site.url + 'ckdd.asp?names=' + gbkQuery('王小明');
  for (const [code, backOffice, customerSees] of [['2', '制作当中', '处理当中'], ['3', '派送当中', '派送当中'],
    ['4', '已结帐', '已结帐']]) {
    await page.click('text=查看订单');
    await page.waitForURL(/ddgl1\.asp\?id=\d+/);
    assert.equal(await page.inputValue('input[name=address]'), '鼓楼区五四路1号<b>');
    await page.selectOption('select[name=select]', code);
    await Promise.all([page.waitForURL(/ddgl\.asp$/), page.click('input[name=Submit]')]);
    assert.ok(dialogs.some((d) => d.message === `订单状态已改为“${backOffice}”！`), JSON.stringify(dialogs));
    assert.deepEqual(await listRows(page), [['王小明', backOffice]]);
    await customer.goto(history);
    assert.match(await customer.textContent('body'), new RegExp(customerSees));
  }
  await page.click('text=查看订单');
  assert.equal(await page.inputValue('select[name=select]'), '4', 'the detail page pre-selects the status');

  // 45 waiting orders besides the settled one: the waiting filter makes three pages.
  const orders = await browser.newContext();
  for (let i = 0; i < 45; i++) await postOrder(orders, site, `guest${String(i).padStart(2, '0')}`);
  await page.goto(site.url + 'admin/ddgl.asp?lb=1&ob=desc+');
  assert.equal((await listRows(page)).length, 20);
  assert.match(await page.textContent('body'), /页\/共3页共45条记录/);
  await Promise.all([page.waitForLoadState('load'), page.waitForURL(/ddgl\.asp\?c3$/),
    page.selectOption('select[name=CurrentPage]', '3')]);
  let rows = await listRows(page);
  assert.deepEqual(rows.map((r) => r[1]), Array(5).fill('等待中'));
  for (const [select, value] of [['CurrentPage', '3'], ['lb', '1'], ['ob', 'desc ']])
    assert.equal(await page.inputValue(`select[name=${select}]`), value, select);
  await Promise.all([page.waitForURL(/ddgl\.asp\?c2$/), page.click('text=上一页')]);
  assert.equal(await page.inputValue('select[name=CurrentPage]'), '2');
  await Promise.all([page.waitForURL(/ddgl\.asp\?c1$/), page.click('text=第一页')]);
  rows = await listRows(page);
  assert.equal(rows[0][0], 'guest44', 'newest first, the ordering kept across pages');
  await Promise.all([page.waitForURL(/ddgl\.asp\?c3$/), page.click('text=最后一页')]);
  assert.equal((await listRows(page)).length, 5);

  // Delete the last order of page 3: the link asks, the button posts.
  await page.click('text=删除订单 >> nth=-1');
  await page.waitForURL(/ddgl3\.asp\?id=\d+/);
  assert.match(await page.textContent('body'), /确定要删除联系人 guest00/);
  await Promise.all([page.waitForURL(/ddgl\.asp$/), page.click('input[value=确定删除]')]);
  assert.ok(dialogs.some((d) => d.message === '订单已删除！'));
  assert.equal(site.sql("select count(*) from tdgl where yhm='guest00'"), '0');
  assert.match(await page.textContent('body'), /页\/共3页共45条记录/, 'the unfiltered list: 44 waiting, 1 settled');

  // The settings form stops numbers the database cannot take before they are sent.
  await page.goto(site.url + 'admin/order_pass.asp');
  for (const [minutes, times, message] of [['abc', '3', '限制时间必须是0或正整数！'], ['', '3', '限制时间必须是0或正整数！'],
    ['10', '-1', '限制次数必须是0或正整数！'], ['10', '2.5', '限制次数必须是0或正整数！']]) {
    await page.fill('input[name=order_time]', minutes);
    await page.fill('input[name=order_times]', times);
    dialogs.length = 0;
    await page.click('input[name=Submit]');
    assert.deepEqual(dialogs.map((d) => d.message), [message]);
    assert.match(page.url(), /order_pass\.asp$/, 'the form was not sent');
  }
  await page.check('input[name=radiobutton][value="1"]');
  await page.fill('input[name=order_time]', '10');
  await page.fill('input[name=order_times]', '3');
  await page.check('input[name=order_delet][value="1"]');
  await page.fill('textarea[name=order_deletkey]', '鼓楼|台江\n仓山');
  await Promise.all([page.waitForURL(/action=save$/), page.click('input[name=Submit]')]);
  for (const [field, value] of [['order_time', '10'], ['order_times', '3']])
    assert.equal(await page.inputValue(`input[name=${field}]`), value, field);
  assert.ok(await page.isChecked('input[name=radiobutton][value="1"]'));
  assert.ok(await page.isChecked('input[name=order_delet][value="1"]'));
  assert.equal(await page.inputValue('textarea[name=order_deletkey]'), '鼓楼|台江\n仓山');
});
