// Shared by the browser tests: a real `tovi serve` on a fresh copy of the web
// root, and headless Chromium driven by playwright-core.
//
//   import { openSite } from './support.mjs';
//   const { site, browser } = await openSite({ demo: true });  // closed after the file's tests
//   const page = await browser.newPage();
//   await page.goto(site.url + 'index.asp');                   // site.sql(), site.initOut
import { after } from 'node:test';
import { spawn, execFileSync } from 'node:child_process';
import { cpSync, mkdtempSync, rmSync, existsSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';

const binary = process.env.TOVI_BINARY || join(process.cwd(), 'build/tovi');
const sourceDir = process.env.TOVI_SOURCE_DIR || process.cwd();

// Starts `tovi serve` (with `--fixed-code 1234`, so logins type that code) on
// a free loopback port over a temporary copy of site/, and headless Chromium;
// both end once the calling file's tests are done. options.demo: the demo
// menu; options.args: more serve arguments.
export async function openSite(options = {}) {
  const root = mkdtempSync(join(tmpdir(), 'tovi-browser-'));
  cpSync(join(sourceDir, 'site'), root, {
    recursive: true,
    filter: (src) => !src.includes(`${join(sourceDir, 'site', 'database')}/`) && !src.endsWith('.mdb'),
  });
  const initOut = execFileSync(binary, ['init', '--root', root, ...(options.demo ? ['--demo'] : [])], { encoding: 'utf8' });
  const proc = spawn(binary, ['serve', '--root', root, '--port', '0', '--access-log', '-', '--fixed-code', '1234',
    ...(options.args || [])], { stdio: ['ignore', 'pipe', 'pipe'] });
  let stderr = '';
  proc.stderr.on('data', (d) => { stderr += d; });
  const url = await new Promise((resolve, reject) => {
    let out = '';
    const timer = setTimeout(() => reject(new Error('server did not start: ' + out + stderr)), 15000);
    proc.stdout.on('data', (d) => {
      out += d;
      const m = out.match(/listening on (http:\/\/[^\s]+\/)/);
      if (m) { clearTimeout(timer); resolve(m[1]); }
    });
    proc.on('exit', (code) => { clearTimeout(timer); reject(new Error(`server exited ${code}: ${stderr}`)); });
  });
  const browser = await chromium.launch({
    executablePath: existsSync('/usr/bin/chromium') ? '/usr/bin/chromium' : undefined,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  after(async () => {
    await browser.close();
    if (proc.exitCode === null) {
      const done = new Promise((r) => proc.once('exit', r));
      proc.kill('SIGTERM');
      await done;
    }
    rmSync(root, { recursive: true, force: true });
  });
  const site = {
    url, initOut,
    // One SQL statement on the site's database file; its output, trimmed.
    sql: (statement) =>
      execFileSync('sqlite3', [join(root, 'database', 'tamlo.mdb'), statement], { encoding: 'utf8' }).trim(),
  };
  return { site, browser };
}

// Collects the texts of the dialogs (alert, confirm) a page shows; `answer`
// decides confirm dialogs (true = OK).
export function recordDialogs(page, answer = () => true) {
  const seen = [];
  page.on('dialog', async (d) => {
    seen.push({ type: d.type(), message: d.message() });
    if (d.type() === 'confirm') { if (answer(d.message())) await d.accept(); else await d.dismiss(); }
    else await d.accept();
  });
  return seen;
}

// Waits until `check()` is true (polling), or fails naming `what`.
export async function until(check, what) {
  for (let i = 0; i < 100; i++) {
    if (await check()) return;
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error('never happened: ' + what);
}

// The dialog shown after the first `n` of `seen` (waits for it).
export async function nextDialog(seen, n) {
  await until(() => seen.length > n, 'a dialog');
  return seen[n];
}

// Fills the storefront's order form (the first dish's quantity and the
// contact fields) and presses its order button.
export async function order(page, { number = '1', yhm = '张三', telsss = '13800000000', addresss = '台江区五一路1号', qtbz } = {}) {
  await page.locator('input[name=number]').first().fill(number);
  for (const [name, value] of Object.entries({ yhm, telsss, addresss })) await page.fill(`input[name=${name}]`, value);
  if (qtbz !== undefined) await page.fill('textarea[name=qtbz]', qtbz);
  await page.click('#orderImage');
}

// An order posted straight to the submission page from `context`, as the form would.
export async function postOrder(context, site, yhm, total = '12') {
  const r = await context.request.post(site.url + 'dctj.asp', {
    form: { list: 'x', list1: total, yhm, telsss: '87001234', zffs: 'x', addresss: 'addr', qtbz: '', hours: '12', minutes: '30' },
  });
  if (r.status() !== 200) throw new Error('order refused: ' + r.status());
}

// The password `tovi init` printed for the site owner.
export const ownerPassword = (site) => site.initOut.match(/password: (\S+)/)[1];

// Logs in to the back office as the site owner through the real form, in a new
// browser context (the site comes from openSite).
export async function logIn(browser, site) {
  const password = ownerPassword(site);
  const context = await browser.newContext();
  const page = await context.newPage();
  const dialogs = recordDialogs(page);
  await page.goto(site.url + 'admin/login.asp');
  await page.fill('input[name=admin]', 'admin');
  await page.fill('input[name=password]', password);
  await page.fill('input[name=verifycode]', '1234');
  await Promise.all([page.waitForURL(/admin\/index\.asp/), page.click('input[name=Submit2]')]);
  return { page, dialogs };
}
