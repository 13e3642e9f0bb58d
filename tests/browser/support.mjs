// Shared by the browser tests: a real `tovi serve` on a fresh copy of the web root, headless Chromium driven by
// playwright-core, and the steps the walks share.
import { after } from 'node:test';
import assert from 'node:assert/strict';
import { once } from 'node:events';
import { spawn, execFileSync } from 'node:child_process';
import { cpSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';

const binary = process.env.TOVI_BINARY || join(process.cwd(), 'build/tovi');
const sourceDir = process.env.TOVI_SOURCE_DIR || process.cwd();

// `tovi serve --fixed-code 1234` (logins type it) on a free port over a copy of site/ (`demo`: with the demo menu),
// and headless Chromium, both ended after the file's tests. site: { url, password (the site owner's), sql → output }.
export async function openSite({ demo = false } = {}) {
  const root = mkdtempSync(join(tmpdir(), 'tovi-browser-'));
  // Not the database a local `tovi serve` may have made in the source tree.
  const data = join(sourceDir, 'site/database/');
  cpSync(join(sourceDir, 'site'), root, { recursive: true, filter: (file) => !file.startsWith(data) });
  const initOut = execFileSync(binary, ['init', '--root', root, ...(demo ? ['--demo'] : [])], { encoding: 'utf8' });
  const proc = spawn(binary, ['serve', '--root', root, '--port', '0', '--access-log', '-', '--fixed-code', '1234']);
  let out = '';
  proc.stderr.on('data', (d) => { out += d; });
  const url = await new Promise((resolve, reject) => {
    setTimeout(() => reject(new Error('server did not start: ' + out)), 15000).unref();
    proc.stdout.on('data', (d) => { const m = (out += d).match(/listening on (http:\/\/\S+\/)/); m && resolve(m[1]); });
    proc.on('exit', (code) => reject(new Error(`server exited ${code}: ${out}`)));
  });
  const browser = await chromium.launch({ executablePath: '/usr/bin/chromium',  // the tests run only where it is
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'] });
  after(async () => {
    await browser.close();
    if (proc.exitCode === null) { proc.kill('SIGTERM'); await once(proc, 'exit'); }
    rmSync(root, { recursive: true, force: true });
  });
  const sql = (statement) => execFileSync('sqlite3', [join(root, 'database/tamlo.mdb'), statement]).toString().trim();
  return { site: { url, password: initOut.match(/password: (\S+)/)[1], sql }, browser };
}

// A page in a context of its own (a visitor's cookies), its dialogs as { type, message }; `answer` decides confirms.
export async function newVisitor(browser, answer = () => true) {
  const page = await (await browser.newContext()).newPage(), dialogs = [];
  page.on('dialog', async (d) => {
    dialogs.push({ type: d.type(), message: d.message() });
    await (d.type() === 'confirm' && !answer(d.message()) ? d.dismiss() : d.accept());
  });
  return { page, dialogs };
}

// Waits until `check()` is true (polling), or fails naming `what`.
export async function until(check, what) {
  for (let i = 0; i < 100; i++, await new Promise((r) => setTimeout(r, 100))) if (await check()) return;
  throw new Error('never happened: ' + what);
}

// The URLs `page` posts to from now on.
export const posts = (page, seen = []) =>
  (page.on('request', (r) => r.method() === 'POST' && seen.push(r.url())), seen);

// The first dialog after the first `from` of `seen` whose message holds `text` (waits for it).
export async function dialog(seen, from = 0, text = '') {
  let found;
  await until(() => (found = seen.slice(from).find((d) => d.message.includes(text))), 'the dialog ' + text);
  return found;
}

// Clicks `selector` and waits for the page to reach `url`.
export const clickTo = (page, selector, url) => Promise.all([page.waitForURL(url), page.click(selector)]);

// Fills `fields` (a bare word names a field, anything else is a selector), then clicks `submit` when given.
export async function fillIn(page, fields, submit) {
  for (const [field, value] of Object.entries(fields))
    await page.fill(/^\w+$/.test(field) ? `[name=${field}]` : field, value);
  if (submit) await page.click(submit);
}

// Orders `number` of the first dish through the storefront's order form, as a default customer or as `fields` say.
export async function order(page, { number = '1', ...fields } = {}) {
  await page.locator('input[name=number]').first().fill(number);
  await fillIn(page, { yhm: '张三', telsss: '13800000000', addresss: '台江区五一路1号', ...fields }, '#orderImage');
}

// An order posted straight to the submission page from `context` (what it leaves out is stored empty).
export const postOrder = async (context, site, yhm) => assert.equal((await context.request.post(site.url + 'dctj.asp',
  { form: { list1: '12', yhm, telsss: '87001234' } })).status(), 200, 'the order was taken');

// Logs in to the back office as the site owner through the real form (the fixed code typed), as a new visitor.
export async function logIn(browser, site) {
  const { page, dialogs } = await newVisitor(browser);
  await page.goto(site.url + 'admin/login.asp');
  await Promise.all([page.waitForURL(/admin\/index\.asp/),
    fillIn(page, { admin: 'admin', password: site.password, verifycode: '1234' }, 'input[name=Submit2]')]);
  return { page, dialogs };
}
