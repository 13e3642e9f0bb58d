// Run by nodes_test.cpp with two nodes of one site: the site owner signs in on node A; on node B the kitchen's live
// screen shows an order node A took (within a second of its answer) and moves two orders on, in one session.
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';
import { logIn, until } from '../browser/support.mjs';

const [a, b] = [process.env.TOVI_NODE_A, process.env.TOVI_NODE_B];
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox', '--disable-gpu'] });
try {
  const { page } = await logIn(browser, { url: a, password: process.env.TOVI_PASSWORD });
  await page.goto(b + 'admin/live.asp');
  assert.equal(new URL(page.url()).pathname, '/admin/live.asp', 'node B sent the signed-in owner away');
  await until(async () => (await page.textContent('#state')) === '实时接收中', 'the stream is open on node B');
  const card = (remark) => page.locator('.card', { hasText: '备注：' + remark });
  await card('taken-by-a').locator('button.move').click();

  const answer = await page.request.post(a + 'dctj.asp', { data: process.env.TOVI_ORDER,
    headers: { 'Content-Type': 'application/x-www-form-urlencoded', Origin: a.slice(0, -1) } });
  const answered = Date.now();
  assert.equal(answer.status(), 200);
  await card('live-from-a').waitFor({ timeout: 5000 });
  const delay = Date.now() - answered;
  assert.ok(delay < 1000, `the order reached node B's screen ${delay} ms after node A's answer`);
  await card('live-from-a').locator('button.move').click();
  await until(async () => (await page.locator('section[data-status="2"] .card').count()) === 2, 'both orders moved');
} finally {
  await browser.close();
}
