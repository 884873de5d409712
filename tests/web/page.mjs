// The web game in Debian's headless Chromium, against our score server:
//   node page.mjs SERVER RUNNER DIST [LINUX-MENU.png] [SEEDED-SAVE-FOLDER]
// The page loads with no error; its menu is the Linux build's; an option switched survives
// a reload; a race starts from the keys and mouse, the river moves and the sound plays; a
// game's result and replay, sent from the page, end proven on the table; the table's
// "watch" link plays that game in the page and the menu comes back at its end; in full screen
// on a wider screen the picture fills its height, centred, and clicks land on its buttons.
// Exit 77 when Chromium cannot start here.
import {spawn} from 'node:child_process';
import {mkdtempSync, readFileSync, readdirSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import puppeteer from 'puppeteer-core';

const [server, runner, dist, linuxMenu, seeded] = process.argv.slice(2);
const work = mkdtempSync(join(tmpdir(), 'sprayrush-web-'));
const log = (text) => console.log(`[web] ${text}`);
let browser, scores;
const finish = async (status) => {
  if (browser) await browser.close().catch(() => {});
  if (scores) scores.kill('SIGTERM');
  rmSync(work, {recursive: true, force: true});
  process.exit(status);
};
const fail = (text) => {
  log(`FAIL: ${text}`);
  return finish(1);
};
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
// Generous limits: the machine is shared; nothing waits for a fixed time to pass.
async function until(what, seconds, test) {
  const end = Date.now() + seconds * 1000;
  for (;;) {
    const value = await test();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await sleep(200);
  }
}

// --- the score server, with the page ---
scores = spawn(server, ['--port', '0', '--db', join(work, 'scores.db'), '--web', dist, '--replay-runner', runner],
               {stdio: ['ignore', 'pipe', 'inherit']});
const port = await new Promise((done) => {
  let said = '';
  scores.stdout.on('data', (chunk) => {
    said += chunk;
    const found = said.match(/ port ([0-9]+)/);
    if (found) done(found[1]);
  });
  scores.on('exit', () => done(null));
});
if (!port) await fail('the score server did not start');
const origin = `http://127.0.0.1:${port}`;

// --- the browser ---
try {
  browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true, userDataDir: join(work, 'profile'),
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required',
           // A screen wider than 4:3 and larger than the page, for full screen.
           '--screen-info={1920x1080}'],
    defaultViewport: {width: 800, height: 636}, protocolTimeout: 120000,
  });
} catch (error) {
  log(`SKIPPED: Chromium cannot start here: ${error.message.split('\n')[0]}`);
  await finish(77);
}
const page = await browser.newPage();
const problems = [];
page.on('console', (m) => { if (m.type() === 'error') problems.push(`console: ${m.text()}`); });
page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
page.on('response', (r) => { if (r.status() >= 400) problems.push(`${r.status()} for ${r.url()}`); });

// The canvas is the whole 800 x 600 at the top of this viewport: page pixels are picture pixels.
const shot = () => page.screenshot({clip: {x: 0, y: 0, width: 800, height: 600}, encoding: 'base64'});
// Pixels that differ by more than a little in a region, counted by the page itself.
const differing = (a, b, [x, y, w, h] = [0, 0, 800, 600]) => page.evaluate(async (a, b, x, y, w, h) => {
  const pixels = async (png) => {
    const image = new Image();
    image.src = 'data:image/png;base64,' + png;
    await image.decode();
    const canvas = new OffscreenCanvas(w, h);
    const context = canvas.getContext('2d');
    context.drawImage(image, -x, -y);
    return context.getImageData(0, 0, w, h).data;
  };
  const [p, q] = [await pixels(a), await pixels(b)];
  let count = 0;
  for (let i = 0; i < p.length; i += 4)
    if (Math.abs(p[i] - q[i]) > 24 || Math.abs(p[i + 1] - q[i + 1]) > 24 || Math.abs(p[i + 2] - q[i + 2]) > 24) ++count;
  return count;
}, a, b, x, y, w, h);
const colourAt = (png, x, y) => page.evaluate(async (png, x, y) => {
  const image = new Image();
  image.src = 'data:image/png;base64,' + png;
  await image.decode();
  const context = new OffscreenCanvas(1, 1).getContext('2d');
  context.drawImage(image, -x, -y);
  return Array.from(context.getImageData(0, 0, 1, 1).data.slice(0, 3));
}, png, x, y);
async function waitStill(what, seconds = 60) {
  let last = await shot();
  return until(what, seconds, async () => {
    await sleep(400);
    const now = await shot();
    const still = now === last;
    last = now;
    return still && now;
  });
}
const waitChange = (what, from, region, seconds = 30, least = 50) =>
  until(what, seconds, async () => { const now = await shot(); return (await differing(from, now, region)) > least && now; });
const readFile = (path) => page.evaluate((path) => {
  try { return Array.from(Module.FS.readFile(path)); } catch (e) { return null; }
}, path);
const click = (x, y) => page.mouse.click(x, y);
const dialogFace = [0x10, 0x30, 0x6A];  // the dialog window at (250, 260)
const showsDialog = async () => {
  const [r, g, b] = await colourAt(await shot(), 250, 260);
  return Math.abs(r - dialogFace[0]) + Math.abs(g - dialogFace[1]) + Math.abs(b - dialogFace[2]) < 30;
};
// A question takes its answer once it has opened: the key again until the question goes.
async function answer(key, what) {
  const question = await shot();
  await until(what, 60, async () => {
    await page.keyboard.press(key);
    await sleep(1000);
    return (await differing(question, await shot(), [220, 230, 360, 150])) > 300;
  });
}
const banner = [0, 0, 800, 90];  // the menus' title, which no race shows

const step = async (name, body) => {
  try {
    await body();
    log(`ok: ${name}`);
  } catch (error) {
    await page.screenshot({path: join(tmpdir(), 'sprayrush-web-failed.png')}).catch(() => {});
    await fail(`${name}: ${error.message} (the page as it was: ${join(tmpdir(), 'sprayrush-web-failed.png')})`);
  }
};

let menu, optionsShot;
const loadMenu = async (url = `${origin}/play/`) => {
  await page.goto(url);
  await until('the first picture', 120, () => page.evaluate(() => window.Module && Module.firstPicture));
  return waitStill('the menu at rest');
};

await step('the page loads and shows the menu with no error', async () => {
  menu = await loadMenu();
  const figures = await page.evaluate(() => ({
    firstPicture: Math.round(Module.firstPicture),
    bytes: performance.getEntriesByType('resource').reduce((sum, r) => sum + r.transferSize, 0) +
        performance.getEntriesByType('navigation')[0].transferSize,
  }));
  log(`first picture ${figures.firstPicture} ms after navigation, ${figures.bytes} bytes transferred`);
  if (problems.length) throw new Error(problems.join('; '));
});

await step('the menu is the Linux build\'s', async () => {
  if (!linuxMenu) return log('no Linux menu picture given: not compared');
  const linux = readFileSync(linuxMenu).toString('base64');
  const count = await differing(menu, linux);
  log(`the menu differs from the Linux build's in ${count} pixels`);
  if (count > 200) throw new Error(`${count} pixels differ`);
});

await step('an option switched survives a reload', async () => {
  await click(650, 194);  // options
  const options = await waitStill('the options');
  const before = await readFile('/game/Data/Save/options');
  await click(200, 320);  // sound
  await waitChange('the sound switch', options, [425, 308, 80, 24]);
  await click(650, 194);  // back
  await waitStill('the menu');
  const after = await until('the saved options', 30, async () => {
    const bytes = await readFile('/game/Data/Save/options');
    return bytes && JSON.stringify(bytes) !== JSON.stringify(before) && bytes;
  });
  await until('the copy in IndexedDB', 30, () => page.evaluate(() => !Module.sprayrushSyncing && !Module.sprayrushSyncQueued));
  await loadMenu();
  log(`first picture ${Math.round(await page.evaluate(() => Module.firstPicture))} ms after navigation with the files cached`);
  const reloaded = await readFile('/game/Data/Save/options');
  if (JSON.stringify(reloaded) !== JSON.stringify(after)) throw new Error('the options came back otherwise');
  const sound = (bytes) => Buffer.from(bytes).toString('latin1').split('\r\n')[2];
  if (!before || sound(before) === sound(after)) throw new Error('the sound option was not saved');
  // Sound on again, for the race.
  await click(650, 194);
  const again = optionsShot = await waitStill('the options');
  await click(200, 320);
  await waitChange('the sound switch', again, [425, 308, 80, 24]);
  await click(650, 194);
  await waitStill('the menu');
});

if (seeded) {
  // A table whose last entry any game beats, as the game writes it.
  await step('a seeded high-score table', async () => {
    for (const name of readdirSync(seeded)) {
      const bytes = Array.from(readFileSync(join(seeded, name)));
      await page.evaluate((name, bytes) => Module.FS.writeFile('/game/Data/Save/' + name, new Uint8Array(bytes)), name, bytes);
    }
    await page.evaluate(() => new Promise((done) => Module.FS.syncfs(false, done)));
    menu = await loadMenu();
  });
}

let raceShot;
await step('keys start a race, the river moves and the sound plays', async () => {
  await page.evaluate(() => {
    // Listens to what the mixer gives the browser.
    window.loudest = 0;
    const node = Module.SDL2.audio.scriptProcessorNode;
    const mix = node.onaudioprocess;
    node.onaudioprocess = (e) => {
      mix(e);
      for (const sample of e.outputBuffer.getChannelData(0)) window.loudest = Math.max(window.loudest, Math.abs(sample));
    };
  });
  await click(650, 134);  // start
  const boats = await waitStill('the boats');
  await click(100, 260);  // the first boat
  await waitChange('the race', boats, [100, 150, 300, 300]);
  const start = await waitStill('the course standing under its banner', 30).catch(async () => shot());
  await page.keyboard.down('ArrowUp');
  raceShot = await waitChange('the river moving', start, [177, 0, 432, 600], 30);
  await page.keyboard.up('ArrowUp');
  const state = await page.evaluate(() => Module.SDL2.audioContext.state);
  if (state !== 'running') throw new Error(`the sound is ${state}`);
  await until('sound', 30, () => page.evaluate(() => window.loudest > 0.01));
});

let proven;
if (seeded) {
  await step('the result and the replay sent from the page end proven on the table', async () => {
    // Escape asks, unless another notice (a crash, the time) holds the race just then.
    await until('the leave question', 60, async () => {
      if (await showsDialog()) return true;
      await page.keyboard.press('Escape');
      await sleep(700);
      return showsDialog();
    });
    await answer('KeyY', 'the name entry');
    // Its cursor blinks, so the entry is never still: the name typed is told by more
    // pixels than the cursor has.
    const name = await until('the name entry', 60, async () => (await showsDialog()) && shot());
    await page.keyboard.type('Web');
    await waitChange('the name typed', name, [250, 325, 300, 38], 30, 300);
    await page.keyboard.press('Enter');
    await until('the send question', 30, showsDialog);
    await answer('KeyY', 'the result sent');
    proven = await until('the proven result', 120, async () => {
      await sleep(1000);  // the server counts pages per address
      const answer = await fetch(`${origin}/cgi/version.pl?prg=Sprayrush&show&type=0&format=json`);
      if (!answer.ok) return null;
      return (await answer.json()).results.find((r) => r.proven && r.name === 'Web');
    });
    log(`proven: ${JSON.stringify(proven)}`);
  });

  await step('the table\'s watch link plays the game in the page, and the menu comes back', async () => {
    const table = await (await fetch(`${origin}/cgi/version.pl?prg=Sprayrush&show&type=0`)).text();
    const link = table.match(/href="\.\.(\/play\/\?replay=[0-9]+)"/);
    if (!link) throw new Error('no watch link on the table');
    await page.goto(`${origin}${link[1]}`);
    await until('the first picture', 120, () => page.evaluate(() => window.Module && Module.firstPicture));
    await until('the race being watched', 60, async () => (await differing(menu, await shot(), banner)) > 2000);
    await page.screenshot({path: join(tmpdir(), 'sprayrush-web-watching.png')});
    // The game ended on the high-score screen, and so does its replay.
    await until('the menu after the replay', 180, async () => (await differing(menu, await shot(), banner)) < 200);
  });
}
await step('full screen: the picture fills the screen\'s height, centred and sharp, and a click lands on its button', async () => {
  menu = await loadMenu();
  // The page's size no longer binds the viewport: full screen gives it the whole screen.
  await page.setViewport(null);
  const altEnter = async () => {
    await page.keyboard.down('Alt');
    await page.keyboard.press('Enter');
    await page.keyboard.up('Alt');
  };
  const canvasBox = () => page.evaluate(() => {
    const r = document.getElementById('canvas').getBoundingClientRect();
    return [r.x, r.y, r.width, r.height].map(Math.round);
  });
  const windowed = await canvasBox();
  await altEnter();
  await until('the full screen', 30, () => page.evaluate(() => document.fullscreenElement && innerWidth === 1920));
  const box = await canvasBox();
  if (JSON.stringify(box) !== '[240,0,1440,1080]') throw new Error(`the picture is at ${box} in 1920 x 1080`);
  // The screen scaled back to 800 x 600 by taking each picture pixel's middle is the menu again.
  const scaledBack = async () => page.evaluate(async (png) => {
    const image = new Image();
    image.src = 'data:image/png;base64,' + png;
    await image.decode();
    const canvas = new OffscreenCanvas(800, 600);
    const context = canvas.getContext('2d');
    context.imageSmoothingEnabled = false;
    context.drawImage(image, 240, 0, 1440, 1080, 0, 0, 800, 600);
    const bytes = new Uint8Array(await (await canvas.convertToBlob()).arrayBuffer());
    let text = '';
    for (const byte of bytes) text += String.fromCharCode(byte);
    return btoa(text);
  }, await page.screenshot({encoding: 'base64'}));
  const count = await differing(menu, await scaledBack());
  if (count > 200) throw new Error(`the full-screen picture differs from the window's in ${count} pixels`);
  await page.mouse.click(240 + 650 * 1.8, 194 * 1.8);  // options
  // The options as in the window below their switches (full screen is on now, sound was off then).
  await until('the options in full screen', 30, async () =>
    (await differing(optionsShot, await scaledBack(), [0, 340, 800, 260])) < 200);
  // The options open with their first line hot for the keys; the pointer must move onto
  // the button again to make it the one a click presses.
  await page.mouse.move(240 + 640 * 1.8, 190 * 1.8);
  await page.mouse.click(240 + 650 * 1.8, 194 * 1.8);  // back
  await until('the options closed in full screen', 30, async () => (await differing(optionsShot, await scaledBack())) > 20000);
  await altEnter();
  await until('the window again', 30, async () =>
    !(await page.evaluate(() => document.fullscreenElement)) && JSON.stringify(await canvasBox()) === JSON.stringify(windowed));
});
if (problems.length) await fail(problems.join('; '));
await finish(0);
