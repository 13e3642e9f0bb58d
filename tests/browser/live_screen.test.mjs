// The kitchen's live screen in real browsers: a customer orders on the
// storefront, the operator's screen shows the card, the operator moves it to
// the kitchen with one click and a second operator's screen follows; the
// order's ticket prints on 80 mm paper, from the screen and from the detail page;
// a screen whose event stream is refused polls and still shows new orders.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openSite, recordDialogs, until, logIn, order, postOrder } from './support.mjs';

const { site, browser } = await openSite({ demo: true });

// The page boxes of a PDF, in points.
function mediaBoxes(pdf) {
  return [...pdf.toString('latin1').matchAll(/\/MediaBox\s*\[\s*([\d.]+)\s+([\d.]+)\s+([\d.]+)\s+([\d.]+)\s*\]/g)]
    .map((m) => [Number(m[3]) - Number(m[1]), Number(m[4]) - Number(m[2])]);
}

async function cardIn(page, status, id) {
  return page.locator(`section[data-status="${status}"] .card[data-id="${id}"]`).count();
}

test('an order appears on every open screen, moves with one click and prints; polling stands in for the stream', async () => {
  const screens = [];
  for (let i = 0; i < 2; i++) {
    const { page } = await logIn(browser, site);
    await page.goto(site.url + 'admin/live.asp');
    await until(async () => (await page.textContent('#state')) === '实时接收中', 'the stream is open');
    screens.push(page);
  }
  const [first, second] = screens;
  await first.click('#sound');
  assert.equal(await first.textContent('#sound'), '提示音已开启');

  const customer = await (await browser.newContext()).newPage();
  const dialogs = recordDialogs(customer);
  await customer.goto(site.url + 'index.asp');
  await order(customer, { number: '2', yhm: '王小明', addresss: '五四路1号<b>楼</b>', qtbz: '少放辣' });
  await until(() => dialogs.some((d) => d.message.includes('订餐成功')), 'the order success alert');

  const card = first.locator('section[data-status="1"] .card');
  await until(async () => (await card.count()) === 1, 'the card on the first screen');
  const id = await card.getAttribute('data-id');
  assert.match(await card.getAttribute('class'), /fresh/);
  assert.equal(await card.locator('.address').textContent(), '五四路1号<b>楼</b>');
  assert.equal(await card.locator('.remark').textContent(), '备注：少放辣');
  assert.match(await card.locator('.lines li').first().textContent(), / × 2　\d+(\.\d+)?元$/);
  await until(async () => (await cardIn(second, 1, id)) === 1, 'the card on the second screen');

  await card.locator('button.move').click();
  for (const [name, page] of [['first', first], ['second', second]])
    await until(async () => (await cardIn(page, 2, id)) === 1 && (await cardIn(page, 1, id)) === 0,
      `the card in the kitchen column on the ${name} screen`);
  assert.equal(await second.textContent('section[data-status="2"] .count'), '1');
  assert.doesNotMatch(await first.locator(`.card[data-id="${id}"]`).getAttribute('class'), /fresh/,
    'touched: no longer highlighted');

  // The ticket, from the screen's print button and from the order detail page.
  const [fromScreen] = await Promise.all([first.context().waitForEvent('page'),
    first.locator(`.card[data-id="${id}"] button.print`).click()]);
  await fromScreen.waitForLoadState();
  assert.match(fromScreen.url(), new RegExp(`live_ticket\\.asp\\?id=${id}&auto=1$`));
  await first.goto(site.url + 'admin/ddgl1.asp?id=' + id);
  const [fromDetail] = await Promise.all([first.context().waitForEvent('page'), first.click('input[name=ticket]')]);
  await fromDetail.waitForLoadState();
  assert.match(fromDetail.url(), new RegExp(`live_ticket\\.asp\\?id=${id}&auto=1$`));
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
