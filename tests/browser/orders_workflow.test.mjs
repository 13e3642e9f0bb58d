// The operator's side of an order in a real browser: an order placed on the
// storefront shows in the order list, its status is moved through the detail
// page and the customer sees each status in the order history; the list's
// paging selector moves between pages and keeps the filter; an order is deleted
// through the confirmation page.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { startSite, launchBrowser, recordDialogs, until, logIn } from './support.mjs';

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

test('an order moves from waiting to settled while the customer watches', async (t) => {
  const site = await startSite({ demo: true, args: ['--fixed-code', '1234'] });
  const browser = await launchBrowser();
  t.after(async () => { await browser.close(); await site.stop(); });

  const customer = await (await browser.newContext()).newPage();
  const customerDialogs = recordDialogs(customer);
  await customer.goto(site.url + 'index.asp');
  await customer.locator('input[name=number]').first().fill('2');
  await customer.fill('input[name=yhm]', '王小明');
  await customer.fill('input[name=telsss]', '87001234');
  await customer.fill('input[name=addresss]', '鼓楼区五四路1号<b>');
  await customer.click('#orderImage');
  await until(() => customerDialogs.some((d) => d.message.includes('订餐成功')), 'the order success alert');

  const { page: operator, dialogs } = await logIn(browser, site);
  await operator.goto(site.url + 'admin/ddgl.asp');
  assert.deepEqual(await listRows(operator), [['王小明', '等待中']]);

  const history = site.url + 'ckdd.asp?names=' + gbkQuery('王小明');
  for (const [code, backOffice, customerSees] of [['2', '制作当中', '处理当中'], ['3', '派送当中', '派送当中'],
    ['4', '已结帐', '已结帐']]) {
    await operator.click('text=查看订单');
    await operator.waitForURL(/ddgl1\.asp\?id=\d+/);
    assert.equal(await operator.inputValue('input[name=address]'), '鼓楼区五四路1号<b>');
    await operator.selectOption('select[name=select]', code);
    await Promise.all([operator.waitForURL(/ddgl\.asp$/), operator.click('input[name=Submit]')]);
    assert.ok(dialogs.some((d) => d.message === `订单状态已改为“${backOffice}”！`), JSON.stringify(dialogs));
    assert.deepEqual(await listRows(operator), [['王小明', backOffice]]);

    await customer.goto(history);
    assert.match(await customer.textContent('body'), new RegExp(customerSees));
  }
  // The detail page now pre-selects the settled status.
  await operator.click('text=查看订单');
  assert.equal(await operator.inputValue('select[name=select]'), '4');
});

test('the paging selector moves between pages and keeps the filter; delete asks first', async (t) => {
  const site = await startSite({ args: ['--fixed-code', '1234'] });
  const browser = await launchBrowser();
  t.after(async () => { await browser.close(); await site.stop(); });

  const orders = await browser.newContext();
  for (let i = 0; i < 45; i++) {
    const r = await orders.request.post(site.url + 'dctj.asp', {
      form: { list: 'x', list1: '12', yhm: `guest${String(i).padStart(2, '0')}`, telsss: '87001234',
        zffs: 'cash', addresss: 'addr', qtbz: '', hours: '12', minutes: '30' },
    });
    assert.equal(r.status(), 200);
  }
  const { page, dialogs } = await logIn(browser, site);
  await page.goto(site.url + 'admin/ddgl.asp?lb=1&ob=desc+');
  assert.equal((await listRows(page)).length, 20);
  assert.match(await page.textContent('body'), /页\/共3页共45条记录/);

  await Promise.all([page.waitForLoadState('load'), page.waitForURL(/ddgl\.asp\?c3$/),
    page.selectOption('select[name=CurrentPage]', '3')]);
  let rows = await listRows(page);
  assert.equal(rows.length, 5);
  assert.deepEqual(rows.map((r) => r[1]), Array(5).fill('等待中'));
  assert.equal(await page.inputValue('select[name=CurrentPage]'), '3');
  assert.equal(await page.inputValue('select[name=lb]'), '1');
  assert.equal(await page.inputValue('select[name=ob]'), 'desc ');

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
  assert.match(await page.textContent('body'), /页\/共3页共44条记录/);
});
