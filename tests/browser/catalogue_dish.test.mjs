// The operator adds a dish in a real browser, with a bold word typed in the
// rich-text editor and a picture uploaded through the pop-up; the storefront
// category page shows both; a new price reaches the order form's total; the
// dish is deleted by ticking it in the list.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { deflateSync } from 'node:zlib';
import { startSite, launchBrowser, recordDialogs, until, logIn } from './support.mjs';

function crc32(bytes) {
  let c = ~0;
  for (const b of bytes) {
    c ^= b;
    for (let k = 0; k < 8; k++) c = (c >>> 1) ^ (0xEDB88320 & -(c & 1));
  }
  return ~c >>> 0;
}

// A 12 x 9 red PNG, built byte by byte.
function redPng() {
  const chunk = (type, data) => {
    const len = Buffer.alloc(4); len.writeUInt32BE(data.length);
    const body = Buffer.concat([Buffer.from(type, 'ascii'), data]);
    const crc = Buffer.alloc(4); crc.writeUInt32BE(crc32(body));
    return Buffer.concat([len, body, crc]);
  };
  const w = 12, h = 9;
  const ihdr = Buffer.alloc(13);
  ihdr.writeUInt32BE(w, 0); ihdr.writeUInt32BE(h, 4); ihdr[8] = 8; ihdr[9] = 2;
  const rows = Buffer.alloc((w * 3 + 1) * h);
  for (let y = 0; y < h; y++) for (let x = 0; x < w; x++) rows[y * (w * 3 + 1) + 1 + x * 3] = 255;
  return Buffer.concat([Buffer.from([0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A]), chunk('IHDR', ihdr),
    chunk('IDAT', deflateSync(rows)), chunk('IEND', Buffer.alloc(0))]);
}


test('a dish with formatted text and a picture is added, ordered at its new price and deleted', async (t) => {
  const site = await startSite({ args: ['--fixed-code', '1234'] });
  const browser = await launchBrowser();
  t.after(async () => { await browser.close(); await site.stop(); });
  const { page: operator, dialogs } = await logIn(browser, site);

  // Add: the form's own checks first.
  await operator.goto(site.url + 'admin/kcdgadd.asp');
  await operator.fill('#newsname', '水煮鱼');
  await operator.fill('#jiage', '12元');
  await operator.click('input[name=Submit]');
  await until(() => dialogs.some((d) => d.message.includes('价格只能是数字')), 'the price alert');
  assert.match(operator.url(), /kcdgadd\.asp$/, 'the form did not post');
  await operator.fill('#jiage', '12');

  const editor = operator.frameLocator('#content');
  await editor.locator('.ql-editor').click();
  await operator.keyboard.type('非常 ');
  await operator.keyboard.press('Control+B');
  await operator.keyboard.type('特辣');
  await operator.keyboard.press('Control+B');
  assert.equal(await editor.locator('button.ql-bold').getAttribute('title'), '粗体');
  assert.match(await operator.inputValue('textarea[name=Content]'), /<strong>特辣<\/strong>/);

  const [popup] = await Promise.all([operator.waitForEvent('popup'), operator.click('input[name=Submit22]')]);
  await popup.waitForLoadState();
  await popup.setInputFiles('input[name=file1]', { name: 'fish.png', mimeType: 'image/png', buffer: redPng() });
  await Promise.all([popup.waitForEvent('close'), popup.click('input[name=Submit]')]);
  const pic = await operator.inputValue('#addname');
  assert.match(pic, /^uploadpic\/[0-9a-f]{32}\.png$/);

  await Promise.all([operator.waitForURL(/admin\/kcdg\.asp$/), operator.click('input[name=Submit]')]);
  assert.ok(dialogs.some((d) => d.message === '添加成功！'));

  // The storefront shows the bold word and the picture.
  const customer = await (await browser.newContext()).newPage();
  const customerDialogs = recordDialogs(customer, () => false);
  await customer.goto(site.url + 'kcdg.asp');
  assert.equal(await customer.locator('strong', { hasText: '特辣' }).count(), 1);
  const img = customer.locator(`img[src="${pic}"]`);
  assert.equal(await img.count(), 1);
  assert.ok(await img.evaluate((i) => i.complete && i.naturalWidth === 12), 'the picture loads');

  // Edit the price through the list's link.
  await operator.click('a:text("水煮鱼")');
  await operator.waitForURL(/kcdgedit\.asp\?id=\d+$/);
  assert.equal(await operator.inputValue('#newsname'), '水煮鱼');
  await operator.fill('#jiage', ' 15.5 ');
  await Promise.all([operator.waitForURL(/admin\/kcdg\.asp$/), operator.click('input[name=Submit]')]);
  assert.ok(dialogs.some((d) => d.message === '更改成功！'));

  await customer.goto(site.url + 'kcdg.asp');
  await customer.locator('input[name=number]').first().fill('2');
  await customer.fill('input[name=yhm]', '王小明');
  await customer.fill('input[name=telsss]', '87001234');
  await customer.fill('input[name=addresss]', '鼓楼区五四路1号');
  await customer.click('#orderImage');
  await until(() => customerDialogs.some((d) => d.type === 'confirm'), 'the order summary');
  assert.match(customerDialogs.find((d) => d.type === 'confirm').message, /总计: {5}31元/);

  // Delete by ticking.
  await operator.check('input[name=selectdel]');
  await Promise.all([operator.waitForURL(/admin\/kcdg\.asp$/), operator.click('input[name=Submit]')]);
  assert.ok((await operator.content()).includes('您还没有添加新闻！'));
  await customer.goto(site.url + 'kcdg.asp');
  assert.equal(await customer.locator('strong', { hasText: '特辣' }).count(), 0);
});
