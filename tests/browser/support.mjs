// Shared by the browser tests: a real `tovi serve` on a fresh copy of the web root, headless Chromium driven by
// playwright-core, and the steps the walks share.
import { after } from 'node:test';
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
  const root = mkdtempSync(join(tmpdir(), 'tovi-browser-')), source = join(sourceDir, 'site');
  // Not the database a local `tovi serve` may have made in the source tree.
  cpSync(source, root, { recursive: true, filter: (file) => !file.startsWith(join(source, 'database/')) });
  const initOut = execFileSync(binary, ['init', '--root', root, ...(demo ? ['--demo'] : [])], { encoding: 'utf8' });
  const proc = spawn(binary, ['serve', '--root', root, '--port', '0', '--access-log', '-', '--fixed-code', '1234']);
  let out = '';
  const url = await new Promise((resolve, reject) => {
    setTimeout(() => reject(new Error('server did not start: ' + out)), 15000).unref();
    proc.stderr.on('data', (d) => { out += d; });
    proc.stdout.on('data', (d) => { const m = (out += d).match(/listening on (http:\/\/\S+\/)/); m && resolve(m[1]); });
    proc.on('exit', (code) => reject(new Error(`server exited ${code}: ${out}`)));
  });
  const browser = await chromium.launch({ executablePath: '/usr/bin/chromium',  // the tests run only where it is
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking'] });
  after(async () => {
    await browser.close();
    if (proc.exitCode === null) await new Promise((done) => proc.once('exit', done).kill('SIGTERM'));
    rmSync(root, { recursive: true, force: true });
  });
  const sql = (statement) => execFileSync('sqlite3', [join(root, 'database/tamlo.mdb'), statement]).toString().trim();
  return { site: { url, password: initOut.match(/password: (\S+)/)[1], sql }, browser };
}

// A page in a context of its own (a visitor's cookies; `device` e.g. a phone's) and its dialogs ({ type, message });
// `answer` decides confirms.
export async function newVisitor(browser, answer = () => true, device = {}) {
  const page = await (await browser.newContext(device)).newPage(), dialogs = [];
  page.on('dialog', (d) => (dialogs.push({ type: d.type(), message: d.message() }),
    d.type() === 'confirm' && !answer() ? d.dismiss() : d.accept()));
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

// Takes the first dialog of `seen` holding `text` (waiting for it) and those before it off `seen`; returns it.
export async function dialog(seen, text = '') {
  let at = -1;
  await until(() => (at = seen.findIndex((d) => d.message.includes(text))) >= 0, 'the dialog ' + text);
  return seen.splice(0, at + 1).at(-1);
}

// Clicks `selector` and waits for the page to reach `url`.
export const clickTo = (page, selector, url) => Promise.all([page.waitForURL(url), page.click(selector)]);

// Fills `fields` (a bare word names a field, anything else is a selector), then clicks `submit` when given.
export async function fillIn(page, fields, submit) {
  for (const [field, value] of Object.entries(fields))
    await page.fill(/^\w+$/.test(field) ? `[name=${field}]` : field, value);
  if (submit) await page.click(submit);
}

// Logs in to the back office as the site owner through the real form (the fixed code typed), as a new visitor.
export async function logIn(browser, site) {
  const { page, dialogs } = await newVisitor(browser);
  await page.goto(site.url + 'admin/login.asp');
  await Promise.all([page.waitForURL(/admin\/index\.asp/),
    fillIn(page, { admin: 'admin', password: site.password, verifycode: '1234' }, 'input[name=Submit2]')]);
  return { page, dialogs };
}
