// The back office in real browsers on a site with the demo menu: the kitchen's live screens and the order pages'
// scripts (orders come in by SQL; the storefront walk orders through the form); a dish from the editor with an
// uploaded picture, on the storefront, then deleted; the menu's frames. What pages store and show: the C++ suites.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openSite, newVisitor, until, posts, dialog, clickTo, fillIn, logIn } from './support.mjs';

const { site, browser } = await openSite({ demo: true });
// The columns (statuses) that show a card of order `id`.
const columnsOf = (page, id) =>
  page.$$eval(`.card[data-id="${id}"]`, (cards) => cards.map((c) => c.closest('section').dataset.status).join());
// Clicking `selector` on `page` opens the ticket of order `id` in a new window.
const opensTicket = async (page, selector, id) => (await Promise.all([page.context().waitForEvent('page'),
  page.click(selector)]))[0].waitForURL(new RegExp(`live_ticket\\.asp\\?id=${id}&auto=1$`));
// An order placed now by `name`, as the storefront stores one.
const placeOrder = (name, lines = '') => site.sql('insert into tdgl (yhm, telsss, addresss, qtbz, dcqk, fromdate, dczt)'
  + ` values ('${name}', '87001234', '五四路1号<b>楼</b>', '少放辣', '${lines}', datetime('now', 'localtime'), 1)`);

test('live screens show, move, print an order or poll; the order list pages by script; delete; settings', async () => {
  const [{ page: first, dialogs: said }, { page: second }] = [await logIn(browser, site), await logIn(browser, site)];
  for (const page of [first, second]) {
    await page.goto(site.url + 'admin/live.asp');
    await until(async () => (await page.textContent('#state')) === '实时接收中', 'the stream is open');
  }
  await first.click('#sound');
  assert.equal(await first.textContent('#sound'), '提示音已开启');

  placeOrder('王小明', '⊕鸡 12元 X 2份=24元 \n\n');
  const card = first.locator('section[data-status="1"] .card');
  await until(async () => (await card.count()) === 1, 'the card on the first screen');
  const id = await card.getAttribute('data-id');
  // Highlighted, and what the customer typed shown as text.
  const texts = await Promise.all(['.address', '.remark', '.lines li'].map((part) => card.locator(part).textContent()));
  assert.deepEqual([await card.getAttribute('class'), ...texts],
    ['card fresh', '五四路1号<b>楼</b>', '备注：少放辣', '鸡 × 2　24元']);
  await until(async () => (await columnsOf(second, id)) === '1', 'the card on the second screen');

  await card.locator('button.move').click();
  for (const page of [first, second]) await until(async () => (await columnsOf(page, id)) === '2', 'the card moved');
  assert.equal(await second.textContent('section[data-status="2"] .count'), '1');
  assert.equal(await first.locator(`.card[data-id="${id}"]`).getAttribute('class'), 'card', 'touched');

  await opensTicket(first, `.card[data-id="${id}"] button.print`, id);
  await first.goto(site.url + 'admin/ddgl1.asp?id=' + id);
  await opensTicket(first, 'input[name=ticket]', id);
  // The same ticket without the print dialog, printed to PDF: its paper is long enough for one page.
  await first.goto(site.url + 'admin/live_ticket.asp?id=' + id);
  assert.match(await first.textContent('body'), /五四路1号<b>楼<\/b>/);
  assert.equal((await first.pdf({ preferCSSPageSize: true })).toString('latin1').match(/\/MediaBox/g).length, 1);

  // As behind a proxy that does not pass event streams: the second screen polls.
  await second.route('**/live_events*', (route) => route.fulfill({ status: 502, body: 'bad gateway' }));
  await second.reload();
  await until(async () => (await second.textContent('#state')) === '每 5 秒刷新一次', 'the polling fallback');
  placeOrder('zhao');
  const polled = second.locator('section[data-status="1"] .card');
  await until(async () => (await polled.count()) === 1, 'the card from polling');
  assert.deepEqual([await polled.getAttribute('class'), await polled.locator('.who').textContent()],
    ['card fresh', 'zhao　87001234']);

  // 45 waiting orders (zhao's settled; the first one cooking), newest first: each way to another page keeps both.
  site.sql("update tdgl set dczt=4 where yhm='zhao'; insert into tdgl (yhm, fromdate, dczt) select printf('guest%02d', "
    + "value), datetime('now', 'localtime', value || ' seconds'), 1 from generate_series(0, 44)");
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
  // The last row's delete link, through its confirmation.
  await clickTo(first, 'text=删除订单 >> nth=-1', /ddgl3\.asp\?id=\d+/);
  await clickTo(first, 'input[value=确定删除]', /ddgl\.asp$/);
  assert.equal(site.sql("select count(*), min(yhm) from tdgl where yhm like 'guest%'"), '44|guest01');

  // The settings form stops numbers the database cannot take before they are sent.
  await first.goto(site.url + 'admin/order_pass.asp');
  const sent = posts(first);
  for (const [t, n, alert] of [['abc', '3', '限制时间'], ['', '3', '限制时间'], ['10', '-1', '限制次数'], ['10', '2.5', '限制次数']]) {
    await fillIn(first, { order_time: t, order_times: n }, 'input[name=Submit]');
    await dialog(said, alert);
  }
  assert.deepEqual(sent, []);
  await fillIn(first, { order_time: ' 10 ', order_times: '3' });
  await clickTo(first, 'input[name=Submit]', /action=save$/);
  assert.equal(site.sql('select order_time, order_times from set_tamloall'), '10|3');
});

test('a dish with bold text and a picture is added, shown and summed on the storefront, deleted; menu', async () => {
  site.sql('delete from cygl where lei2=1');  // the new dish alone on its storefront page
  const { page: operator, dialogs } = await logIn(browser, site);
  // A 12 x 9 PNG, as Chromium draws it.
  const png = await operator.screenshot({ clip: { x: 0, y: 0, width: 12, height: 9 } });
  await operator.goto(site.url + 'admin/kcdgadd.asp');
  await fillIn(operator, { '#newsname': '水煮鱼', '#jiage': '12元' }, 'input[name=Submit]');
  await dialog(dialogs, '价格只能是数字');
  assert.match(operator.url(), /kcdgadd\.asp$/, 'the form did not post');
  await operator.fill('#jiage', ' 15.5 ');
  await operator.frameLocator('#content').locator('.ql-editor').click();
  for (const step of ['非常 ', 'Control+B', '特辣', 'Control+B'])
    await (step.startsWith('Control') ? operator.keyboard.press(step) : operator.keyboard.type(step));
  assert.match(await operator.inputValue('textarea[name=Content]'), /<strong>特辣<\/strong>/);
  // The upload pop-up refuses a file over its limit before sending it; it hands the stored picture's path to the
  // form and closes.
  const [popup] = await Promise.all([operator.waitForEvent('popup'), operator.click('input[name=Submit22]')]);
  const popupSaid = [], popupSent = posts(popup);
  popup.on('dialog', (d) => (popupSaid.push({ message: d.message() }), d.accept()));
  await popup.setInputFiles('input[name=file1]', { name: 'big.jpg', mimeType: 'image/jpeg', buffer: Buffer.alloc(21 << 20) });
  await popup.click('input[name=Submit]');
  await dialog(popupSaid, '不能超过 20 MB');
  assert.deepEqual(popupSent, []);
  await popup.setInputFiles('input[name=file1]', { name: 'fish.png', mimeType: 'image/png', buffer: png });
  await Promise.all([popup.waitForEvent('close'), popup.click('input[name=Submit]')]);
  const pic = await operator.inputValue('#addname');
  await clickTo(operator, 'input[name=Submit]', /admin\/kcdg\.asp$/);

  const { page: customer, dialogs: customerDialogs } = await newVisitor(browser, () => false);
  await customer.goto(site.url + 'kcdg.asp');
  assert.equal(await customer.locator('strong', { hasText: '特辣' }).count(), 1);
  assert.ok(await customer.locator(`img[src="${pic}"]`).evaluate((i) => i.complete && i.naturalWidth === 12));
  await fillIn(customer, { number: '2', yhm: '张三', telsss: '13800000000', addresss: '台江区' }, '#orderImage');
  await dialog(customerDialogs, '总计:     31元');

  await operator.click('input[onclick^=mm]');
  await clickTo(operator, 'input[name=Submit]', /admin\/kcdg\.asp$/);
  assert.equal(site.sql("select count(*) from cygl where name='水煮鱼'"), '0');

  // The menu: a click on a section's title shows or hides it; an entry opens in the right frame; logging out leaves
  // the frames for the login page with its code.
  await operator.goto(site.url + 'admin/index.asp');
  const menu = operator.frame({ name: 'left' }), right = operator.frame({ name: 'right' });
  const click = async (i) => (await menu.click(`#menuTitle${i}`), menu.isVisible(`#submenu${i}`));
  for (const i of [0, 1, 2, 3, 'Kitchen']) {
    const open = await menu.isVisible(`#submenu${i}`);
    assert.deepEqual([await click(i), await click(i)], [!open, open], `section ${i}`);
  }
  await Promise.all([right.waitForURL(/sales_report\.asp$/), menu.click('text=销售报表')]);
  await Promise.all([operator.waitForURL(/admin\/login\.asp$/), menu.click('text=退出')]);
  assert.ok(await operator.$eval('img[src="../GetCode.asp"]', (img) => img.complete && img.naturalWidth > 0));
});
