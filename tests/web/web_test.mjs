// Drives web/tolvik.html in headless Chromium, opened from disk, and holds
// every view it shows to what the tool prints for the same input.
//
//   node web_test.mjs PAGE TOOL SAMPLES SCREENSHOTS   (CHROMIUM: the browser)
//
// #report is the tool's console text between its TVK line and its len= line
// (the messages, then the report); without a page, the messages of the
// tool's JSON document, which add the check's diagnosis. #check is what
// -c prints after the len= line; the download is `tolvik -j -c -m`.
import assert from 'node:assert/strict';
import {spawnSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {after, before, test} from 'node:test';
import puppeteer from 'puppeteer-core';

const [pagePath, tool, samples, shots] = process.argv.slice(2).map((p) => path.resolve(p));
const pageUrl = 'file://' + pagePath;
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tolvik-web-'));
const downloads = path.join(work, 'downloads');
// The page's own words where the tool has none: an input without a page
// that the check does not describe.
const kNoPage = 'No parameter page found\n';

let browser;
let page;
const requests = [];  // every request but the page's file and data: URLs
const errors = [];    // console errors and uncaught exceptions

function run(args, file, stdin, level = []) {
  const name = file ? path.basename(file) : '-';
  const cwd = file ? path.dirname(file) : work;
  return spawnSync(tool, [...args, name, ...level], {cwd, input: stdin, encoding: 'latin1'}).stdout;
}

// What the page must show for an input the tool reads with `flags`.
function expected(flags, file, level, stdin) {
  const printed = /^[^\n]*\nTVK: [^\n]*\n([\s\S]*?)\nlen=\d+\n([\s\S]*)$/.exec(run(['-c', ...flags], file, stdin, [String(level)]));
  const json = run(['-j', '-c', '-m', ...flags], file, stdin);
  const doc = JSON.parse(json);
  const messages = doc.messages.map((m) => m.text + '\n').join('');
  return {report: doc.layout === null ? messages || kNoPage : printed[1], check: printed[2], json, doc};
}

async function load(action) {
  const count = () => page.evaluate(() => Number(document.body.dataset.decodes || 0));
  const before = await count();
  await action();
  await page.waitForFunction((n) => Number(document.body.dataset.decodes) > n, {timeout: 5000}, before);
}
const text = (selector) => page.$eval(selector, (e) => e.textContent);
const upload = (file) => load(async () => (await page.$('#file')).uploadFile(file));
const paste = (listing) => load(() => page.$eval('#listing', (e, t) => {
  e.value = t;
  e.dispatchEvent(new InputEvent('input', {inputType: 'insertFromPaste'}));
}, listing));
const drop = (file) => load(() => page.evaluate((bytes, name) => {
  const data = new DataTransfer();
  data.items.add(new File([new Uint8Array(bytes)], name));
  document.getElementById('map').dispatchEvent(new DragEvent('drop', {dataTransfer: data, bubbles: true}));
}, [...fs.readFileSync(file)], path.basename(file)));
const level = (n) => load(() => page.select('#level', String(n)));

async function downloaded(name) {
  const file = path.join(downloads, name);
  await page.click('#download');
  for (let wait = 0; wait < 50 && !fs.existsSync(file); ++wait) await new Promise((r) => setTimeout(r, 100));
  const content = fs.readFileSync(file, 'latin1');
  fs.rmSync(file);
  return content;
}

// The bytes of the page as the map names them: the entries of the page
// decoded, in byte order, before those of the extended page.
function pageEntries(doc, length) {
  const entries = [];
  for (const entry of doc.map || []) {
    if (entry.last >= length || (entries.length && entry.first <= entries.at(-1).last)) break;
    entries.push(entry);
  }
  return entries;
}

async function checkMap(doc) {
  const length = doc.layout === 'JEDEC' ? 512 : 256;
  const cells = await page.$$eval('#map .b[data-s="0"]', (all) =>
    all.map((c) => ({value: parseInt(c.textContent, 16), reserved: c.classList.contains('r'),
      finding: c.classList.contains('f')})));
  assert.equal(cells.length, length);
  const named = new Set();
  for (const f of doc.findings || []) {
    for (let at = f.first; f.last !== undefined && at <= f.last && at < length; ++at) named.add(at);
  }
  assert.deepEqual(cells.flatMap((c, at) => c.finding ? [at] : []), [...named].sort((a, b) => a - b));
  const entries = pageEntries(doc, length);
  const reserved = entries.filter((e) => /reserved/i.test(e.name))
    .flatMap((e) => cells.slice(e.first, e.last + 1).map((c, k) => c.value ? [e.first + k] : []).flat());
  const marked = cells.flatMap((c, at) => c.reserved ? [at] : []);
  assert.ok(marked.every((at) => cells[at].value !== 0), 'a reserved byte marked is not 0');
  assert.ok(reserved.every((at) => cells[at].reserved), 'every reserved byte that is not 0 is marked');
  return marked;
  // Pointing at the first byte of each field names it and lights its bytes.
  for (const entry of entries.length ? entries : [{first: 0, last: 0, name: ''}]) {
    await page.hover(`#map .b[data-s="0"][data-at="${entry.first}"]`);
    assert.equal(await text('#field-name'), entry.name);
    assert.equal(await page.$$eval('#map .hl', (lit) => lit.length), entries.length ? entry.last - entry.first + 1 : 0);
  }
}

before(async () => {
  fs.mkdirSync(shots, {recursive: true});
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--user-data-dir=' + path.join(work, 'profile')],
  });
  page = await browser.newPage();
  await page.setViewport({width: 1280, height: 900});
  page.on('request', (r) => r.url() !== pageUrl && !r.url().startsWith('data:') && requests.push(r.url()));
  page.on('console', (m) => m.type() === 'error' && errors.push(m.text()));
  page.on('pageerror', (e) => errors.push(e.message));
  const cdp = await page.createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads});
  await page.goto(pageUrl);
  await page.waitForSelector('body[data-state="ready"]');
});

after(async () => {
  await browser?.close();
  fs.rmSync(work, {recursive: true, force: true});
});

const sampleFiles = fs.readdirSync(samples).filter((f) => f.endsWith('.bin')).sort();
test('every sample: report at each level, check, map, JSON, a pasted xxd listing', async (t) => {
  for (const name of sampleFiles) {
    await t.test(name, async () => {
      const file = path.join(samples, name);
      const bytes = fs.readFileSync(file);
      const signature = bytes.subarray(0, 4).toString('latin1');
      const flags = bytes.length > (signature === 'ONFI' ? 256 : 512) ? ['-a'] : [];
      const decoded = await page.evaluate(() => tolvikTimes.decode.length);
      await upload(file);
      assert.equal((await text('#status')).includes('whole dump'), flags.length > 0);
      for (const n of [2, 1, 0]) {
        if (n !== 2) await level(n);
        assert.equal(await text('#report'), expected(flags, file, n).report, `level ${n}`);
      }
      await level(2);
      // Each decoding of this page, at the median against the machine's hiccups.
      const times = (await page.evaluate(() => tolvikTimes.decode)).slice(decoded).sort((a, b) => a - b);
      assert.ok(times[times.length >> 1] < 5, `decoding takes ${times} ms`);
      const want = expected(flags, file, 2);
      assert.equal(await text('#check'), want.check);
      assert.equal(await downloaded(name + '.json'), want.json);
      await checkMap(want.doc);
      await page.hover('#map .b[data-s="0"][data-at="40"]');
      await page.screenshot({path: path.join(shots, name.replace(/\.bin$/, '.png')), fullPage: true});
      await paste(spawnSync('xxd', [file], {encoding: 'latin1'}).stdout);
      assert.equal(await text('#report'), want.report);
      assert.match(await text('#status'), /hex listing/);
    });
  }
});

// Inputs the tool reads in other ways, or that hold no page; how each is
// given to the page, and the options the tool then needs.
test('listings, drops and inputs without a page', async (t) => {
  const onfi = path.join(samples, sampleFiles.find((f) => f.endsWith('.onfi.bin')));
  // A 1.0 page with a byte in a reserved range (20) and in a field since 2.1 (14).
  const reserved = Buffer.from(fs.readFileSync(path.join(samples, 'mt29f1g08abbda3w.onfi.bin')));
  reserved[14] = 3;
  reserved[20] = 0x5a;
  const write = (name, content) => (fs.writeFileSync(path.join(work, name), content), path.join(work, name));
  const cases = [
    {name: 'erased', file: write('erased.bin', Buffer.alloc(600, 0xff)), flags: ['-a']},
    {name: 'empty', file: write('empty.bin', ''), flags: []},
    {name: 'text', file: write('notes.txt', 'hello, not a page\n'), flags: []},
    {name: 'listing file', file: write('page.xxd', spawnSync('xxd', [onfi]).stdout), flags: ['-x']},
    {name: 'dropped', file: path.join(samples, sampleFiles.find((f) => f.endsWith('.jedec.bin'))), flags: [],
      give: drop},
    {name: 'unreadable paste', stdin: 'zz zz\n', flags: ['-x']},
    {name: 'reserved bytes', file: write('reserved.bin', reserved), flags: [], marked: [14, 20]},
  ];
  for (const c of cases) {
    await t.test(c.name, async () => {
      await (c.stdin !== undefined ? paste(c.stdin) : (c.give || upload)(c.file));
      const want = expected(c.flags, c.file, 2, c.stdin);
      assert.equal(await text('#report'), want.report);
      assert.equal(await text('#check'), want.check);
      const marked = want.doc.layout && (await checkMap(want.doc));
      if (c.marked) assert.deepEqual(marked, c.marked);
    });
  }
});

test('no request left the page, no error, fast and small', async () => {
  assert.deepEqual(requests, []);
  assert.deepEqual(errors, []);
  const times = await page.evaluate(() => window.tolvikTimes);
  const size = fs.statSync(pagePath).size;
  console.log(`# tolvik.html ${size} bytes; decoder ready ${times.ready.toFixed(1)} ms after loading` +
    ` (warm-up ${times.warm.toFixed(1)} ms); first report shown ${times.shown[0].toFixed(1)} ms after its input;` +
    ` decoding at most ${Math.max(...times.decode).toFixed(2)} ms over ${times.decode.length} inputs`);
  assert.ok(size < 1024 * 1024);
  assert.ok(times.ready + times.shown[0] < 1000);
});
