// The operator adds a dish in a real browser, with a bold word typed in the
// rich-text editor and a picture uploaded through the pop-up; the storefront
// category page shows both; a new price reaches the order form's total; the
// dish is deleted by ticking it in the list.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openSite, recordDialogs, until, logIn, order } from './support.mjs';

const { site, browser } = await openSite();

test('a dish with formatted text and a picture is added, ordered at its new price and deleted', async () => {
  const { page: operator, dialogs } = await logIn(browser, site);
  // A 12 x 9 PNG, as Chromium draws it.
  const png = await operator.screenshot({ clip: { x: 0, y: 0, width: 12, height: 9 } });

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
  await popup.setInputFiles('input[name=file1]', { name: 'fish.png', mimeType: 'image/png', buffer: png });
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
  await order(customer, { number: '2' });
  await until(() => customerDialogs.some((d) => d.type === 'confirm'), 'the order summary');
  assert.match(customerDialogs.find((d) => d.type === 'confirm').message, /总计: {5}31元/);

  // Delete by ticking.
  await operator.check('input[name=selectdel]');
  await Promise.all([operator.waitForURL(/admin\/kcdg\.asp$/), operator.click('input[name=Submit]')]);
  assert.ok((await operator.content()).includes('您还没有添加新闻！'));
  await customer.goto(site.url + 'kcdg.asp');
  assert.equal(await customer.locator('strong', { hasText: '特辣' }).count(), 0);
});
