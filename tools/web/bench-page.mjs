// The page's figures in headless Chromium, beside its floor (SDL alone presenting
// 800 x 600 every 15 ms in the same page): the time from navigation to the first picture
// (fresh and with the files cached), what the page downloads, and the CPU of the whole
// browser (every process) per second, the game in the menu at rest and in a race.
//   node tools/web/bench-page.mjs GAME-ORIGIN FLOOR-ORIGIN
// Reports and never fails.
import {mkdtempSync, readFileSync, readdirSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {createRequire} from 'node:module';

const require = createRequire(new URL('../../tests/web/package.json', import.meta.url));
const puppeteer = require('puppeteer-core');
const [origin, floorOrigin] = process.argv.slice(2);
const profile = mkdtempSync(join(tmpdir(), 'sprayrush-bench-page-'));
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium', headless: true, userDataDir: profile,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required'],
  defaultViewport: {width: 800, height: 636},
});
// Clock ticks of a process tree, from /proc.
const ticks = (root) => {
  let sum = 0;
  const children = new Map();
  for (const pid of readdirSync('/proc').filter((n) => /^[0-9]+$/.test(n))) {
    try {
      const fields = readFileSync(`/proc/${pid}/stat`, 'utf8').split(') ')[1].split(' ');
      children.set(pid, {parent: fields[1], cpu: +fields[11] + +fields[12]});
    } catch (e) {}
  }
  const walk = (pid) => {
    sum += children.get(pid)?.cpu ?? 0;
    for (const [child, c] of children) if (c.parent === pid) walk(child);
  };
  walk(String(root));
  return sum;
};
const cpu = async (seconds) => {
  const before = ticks(browser.process().pid);
  await sleep(seconds * 1000);
  return (ticks(browser.process().pid) - before) / (100 * seconds) * 100;  // % of a core
};
const page = await browser.newPage();
const start = async (at = origin) => {
  await page.goto(at + '/play/');
  for (;;) {
    const first = await page.evaluate(() => window.Module && Module.firstPicture);
    if (first) return first;
    await sleep(50);
  }
};
const startups = async (at) => {
  const fresh = await start(at);
  const cached = [];
  for (let i = 0; i < 5; ++i) cached.push(await start(at));
  cached.sort((a, b) => a - b);
  return {fresh, cached};
};
const ms = (t) => `${Math.round(t.fresh)} ms fresh, ${Math.round(t.cached[2])} ms (${Math.round(t.cached[0])} to ` +
                  `${Math.round(t.cached[4])}) cached`;
const floor = await startups(floorOrigin);
await sleep(3000);
const floorCpu = await cpu(5);
const fresh = await start();
const bytes = await page.evaluate(() => performance.getEntriesByType('resource').reduce((s, r) => s + r.transferSize, 0) +
                                       performance.getEntriesByType('navigation')[0].transferSize);
const cached = [];
for (let i = 0; i < 5; ++i) cached.push(await start());
cached.sort((a, b) => a - b);
await sleep(3000);
const menu = await cpu(5);
await page.mouse.click(650, 134);
await sleep(1500);
await page.mouse.click(100, 260);
await sleep(3000);
await page.keyboard.down('ArrowUp');
await sleep(500);
const race = await cpu(5);
await page.keyboard.up('ArrowUp');
const game = {fresh, cached};
const ratio = (a, b) => (a / b).toFixed(2);
console.log(`page floor: first picture ${ms(floor)}; CPU of the browser (all its processes) ${floorCpu.toFixed(1)} % of a core`);
console.log(`page game: first picture ${ms(game)}: ${ratio(game.cached[2], floor.cached[2])}x the floor cached; ` +
            `${bytes} bytes downloaded`);
console.log(`page game: CPU menu ${menu.toFixed(1)} % (${ratio(menu, floorCpu)}x), race ${race.toFixed(1)} % ` +
            `(${ratio(race, floorCpu)}x the floor)`);
await browser.close();
rmSync(profile, {recursive: true, force: true});
