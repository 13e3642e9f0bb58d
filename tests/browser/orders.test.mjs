// Orders in real browsers on a site with the demo menu: the kitchen's live screens, then the order pages' scripts
// in the operator's hands. (What the order pages store and show: tests/orders.)
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openSite, newVisitor, until, posts, dialog, clickTo, fillIn, logIn, order, postOrder } from './support.mjs';

// The page boxes of a PDF, in points.
const mediaBoxes = (pdf) => [...pdf.toString('latin1').matchAll(/\/MediaBox\s*\[([\d.\s]+)\]/g)]
  .map((m) => m[1].trim().split(/\s+/).map(Number)).map(([x0, y0, x1, y1]) => [x1 - x0, y1 - y0]);
const cardIn = (page, status, id) => page.locator(`section[data-status="${status}"] .card[data-id="${id}"]`).count();
// Clicking `selector` on `page` opens the ticket of order `id` in a new window.
async function opensTicket(page, selector, id) {
  const [ticket] = await Promise.all([page.context().waitForEvent('page'), page.click(selector)]);
  await ticket.waitForLoadState();
  assert.match(ticket.url(), new RegExp(`live_ticket\\.asp\\?id=${id}&auto=1$`));
}

test('live screens show, move, print an order or poll; the order list pages by script; delete; settings', async () => {
  const { site, browser } = await openSite({ demo: true });
  const screen = async () => {
    const operator = await logIn(browser, site);
    await operator.page.goto(site.url + 'admin/live.asp');
    await until(async () => (await operator.page.textContent('#state')) === '实时接收中', 'the stream is open');
    return operator;
  };
  const { page: first, dialogs: said } = await screen(), { page: second } = await screen();
  await first.click('#sound');
  assert.equal(await first.textContent('#sound'), '提示音已开启');

  const { page: customer, dialogs } = await newVisitor(browser);
  await customer.goto(site.url + 'index.asp');
  await order(customer, { number: '2', yhm: '王小明', addresss: '五四路1号<b>楼</b>', qtbz: '少放辣' });
  await dialog(dialogs, 0, '订餐成功');
  const card = first.locator('section[data-status="1"] .card');
  await until(async () => (await card.count()) === 1, 'the card on the first screen');
  const id = await card.getAttribute('data-id');
  // Highlighted, and what the customer typed shown as text.
  assert.match(await card.getAttribute('class'), /fresh/);
  const texts = await Promise.all(['.address', '.remark'].map((part) => card.locator(part).textContent()));
  assert.deepEqual(texts, ['五四路1号<b>楼</b>', '备注：少放辣']);
  assert.match(await card.locator('.lines li').first().textContent(), / × 2　\d+(\.\d+)?元$/);
  await until(async () => (await cardIn(second, 1, id)) === 1, 'the card on the second screen');

  await card.locator('button.move').click();
  for (const page of [first, second])
    await until(async () => (await cardIn(page, 2, id)) === 1 && (await cardIn(page, 1, id)) === 0,
      'the card in the kitchen column on both screens');
  assert.equal(await second.textContent('section[data-status="2"] .count'), '1');
  assert.doesNotMatch(await first.locator(`.card[data-id="${id}"]`).getAttribute('class'), /fresh/, 'touched');

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
  await postOrder(customer.context(), site, 'zhao');
  const polled = second.locator('section[data-status="1"] .card');
  await until(async () => (await polled.count()) === 1, 'the card from polling');
  assert.match(await polled.getAttribute('class'), /fresh/);
  assert.equal(await polled.locator('.who').textContent(), 'zhao　87001234');

  // 45 waiting orders (zhao's settled; the first one cooking), newest first: each way to another page keeps both.
  site.sql("update tdgl set dczt=4 where yhm='zhao'");
  for (let i = 0; i < 45; i++) await postOrder(customer.context(), site, `guest${String(i).padStart(2, '0')}`);
  const rows = () => first.$$eval('a[href^="ddgl1.asp?id="]', (as) => as.map((a) => a.closest('tr').cells[0].textContent
    + ' ' + a.closest('tr').cells[3].textContent));
  const guests = (from, n) => Array.from({ length: n }, (_, i) => `guest${String(from - i).padStart(2, '0')} 等待中`);
  await first.goto(site.url + 'admin/ddgl.asp?lb=1&ob=desc+');
  for (const [go, n, shown] of [[null, 3, guests(4, 5)], ['上一页', 2, guests(24, 20)], ['第一页', 1, guests(44, 20)],
    ['下一页', 2, guests(24, 20)], ['最后一页', 3, guests(4, 5)]]) {
    await Promise.all([first.waitForURL(new RegExp(`ddgl\\.asp\\?c${n}$`)),
      go ? first.click('text=' + go) : first.selectOption('select[name=CurrentPage]', '3')]);
    assert.deepEqual([await first.inputValue('select[name=CurrentPage]'), await rows()], [String(n), shown]);
  }

  await clickTo(first, 'text=删除订单 >> nth=-1', /ddgl3\.asp\?id=\d+/);
  assert.match(await first.textContent('body'), /确定要删除联系人 guest00/);
  await clickTo(first, 'input[value=确定删除]', /ddgl\.asp$/);
  await dialog(said, 0, '订单已删除！');
  assert.equal(site.sql("select count(*) from tdgl where yhm='guest00'"), '0');

  // The settings form stops numbers the database cannot take before they are sent.
  await first.goto(site.url + 'admin/order_pass.asp');
  const sent = posts(first), minutes = '限制时间必须是0或正整数！', times = '限制次数必须是0或正整数！';
  for (const [time, count, message] of
    [['abc', '3', minutes], ['', '3', minutes], ['10', '-1', times], ['10', '2.5', times]]) {
    const before = said.length;
    await fillIn(first, { order_time: time, order_times: count }, 'input[name=Submit]');
    assert.equal((await dialog(said, before)).message, message);
  }
  assert.deepEqual(sent, []);
  await fillIn(first, { order_time: ' 10 ', order_times: '3' });
  await clickTo(first, 'input[name=Submit]', /action=save$/);
  assert.equal(site.sql('select order_time, order_times from set_tamloall'), '10|3');
});
