// The back-office login through the real form, and the menu's sections.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { openSite, recordDialogs, nextDialog, ownerPassword } from './support.mjs';

const { site, browser } = await openSite();

test('log in through the form, toggle the menu sections, log out', async () => {
  const page = await browser.newPage();
  const dialogs = recordDialogs(page);
  await page.goto(site.url + 'admin/login.asp');
  assert.ok(await page.$eval('img[src="../GetCode.asp"]', (img) => img.naturalWidth) > 0, 'the code image loads');

  const submit = async (password) => {
    await page.fill('#admin', 'admin');
    await page.fill('input[name=password]', password);
    await page.fill('#verifycode', '1234');
    await page.click('input[name=Submit2]');
  };
  // A wrong password: one alert, back on the login page.
  const before = dialogs.length;
  await submit('wrong-password');
  assert.match((await nextDialog(dialogs, before)).message, /用户名或密码错误/);
  await page.waitForURL(/admin\/login\.asp$/);
  await page.waitForSelector('#admin');

  await Promise.all([page.waitForURL(/admin\/index\.asp$/), submit(ownerPassword(site))]);

  const menu = page.frame({ name: 'left' });
  const right = page.frame({ name: 'right' });
  assert.ok(menu && right, 'the frameset has its two frames');
  await menu.waitForSelector('#submenu3', { state: 'attached' });
  await right.waitForSelector('text=岚禾统一后台');
  assert.match(await menu.textContent('body'), /系统CEO \(站长\)/);

  // Sections 0 and 1 start open, 2 and 3 closed; a click toggles, a second click restores.
  for (const [i, open] of [[0, true], [1, true], [2, false], [3, false]]) {
    assert.equal(await menu.isVisible(`#submenu${i}`), open, `section ${i} at first`);
    await menu.click(`#menuTitle${i}`);
    assert.equal(await menu.isVisible(`#submenu${i}`), !open, `section ${i} after one click`);
    await menu.click(`#menuTitle${i}`);
    assert.equal(await menu.isVisible(`#submenu${i}`), open, `section ${i} after two clicks`);
  }

  // An entry opens in the right frame.
  await menu.click(`#menuTitle3`);
  await menu.click('text=数据库备分');
  await right.waitForSelector('text=立即备份');

  await menu.click('text=后台用户');
  await right.waitForSelector('text=后台用户管理');
  assert.equal(await right.inputValue('input[name=admin]'), 'admin');

  // Logout: the frameset now sends the visitor to the login page.
  await Promise.all([page.waitForURL(/admin\/login\.asp$/), menu.click('text=退出')]);
  await page.waitForSelector('#verifycode');
});
