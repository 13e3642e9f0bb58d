// The back office in a real browser: the menu's frames; a dish with bold text from the editor
// and an uploaded picture, shown on the storefront, summed by its order form, deleted with the select-all box.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openSite, newVisitor, dialog, clickTo, fillIn, logIn, order } from './support.mjs';

const { site, browser } = await openSite();

test('the menu\'s sections toggle, an entry opens in the right frame, logging out leaves the frames', async () => {
  const { page } = await logIn(browser, site);
  const menu = page.frame({ name: 'left' }), right = page.frame({ name: 'right' });
  await menu.waitForSelector('#submenu3', { state: 'attached' });
  // Sections 0 and 1 start open, 2 and 3 closed; a click toggles, a second click restores.
  for (const [i, open] of [[0, true], [1, true], [2, false], [3, false]]) {
    for (const [click, shown] of [[false, open], [true, !open], [true, open]]) {
      if (click) await menu.click(`#menuTitle${i}`);
      assert.equal(await menu.isVisible(`#submenu${i}`), shown, `section ${i}`);
    }
  }
  await menu.click('#menuTitle3');
  await menu.click('text=数据库备分');
  await right.waitForSelector('text=立即备份');
  await Promise.all([page.waitForURL(/admin\/login\.asp$/), menu.click('text=退出')]);
  assert.ok(await page.$eval('img[src="../GetCode.asp"]', (img) => img.complete && img.naturalWidth > 0), 'the code');
});

test('a dish with formatted text and a picture is added, shown and summed on the storefront, and deleted', async () => {
  const { page: operator, dialogs } = await logIn(browser, site);
  // A 12 x 9 PNG, as Chromium draws it.
  const png = await operator.screenshot({ clip: { x: 0, y: 0, width: 12, height: 9 } });
  await operator.goto(site.url + 'admin/kcdgadd.asp');
  await fillIn(operator, { '#newsname': '水煮鱼', '#jiage': '12元' }, 'input[name=Submit]');
  await dialog(dialogs, 0, '价格只能是数字');
  assert.match(operator.url(), /kcdgadd\.asp$/, 'the form did not post');
  await operator.fill('#jiage', ' 15.5 ');

  const editor = operator.frameLocator('#content');
  await editor.locator('.ql-editor').click();
  for (const step of ['非常 ', 'Control+B', '特辣', 'Control+B'])
    await (step.startsWith('Control') ? operator.keyboard.press(step) : operator.keyboard.type(step));
  assert.equal(await editor.locator('button.ql-bold').getAttribute('title'), '粗体');
  assert.match(await operator.inputValue('textarea[name=Content]'), /<strong>特辣<\/strong>/);

  // The upload pop-up hands the stored picture's path to the form and closes.
  const [popup] = await Promise.all([operator.waitForEvent('popup'), operator.click('input[name=Submit22]')]);
  await popup.setInputFiles('input[name=file1]', { name: 'fish.png', mimeType: 'image/png', buffer: png });
  await Promise.all([popup.waitForEvent('close'), popup.click('input[name=Submit]')]);
  const pic = await operator.inputValue('#addname');
  assert.match(pic, /^uploadpic\/[0-9a-f]{32}\.png$/);
  await clickTo(operator, 'input[name=Submit]', /admin\/kcdg\.asp$/);

  const { page: customer, dialogs: customerDialogs } = await newVisitor(browser, () => false);
  await customer.goto(site.url + 'kcdg.asp');
  assert.equal(await customer.locator('strong', { hasText: '特辣' }).count(), 1);
  assert.ok(await customer.locator(`img[src="${pic}"]`).evaluate((i) => i.complete && i.naturalWidth === 12), 'loaded');
  await order(customer, { number: '2' });
  assert.match((await dialog(customerDialogs)).message, /总计: {5}31元/);

  await operator.click('input[onclick^=mm]');
  await clickTo(operator, 'input[name=Submit]', /admin\/kcdg\.asp$/);
  assert.ok((await operator.content()).includes('您还没有添加新闻！'));
});
