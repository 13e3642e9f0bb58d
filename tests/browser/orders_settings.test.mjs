// The order filter settings page in a real browser: check() stops numbers the
// database cannot take before they are sent; good values are saved and shown.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { startSite, launchBrowser, logIn } from './support.mjs';

test('the settings form checks its numbers and saves them', async (t) => {
  const site = await startSite({ args: ['--fixed-code', '1234'] });
  const browser = await launchBrowser();
  t.after(async () => { await browser.close(); await site.stop(); });

  const { page, dialogs } = await logIn(browser, site);

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
  assert.equal(await page.inputValue('input[name=order_time]'), '10');
  assert.equal(await page.inputValue('input[name=order_times]'), '3');
  assert.ok(await page.isChecked('input[name=radiobutton][value="1"]'));
  assert.ok(await page.isChecked('input[name=order_delet][value="1"]'));
  assert.equal(await page.inputValue('textarea[name=order_deletkey]'), '鼓楼|台江\n仓山');
});
