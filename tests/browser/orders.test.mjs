// Orders in real browsers, each walk on a fresh site with the demo menu: the kitchen's live screens,
// and the operator's work on the order pages while the customer watches the history.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openSite, newVisitor, until, dialogShown, clickTo, fillIn, expectValues, logIn, order, postOrder }
  from './support.mjs';

// The page boxes of a PDF, in points.
const mediaBoxes = (pdf) => [...pdf.toString('latin1').matchAll(/\/MediaBox\s*\[\s*([\d.]+)\s+([\d.]+)\s+([\d.]+)\s+([\d.]+)\s*\]/g)]
  .map((m) => [Number(m[3]) - Number(m[1]), Number(m[4]) - Number(m[2])]);
const cardIn = (page, status, id) => page.locator(`section[data-status="${status}"] .card[data-id="${id}"]`).count();
// Clicking `selector` on `page` opens the ticket of order `id` in a new window.
async function opensTicket(page, selector, id) {
  const [ticket] = await Promise.all([page.context().waitForEvent('page'), page.click(selector)]);
  await ticket.waitForLoadState();
  assert.match(ticket.url(), new RegExp(`live_ticket\\.asp\\?id=${id}&auto=1$`));
}

test('an order appears on every open screen, moves with one click and prints; polling stands in for the stream', async () => {
  const { site, browser } = await openSite({ demo: true });
  const screen = async () => {
    const { page } = await logIn(browser, site);
    await page.goto(site.url + 'admin/live.asp');
    await until(async () => (await page.textContent('#state')) === '实时接收中', 'the stream is open');
    return page;
  };
  const first = await screen(), second = await screen();
  await first.click('#sound');
  assert.equal(await first.textContent('#sound'), '提示音已开启');

  const { page: customer, dialogs } = await newVisitor(browser);
  await customer.goto(site.url + 'index.asp');
  await order(customer, { number: '2', yhm: '王小明', addresss: '五四路1号<b>楼</b>', qtbz: '少放辣' });
  await dialogShown(dialogs, '订餐成功');

  const card = first.locator('section[data-status="1"] .card');
  await until(async () => (await card.count()) === 1, 'the card on the first screen');
  const id = await card.getAttribute('data-id');
  assert.match(await card.getAttribute('class'), /fresh/);
  assert.equal(await card.locator('.address').textContent(), '五四路1号<b>楼</b>');
  assert.equal(await card.locator('.remark').textContent(), '备注：少放辣');
  assert.match(await card.locator('.lines li').first().textContent(), / × 2　\d+(\.\d+)?元$/);
  await until(async () => (await cardIn(second, 1, id)) === 1, 'the card on the second screen');

  await card.locator('button.move').click();
  for (const page of [first, second])
    await until(async () => (await cardIn(page, 2, id)) === 1 && (await cardIn(page, 1, id)) === 0,
      'the card in the kitchen column on both screens');
  assert.equal(await second.textContent('section[data-status="2"] .count'), '1');
  assert.doesNotMatch(await first.locator(`.card[data-id="${id}"]`).getAttribute('class'), /fresh/,
    'touched: no longer highlighted');

  await opensTicket(first, `.card[data-id="${id}"] button.print`, id);
  await first.goto(site.url + 'admin/ddgl1.asp?id=' + id);
  await opensTicket(first, 'input[name=ticket]', id);
  // The same ticket without the print dialog, printed to PDF.
  const ticket = await first.context().newPage();
  await ticket.goto(site.url + 'admin/live_ticket.asp?id=' + id);
  assert.match(await ticket.textContent('body'), /五四路1号<b>楼<\/b>/);
  const boxes = mediaBoxes(await ticket.pdf({ preferCSSPageSize: true }));
  assert.equal(boxes.length, 1, 'one ticket, one page');
  assert.ok(Math.abs(boxes[0][0] - 80 / 25.4 * 72) < 1, `80 mm wide: ${boxes[0][0]} pt`);
  assert.ok(boxes[0][1] > boxes[0][0], 'a strip longer than wide');

  // As behind a proxy that does not pass event streams: the second screen polls.
  await second.route('**/live_events*', (route) => route.fulfill({ status: 502, body: 'bad gateway' }));
  await second.reload();
  await until(async () => (await second.textContent('#state')) === '每 5 秒刷新一次', 'the polling fallback');
  await postOrder(customer.context(), site, 'zhao', '3');
  const polled = second.locator('section[data-status="1"] .card');
  await until(async () => (await polled.count()) === 1, 'the card from polling');
  assert.match(await polled.getAttribute('class'), /fresh/);
  assert.equal(await polled.locator('.who').textContent(), 'zhao　87001234');
});

// The rows of the order list as [name, status] pairs.
const listRows = (page) => page.$$eval('a[href^="ddgl1.asp?id="]', (links) => links.map((a) => {
  const cells = a.closest('tr').querySelectorAll('td');
  return [cells[0].textContent, cells[3].textContent];
}));

test('an order is moved to settled, paged through, deleted; the settings are checked and saved', async () => {
  const { site, browser } = await openSite({ demo: true });
  const { page: customer, dialogs: customerDialogs } = await newVisitor(browser);
  await customer.goto(site.url + 'index.asp');
  await order(customer, { number: '2', yhm: '王小明', addresss: '鼓楼区五四路1号<b>' });
  await dialogShown(customerDialogs, '订餐成功');
  // The history's address, as the navigation's form asks for it.
  await customer.waitForURL(/index\.asp$/);
  await Promise.all([customer.waitForURL(/ckdd\.asp\?names=/), fillIn(customer,
    { 'form[action="ckdd.asp"] input[name=names]': '王小明' }, 'form[action="ckdd.asp"] input[type=submit]')]);
  const history = customer.url();

  const { page, dialogs } = await logIn(browser, site);
  await page.goto(site.url + 'admin/ddgl.asp');
  assert.deepEqual(await listRows(page), [['王小明', '等待中']]);
  for (const [code, backOffice, customerSees] of [['2', '制作当中', '处理当中'], ['3', '派送当中', '派送当中'],
    ['4', '已结帐', '已结帐']]) {
    await clickTo(page, 'text=查看订单', /ddgl1\.asp\?id=\d+/);
    assert.equal(await page.inputValue('input[name=address]'), '鼓楼区五四路1号<b>');
    await page.selectOption('select[name=select]', code);
    await clickTo(page, 'input[name=Submit]', /ddgl\.asp$/);
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
  assert.deepEqual((await listRows(page)).map((r) => r[1]), Array(5).fill('等待中'));
  await expectValues(page, { 'select[name=CurrentPage]': '3', 'select[name=lb]': '1', 'select[name=ob]': 'desc ' });
  await clickTo(page, 'text=上一页', /ddgl\.asp\?c2$/);
  assert.equal(await page.inputValue('select[name=CurrentPage]'), '2');
  await clickTo(page, 'text=第一页', /ddgl\.asp\?c1$/);
  assert.equal((await listRows(page))[0][0], 'guest44', 'newest first, the ordering kept across pages');
  await clickTo(page, 'text=最后一页', /ddgl\.asp\?c3$/);
  assert.equal((await listRows(page)).length, 5);

  await clickTo(page, 'text=删除订单 >> nth=-1', /ddgl3\.asp\?id=\d+/);
  assert.match(await page.textContent('body'), /确定要删除联系人 guest00/);
  await clickTo(page, 'input[value=确定删除]', /ddgl\.asp$/);
  assert.ok(dialogs.some((d) => d.message === '订单已删除！'));
  assert.equal(site.sql("select count(*) from tdgl where yhm='guest00'"), '0');
  assert.match(await page.textContent('body'), /页\/共3页共45条记录/, 'the unfiltered list: 44 waiting, 1 settled');

  // The settings form stops numbers the database cannot take before they are sent.
  await page.goto(site.url + 'admin/order_pass.asp');
  const minutes = '限制时间必须是0或正整数！', times = '限制次数必须是0或正整数！';
  for (const [time, count, message] of [['abc', '3', minutes], ['', '3', minutes], ['10', '-1', times], ['10', '2.5', times]]) {
    dialogs.length = 0;
    await fillIn(page, { order_time: time, order_times: count }, 'input[name=Submit]');
    assert.deepEqual(dialogs.map((d) => d.message), [message]);
    assert.match(page.url(), /order_pass\.asp$/, 'the form was not sent');
  }
  const saved = { order_time: '10', order_times: '3', order_deletkey: '鼓楼|台江\n仓山' };
  for (const radio of ['radiobutton', 'order_delet']) await page.check(`input[name=${radio}][value="1"]`);
  await fillIn(page, saved);
  await clickTo(page, 'input[name=Submit]', /action=save$/);
  await expectValues(page, saved);
  for (const radio of ['radiobutton', 'order_delet']) assert.ok(await page.isChecked(`input[name=${radio}][value="1"]`));
});
