// The intro's page (make web: build-web/) in headless Chromium and Firefox.
//   node page_test.js CASE BROWSER SITE CAPTURE DECODE MODULE
// CASE: start | sound | boxes | network | file. BROWSER: chromium | firefox.
// SITE: the served folder; CAPTURE: the native ZENOrA_capture, whose frames
// are the reference; DECODE: music_decode, the library's own render of a
// module (MODULE: LIGHT.S3M).
'use strict';
const {execFileSync} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const {serve} = require('../../tools/web/serve.js');
const web = require('../../tools/web/browsers.js');

const [name, browserName, site, capture, decode, music] = process.argv.slice(2);
const WIDTH = 320;
const HEIGHT = 189;
const RATE = 44100;
const GLYPH = {x: 304, y: 8, size: 9};
const STALL_SECONDS = 15;
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
// What the case was doing, for its failure.
let doing = 'starting';
const step = (what) => {
  doing = what;
};

function check(ok, what) {
  if (!ok) throw new Error(what);
}

const ticks = (page) => page.evaluate(() => zenoraProbe.frames.filter(([, moved]) => moved).length);
const running = (page, more = 25, seconds = 30) =>
  ticks(page).then((n) => web.until(page, (n) => zenoraProbe.frames.filter(([, moved]) => moved).length >= n, seconds,
                                    n + more));

// The page served from SITE (how: files served otherwise, as serve() takes
// them), in a fresh browser; body gets {page, errors, server, browser}.
// Console errors fail the test but the browser's own line for a file that is
// not there, where none is.
async function withPage({autoplay = false, gesture = !autoplay, scale = 1, how = {}, recordAudio = 0, url = null},
                        body) {
  const server = await serve(site, how);
  const browser = await web.launch({browser: browserName, autoplay});
  try {
    const opened = await web.open(browser.browser, url || server.url,
                                  {scale, recordAudio, gesture, touch: browserName === 'chromium'});
    await body({...opened, server, browser: browser.browser});
    const expected = Object.values(how.replace || {}).includes(null) || how.stall;
    const errors = opened.errors.filter((e) => !(expected && /404|could not be loaded|stopped arriving/.test(e)));
    check(errors.length === 0, `console errors: ${errors.join(' | ')}`);
  } finally {
    await browser.close();
    await server.close();
  }
}

// The still parts of the window, with their RGB: every pixel but the boxes
// where the native capture shows anything move in 30 s (the logo on the
// picture, with a margin for angles not sampled; the stars and the info line
// in the strip).
async function stillParts() {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'zenora-frames-'));
  const instants = Array.from({length: 120}, (_, i) => 20 + 250 * i);
  execFileSync(capture, ['--out', folder, '--at', instants.join(',')], {stdio: 'ignore'});
  const frames = instants.map((ms) => path.join(folder, `frame-${ms}.png`));
  for (const how of ['min', 'max']) {
    execFileSync('convert', [...frames, '-evaluate-sequence', how, path.join(folder, `${how}.png`)]);
  }
  const moving = [[0, 128, 6], [128, HEIGHT, 0]].map(([top, bottom, margin]) => {
    const box = execFileSync('convert', [path.join(folder, 'min.png'), path.join(folder, 'max.png'), '-compose',
                                         'difference', '-composite', '-crop', `${WIDTH}x${bottom - top}+0+${top}`,
                                         '+repage', '-fill', 'white', '+opaque', 'black', '-format', '%@', 'info:'],
                             {encoding: 'utf8'});
    const [w, h, x, y] = box.match(/\d+/g).map(Number);
    return {x: x - margin, y: top + y - margin, right: x + w + margin, bottom: top + y + h + margin};
  });
  const reference = web.pngPixels(fs.readFileSync(frames[0])).rgb;
  fs.rmSync(folder, {recursive: true});
  const still = [];
  for (let p = 0; p < WIDTH * HEIGHT; ++p) {
    const [x, y] = [p % WIDTH, Math.floor(p / WIDTH)];
    if (moving.some((r) => x >= r.x && x < r.right && y >= r.y && y < r.bottom)) continue;
    still.push([p, reference.subarray(p * 3, p * 3 + 3)]);
  }
  check(still.length > WIDTH * HEIGHT * 0.6, `only ${still.length} still pixels`);
  return still;
}

// Device pixels of the window (at n to a frame pixel each way) unlike the still parts.
async function unlikeStill(page, still, n) {
  const shown = await web.windowPixels(page);
  check(shown.width === WIDTH * n && shown.height === HEIGHT * n, `the window shows ${shown.width} x ${shown.height}`);
  let unlike = 0;
  for (const [p, rgb] of still) {
    for (let i = 0; i < n * n; ++i) {
      const at = ((Math.floor(p / WIDTH) * n + Math.floor(i / n)) * shown.width + (p % WIDTH) * n + (i % n)) * 3;
      if (!shown.rgb.subarray(at, at + 3).equals(rgb)) ++unlike;
    }
  }
  return unlike;
}

// The window's place, its form pixels' size in CSS pixels.
async function frame(page) {
  const box = await web.windowBox(page);
  return {...box, unit: box.width / WIDTH, at: (x, y) => [box.x + (x + 0.5) * box.width / WIDTH,
                                                          box.y + (y + 0.5) * box.height / HEIGHT]};
}

const glyph = (page) => page.evaluate(({x, y, size}) =>
  Array.from(document.getElementById('window').getContext('2d').getImageData(x, y, size, size).data).join(), GLYPH);

// The glyph grey under the pointer (moved onto it), or white again.
async function hoverGlyph(page, white, grey) {
  if (grey) await page.mouse.move(...(await frame(page)).at(GLYPH.x + 4, GLYPH.y + 4));
  await web.until(page, (g, grey, {x, y, size}) => {
    const data = document.getElementById('window').getContext('2d').getImageData(x, y, size, size).data;
    return (Array.from(data).join() !== g) === grey;
  }, 10, white, grey, GLYPH);
}

// A drag with a button from form pixel (100, 50) by about (dx, dy) form
// pixels, at whole CSS pixels (as WebDriver's pointer goes): the window
// follows the pointer by the form pixels it crossed.
async function drag(page, button, dx, dy) {
  const from = await frame(page);
  const [x0, y0] = from.at(100, 50).map(Math.round);
  const [x1, y1] = from.at(100 + dx, 50 + dy).map(Math.round);
  const crossed = (a, b) => (Math.floor(b / from.unit) - Math.floor(a / from.unit)) * from.unit;
  await page.mouse.move(x0, y0);
  await page.mouse.down({button});
  await page.mouse.move(x1, y1, {steps: 6});
  await page.mouse.up({button});
  await web.until(page, (x, y) => {
    const r = document.getElementById('window').getBoundingClientRect();
    return Math.abs(r.x - x) < 0.05 && Math.abs(r.y - y) < 0.05;  // layout rounds to 1/64 px
  }, 10, from.x + crossed(x0, x1), from.y + crossed(y0, y1));
}

// Whether the close glyph lies wholly on the page (in the page).
function glyphOnPage({x, y, size}) {
  const r = document.getElementById('window').getBoundingClientRect();
  const unit = r.width / 320;
  return r.x + x * unit >= 0 && r.y + y * unit >= 0 && r.x + (x + size) * unit <= innerWidth &&
         r.y + (y + size) * unit <= innerHeight;
}

async function closeByGlyph(page, white, tap = false) {
  await hoverGlyph(page, white, !tap);
  const at = (await frame(page)).at(GLYPH.x + 4, GLYPH.y + 4);
  await (tap ? page.touchscreen.tap(...at) : page.mouse.click(...at));
  await web.until(page, () => !document.getElementById('window') && zenora.status === 0);
}

// The page's samples where they reach the device against the library's
// render (DECODE of module, for seconds), from the first one heard.
async function samplesMatch(page, module, seconds) {
  await web.until(page, (n) => zenoraProbe.audioFrames >= n, 60, seconds * RATE);
  const reference = execFileSync(decode, [module, String((seconds + 1) * RATE)], {maxBuffer: 1 << 26});
  const expected = new Int16Array(reference.buffer, reference.byteOffset, reference.length / 2);
  const heard = Int16Array.from(await page.evaluate(() => {
    const [left, right] = zenoraProbe.audio.map((buffers) => buffers.flatMap((b) => Array.from(b)));
    return left.flatMap((l, i) => [Math.round(l * 32768), Math.round(right[i] * 32768)]);
  }));
  const first = (samples) => samples.findIndex((s) => s !== 0);
  const lead = first(expected) < 0 ? 0 : first(heard) - first(expected);
  check(lead >= 0 && lead % 2 === 0, `the music starts ${lead / 2} frames early`);
  const compared = heard.length - lead;
  check(compared >= (seconds - 2) * RATE * 2, `only ${compared / 2} frames heard`);
  for (let i = 0; i < compared; ++i) {
    check(heard[lead + i] === expected[i], `sample ${i} is ${heard[lead + i]}, the library renders ${expected[i]}`);
  }
}

async function boxes(page, texts) {
  for (const text of texts) {
    await web.until(page, (t) => document.querySelector('#box[open] .text')?.textContent === t, 30, text);
    const shown = await page.evaluate(() => {
      const box = document.getElementById('box');
      return [document.getElementById(box.getAttribute('aria-labelledby')).textContent,
              box.querySelector('.text').textContent, box.querySelector('button').textContent];
    });
    check(shown.join('|') === `Error|${text}|OK`, `box ${JSON.stringify(shown)}`);
    const frames = await page.evaluate(() => zenoraProbe.frames.length);
    await sleep(300);
    check(await page.evaluate(() => zenoraProbe.frames.length) === frames, 'the intro ran on under its box');
    await page.click('#box button');
  }
}

const cases = {
  // Where the browser wants a gesture: the window asks for it and is alive
  // meanwhile (the glyph greys, a drag moves it and starts nothing); a key
  // starts it; then the frames, drags with each button, the close, a second
  // run that asks nothing, a zoom to 150 % and 200 %, a tap on the glyph; and
  // the glyph closing the window that asks.
  async start() {
    await withPage({}, async ({page}) => {
      await web.until(page, () => zenoraProbe.firstFrame !== null);
      check(await page.title() === ':: ZENOrA ::', `title ${await page.title()}`);
      const canvas = await page.evaluate(() => ['role', 'aria-label', 'tabindex'].map((a) =>
        document.getElementById('window').getAttribute(a)).join('|'));
      check(canvas === 'application|:: ZENOrA :: intro|0', `the window is ${canvas}`);
      check(/press Enter or Space/.test(await page.$eval('#progress', (e) => e.textContent)), 'no words for the start');
      step('on the start screen');
      await page.keyboard.press('Tab');
      check(await page.evaluate(() => document.activeElement.id) === 'window', 'Tab does not reach the window');
      const white = await glyph(page);
      await hoverGlyph(page, white, true);
      await drag(page, 'left', 30, 10);
      await sleep(300);
      check(await ticks(page) === 0, 'the intro started on a drag');
      step('started by Enter');
      await page.keyboard.press('Enter');
      await running(page);
      check(await unlikeStill(page, await stillParts(), 1) === 0, 'the window differs from the capture');
      await page.evaluate(() => {
        window.menus = [];
        window.addEventListener('contextmenu', (e) => menus.push(e.defaultPrevented));
      });
      step('dragging');
      for (const button of ['left', 'middle', 'right']) await drag(page, button, 30, 10);
      check((await page.evaluate(() => menus)).every((prevented) => prevented), 'a context menu over the window');
      step('closing');
      await closeByGlyph(page, white);
      check(await page.evaluate(() => document.activeElement.textContent) === 'Run the intro again', 'focus after close');
      step('running again');
      await page.click('#again button');
      await running(page);
      for (const scale of [1.5, 2]) {
        step(`zoomed to ${scale * 100} %`);
        // As the browser zooms: more device pixels to a CSS pixel, fewer CSS pixels on the page.
        await page.setViewport({width: Math.round(800 / scale), height: Math.round(600 / scale), deviceScaleFactor: scale,
                                hasTouch: browserName === 'chromium'});
        await web.until(page, (w) => Math.abs(document.getElementById("window").getBoundingClientRect().width - w) < 0.05,
                        10, WIDTH * Math.floor(scale) / scale);
        await drag(page, 'left', -20, 10);
        await hoverGlyph(page, white, true);
        await page.mouse.move(...(await frame(page)).at(100, 50));
        await hoverGlyph(page, white, false);
      }
      const at = await frame(page);  // all of it on the page, for its picture
      await drag(page, 'left', Math.round(10 - at.x / at.unit), Math.round(10 - at.y / at.unit));
      check(await unlikeStill(page, await stillParts(), 2) === 0, 'the window at 200 % differs from the capture');
      step('dragged to the page\'s corners, on a page turned to portrait and shrunk');
      for (const [[x, y], corner] of [[[100, 50], [1, 1]], [[300, 20], [0, 0]]]) {
        await page.mouse.move(...(await frame(page)).at(x, y));
        await page.mouse.down();
        const [width, height] = await page.evaluate(() => [innerWidth, innerHeight]);
        await page.mouse.move(corner[0] * (width - 1), corner[1] * (height - 1), {steps: 4});
        await page.mouse.up();
        await web.until(page, glyphOnPage, 10, GLYPH);
      }
      await page.setViewport({width: 180, height: 360, deviceScaleFactor: 2, hasTouch: browserName === 'chromium'});
      await web.until(page, glyphOnPage, 10, GLYPH);
      step('closing by a tap');
      // Firefox's WebDriver BiDi in this puppeteer has no touch input: the tap is Chromium's.
      await closeByGlyph(page, white, browserName === 'chromium');
      step('closing from the start screen');
      await page.reload();
      await web.until(page, () => zenoraProbe.firstFrame !== null);
      await closeByGlyph(page, white);
      check(await ticks(page) === 0, 'the intro started on a click on its glyph');
    });
  },

  // Where sound may start without a gesture, the intro starts without one
  // (Firefox's output runs only a moment after the page asked for it); 50
  // ticks a second; and with the page's thread busy for 50 ms of every 250
  // ms, the sound reaching the device is the library's own render, sample for
  // sample, with no gap.
  async sound() {
    const seconds = 10;
    await withPage({autoplay: true, recordAudio: seconds * RATE}, async ({page}) => {
      await running(page, 25, 10);
      await page.evaluate(() => setInterval(() => {
        for (const end = performance.now() + 50; performance.now() < end;);
      }, 250));
      const start = await ticks(page);
      await sleep(3000);
      const rate = (await ticks(page) - start) / 3;
      check(rate > 30 && rate < 56, `${rate} ticks a second`);
      check(await page.evaluate(() => zenora.audio.sampleRate) === RATE, 'the page resamples the music');
      await samplesMatch(page, music, seconds);
    });
  },

  // A missing or damaged music file: the two boxes, each waited on while it
  // is up, and the intro runs on. One cut to a quarter loads, as on the
  // desktop, and sounds as the library renders it there.
  async boxes() {
    const whole = fs.readFileSync(path.join(site, 'LIGHT.S3M'));
    const quarter = path.join(os.tmpdir(), `zenora-quarter-${process.pid}.s3m`);
    fs.writeFileSync(quarter, whole.subarray(0, whole.length / 4));
    try {
      for (const [file, code] of [[null, "2\nCan't Open the File"], [Buffer.from('not a module'), '6\nUnsupported Format']]) {
        await withPage({autoplay: true, how: {replace: {'LIGHT.S3M': file}}}, async ({page}) => {
          await boxes(page, [`Can't Load Music\n\nError Code : ${code}`, "Can't play music\n\nError Code : 5\nInvalid Handle"]);
          await running(page);
          check(!(await page.evaluate(() => document.getElementById('box').open)), 'a third box');
        });
      }
      await withPage({autoplay: true, recordAudio: 3 * RATE, how: {replace: {'LIGHT.S3M': fs.readFileSync(quarter)}}},
                     async ({page}) => {
                       await running(page);
                       check(!(await page.evaluate(() => document.getElementById('box').open)), 'a box');
                       await samplesMatch(page, quarter, 3);
                     });
    } finally {
      fs.rmSync(quarter);
    }
  },

  // Slow, stalled and failing downloads: the page says how far it got, then
  // what failed in plain words with a reload; the music holds nothing back
  // for long; a program served with another type is fetched once.
  async network() {
    const words = (page) => page.evaluate(() => !document.getElementById('note').hidden &&
      document.querySelector('#note .text').textContent + '|' + document.querySelector('#note button').textContent);
    const failsWith = async (how, text, seconds = 10) => withPage({how}, async ({page}) => {
      await web.until(page, () => !document.getElementById('note').hidden, seconds);
      check(await words(page) === `${text}|Reload the page`, `the page says ${await words(page)}`);
      check(await page.evaluate(() => document.getElementById('again').hidden), 'a run that would fail again');
    });
    step('without the program');
    await failsWith({replace: {'ZENOrA_intro.wasm': null}},
                    'ZENOrA_intro.wasm could not be loaded: the server answered 404 Not Found.');
    step('without its script');
    await failsWith({replace: {'ZENOrA_intro.js': null}},
                    'ZENOrA_intro.js could not be loaded: the server answered 404 Not Found.');
    if (browserName === 'chromium') {  // WebDriver BiDi in this puppeteer cannot switch scripts off
      step('with scripts off');
      await withPage({}, async ({page}) => {
        await page.setJavaScriptEnabled(false);
        await page.reload();
        check(/needs JavaScript/.test(await page.evaluate(() => document.body.innerText)), 'no words without scripts');
      });
    }
    step('without the page\'s script');
    await failsWith({replace: {'page.js': null}}, 'The intro could not start: its script page.js could not be loaded.');
    step('with the program stalled');
    await failsWith({stall: ['ZENOrA_intro.wasm']},
                    `ZENOrA_intro.wasm stopped arriving: nothing came for ${STALL_SECONDS} seconds.`, STALL_SECONDS + 10);
    step('on a slow line, the music stalled, the program of another type');
    await withPage({autoplay: true, how: {rate: {'ZENOrA_intro.wasm': 400 * 1024}, stall: ['LIGHT.S3M'],
                                          type: {'ZENOrA_intro.wasm': 'application/octet-stream'}}},
                   async ({page, server}) => {
                     await web.until(page, () => /ZENOrA_intro\.wasm [\d,]+ of [\d,]+ KB/.test(
                       document.getElementById('progress').textContent), 3);
                     await boxes(page, ["Can't Load Music\n\nError Code : 2\nCan't Open the File",
                                        "Can't play music\n\nError Code : 5\nInvalid Handle"]);
                     await running(page);
                     check(server.requests.get('ZENOrA_intro.wasm') === 1, 'the program fetched more than once');
                   });
  },

  // The page as one file, opened from disk: the intro runs, with its sound.
  async file() {
    const url = `file://${path.resolve(site, 'ZENOrA_intro.html')}`;
    console.log(`ZENOrA_intro.html: ${Math.round(fs.statSync(path.join(site, 'ZENOrA_intro.html')).size / 1024)} KB`);
    await withPage({autoplay: true, recordAudio: 2 * RATE, url}, async ({page}) => {
      await running(page);
      await samplesMatch(page, music, 2);
    });
  },
};

if (!cases[name] || !['chromium', 'firefox'].includes(browserName) || !site) {
  console.error(`usage: page_test.js ${Object.keys(cases).join('|')} chromium|firefox SITE CAPTURE DECODE MODULE`);
  process.exit(2);
}
if (!fs.existsSync(path.join(site, 'index.html'))) {
  console.error(`FAIL page ${name}: no page in ${site} (make web builds it)`);
  process.exit(1);
}
cases[name]().then(() => console.log(`page ${name} in ${browserName}: as expected`), (error) => {
  console.error(`FAIL page ${name} in ${browserName}, ${doing}: ${error.message}`);
  process.exit(1);
});
