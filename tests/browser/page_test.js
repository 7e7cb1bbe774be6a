// The intro's page (make web: build-web/) in headless Chromium.
//   node page_test.js CASE SITE CAPTURE DECODE MODULE
// CASE: start | autostart | boxes. SITE: the served folder;
// CAPTURE: the native ZENOrA_capture, whose frames are the reference;
// DECODE: music_decode, the library's own render of MODULE (LIGHT.S3M).
'use strict';
const {execFileSync} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const {serve} = require('../../tools/web/serve.js');
const web = require('../../tools/web/chromium.js');

const [name, site, capture, decode, music] = process.argv.slice(2);
const WIDTH = 320;
const HEIGHT = 189;
const RATE = 44100;
const GLYPH = {x: 304, y: 8, size: 9};
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function check(ok, what) {
  if (!ok) throw new Error(what);
}

const ticks = (page) => page.evaluate(() => zenoraProbe.frames.filter(([, moved]) => moved).length);

// The page served from SITE (replace: files served otherwise), in a fresh
// Chromium; body gets {page, errors, url}. Console errors fail the test but
// the browser's own line for a file that is not there, where none is.
async function withPage({autoplay = false, scale = 1, replace = {}, recordAudio = 0}, body) {
  const server = await serve(site, {replace});
  const chromium = await web.launch({autoplay});
  try {
    const opened = await web.open(chromium.browser, server.url, {scale, recordAudio, gesture: !autoplay});
    await body({...opened, url: server.url});
    const missing = Object.values(replace).includes(null);
    const errors = opened.errors.filter((e) => !(missing && e.includes('status of 404')));
    check(errors.length === 0, `console errors: ${errors.join(' | ')}`);
  } finally {
    await chromium.close();
    await server.close();
  }
}

// The still parts of the window, with their RGB: every pixel but the boxes
// where the native capture shows anything move in 30 s (the logo on the
// picture, with a margin for angles not sampled; the stars and the info line
// in the strip).
async function stillParts(page) {
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
  const reference = (await web.pngPixels(page, frames[0])).rgb;
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

// Pixels of the canvas (at n canvas pixels to a frame pixel) unlike the still
// parts; every block of n x n must be one colour.
async function unlikeStill(page, still, n = 1) {
  const canvas = await web.canvasPixels(page);
  check(canvas.width === WIDTH * n && canvas.height === HEIGHT * n, `canvas ${canvas.width} x ${canvas.height}`);
  let unlike = 0;
  for (const [p, rgb] of still) {
    const x = p % WIDTH;
    const y = Math.floor(p / WIDTH);
    for (let i = 0; i < n * n; ++i) {
      const at = ((y * n + Math.floor(i / n)) * canvas.width + x * n + (i % n)) * 3;
      if (!canvas.rgb.subarray(at, at + 3).equals(rgb)) ++unlike;
    }
  }
  return unlike;
}

// The close glyph's pixels on the canvas as a string.
function glyph(page) {
  return page.evaluate(({x, y, size}) => {
    const data = document.getElementById('window').getContext('2d').getImageData(x, y, size, size).data;
    return Array.from(data).join();
  }, GLYPH);
}

// Waits for the glyph to be white (the normal one) or not; unless white, the
// pointer goes onto it first.
async function hover(page, box, white, isWhite) {
  if (!isWhite) await page.mouse.move(box.x + GLYPH.x + 4, box.y + GLYPH.y + 4);
  await web.until(page, (g, isWhite, {x, y, size}) => {
    const data = document.getElementById('window').getContext('2d').getImageData(x, y, size, size).data;
    return (Array.from(data).join() === g) === isWhite;
  }, 10, white, isWhite, GLYPH);
}

const cases = {
  // Where the browser wants a click: the window asks for it and the start-up
  // waits; then the frames, the hover, drags with each button, the close and
  // a second run.
  async start() {
    await withPage({}, async ({page}) => {
      await web.until(page, () => zenoraProbe.firstFrame !== null);
      check(await page.title() === ':: ZENOrA ::', `title ${await page.title()}`);
      const icon = await page.evaluate(async () => (await fetch('favicon.ico')).headers.get('content-type'));
      check(icon === 'image/vnd.microsoft.icon', `favicon served as ${icon}`);
      await sleep(500);
      // The window, then the same with its line: nothing more until the click.
      check(await page.evaluate(() => zenoraProbe.frames.length) === 2, 'the intro ran before the click');
      const box = await web.windowBox(page);
      await page.mouse.click(box.x + 100, box.y + 50);
      await web.until(page, () => zenoraProbe.frames.filter(([, moved]) => moved).length >= 25);
      const still = await stillParts(page);
      check(await unlikeStill(page, still) === 0, 'the canvas differs from the capture in its still parts');

      // The glyph greys under the pointer, and is white again over the picture.
      const white = await glyph(page);
      await hover(page, box, white, false);
      await page.mouse.move(box.x + 100, box.y + 50);
      await hover(page, box, white, true);

      // Any button drags the window by the pointer's travel, and no context menu opens.
      await page.evaluate(() => {
        window.menus = [];
        window.addEventListener('contextmenu', (e) => menus.push(e.defaultPrevented));
      });
      for (const button of ['left', 'middle', 'right']) {
        const from = await web.windowBox(page);
        await page.mouse.move(from.x + 100, from.y + 50);
        await page.mouse.down({button});
        await page.mouse.move(from.x + 130, from.y + 60, {steps: 6});
        await page.mouse.up({button});
        await web.until(page, (x, y) => {
          const r = document.getElementById('window').getBoundingClientRect();
          return r.x === x && r.y === y;
        }, 10, from.x + 30, from.y + 10);
      }
      check((await page.evaluate(() => menus)).every((prevented) => prevented), 'a context menu over the window');

      // The glyph closes: the music stops, the window goes, the page offers a second run.
      const at = await web.windowBox(page);
      await page.evaluate(() => {
        window.sound = zenora.audio;
      });
      await hover(page, at, white, false);
      await page.mouse.click(at.x + GLYPH.x + 4, at.y + GLYPH.y + 4);
      await web.until(page, () => !document.getElementById('window') && !document.getElementById('again').hidden);
      check(await page.evaluate(() => zenora.status === 0 && sound.state === 'closed'), 'sound still open, or status');
      // The click on "run again" lets sound start: no second click is asked for.
      const before = await ticks(page);
      await page.click('#again button');
      await web.until(page, (n) => zenoraProbe.frames.filter(([, moved]) => moved).length > n + 25, 30, before);
    });
  },

  // Where sound may start at once, the intro starts at once, here on a 2x
  // screen: every frame pixel a 2 x 2 block of device pixels, TimerStars at
  // 50 ticks a second (counted over three seconds), and the samples the page
  // hands to Web Audio the library's own render of the music.
  async autostart() {
    const seconds = 3;
    const reference = execFileSync(decode, [music, String((seconds + 1) * RATE)], {maxBuffer: 1 << 26});
    const expected = new Int16Array(reference.buffer, reference.byteOffset, reference.length / 2);
    await withPage({autoplay: true, scale: 2, recordAudio: seconds * RATE}, async ({page}) => {
      await web.until(page, () => zenoraProbe.frames.filter(([, moved]) => moved).length >= 10);
      const box = await web.windowBox(page);
      check(box.width === WIDTH && box.height === HEIGHT, `the window is ${box.width} x ${box.height} CSS pixels`);
      check(await unlikeStill(page, await stillParts(page), 2) === 0, 'the 2x canvas differs from the capture');
      const start = await ticks(page);
      await sleep(3000);
      const rate = (await ticks(page) - start) / 3;
      check(rate > 40 && rate < 56, `${rate} ticks a second`);

      await web.until(page, (n) => zenoraProbe.audioFrames >= n, 60, seconds * RATE);
      check(await page.evaluate(() => zenora.audio.sampleRate) === RATE, 'the page resamples the music');
      const heard = Int16Array.from(await page.evaluate(() => {
        const [left, right] = zenoraProbe.audio.map((buffers) => buffers.flatMap((b) => Array.from(b)));
        return left.flatMap((l, i) => [Math.round(l * 32768), Math.round(right[i] * 32768)]);
      }));
      // Buffers the page filled before the music played are silent.
      const first = (samples) => samples.findIndex((s) => s !== 0);
      const lead = first(heard) - first(expected);
      check(lead >= 0 && lead % 2 === 0, `the music starts ${lead / 2} frames early`);
      const compared = heard.length - lead;
      check(compared >= (seconds - 1) * RATE * 2, `only ${compared / 2} frames heard`);
      for (let i = 0; i < compared; ++i) {
        check(heard[lead + i] === expected[i], `sample ${i} is ${heard[lead + i]}, the library renders ${expected[i]}`);
      }
    });
  },

  // A missing or damaged music file: the two boxes, each waited on while it
  // is up, and the intro runs on.
  async boxes() {
    const damaged = Buffer.from('not a module at all');
    for (const [file, code] of [[null, "2\nCan't Open the File"], [damaged, '6\nUnsupported Format']]) {
      await withPage({autoplay: true, replace: {'LIGHT.S3M': file}}, async ({page}) => {
        for (const text of [`Can't Load Music\n\nError Code : ${code}`, "Can't play music\n\nError Code : 5\nInvalid Handle"]) {
          await web.until(page, (t) => document.querySelector('#box[open] .text')?.textContent === t, 30, text);
          const shown = await page.evaluate(() => {
            const box = document.getElementById('box');
            return [box.querySelector('.title').textContent, box.querySelector('.text').textContent,
                    box.querySelector('button').textContent];
          });
          check(shown.join('|') === `Error|${text}|OK`, `box ${JSON.stringify(shown)}`);
          const frames = await page.evaluate(() => zenoraProbe.frames.length);
          await sleep(300);
          check(await page.evaluate(() => zenoraProbe.frames.length) === frames, 'the intro ran on under its box');
          await page.click('#box button');
        }
        await web.until(page, () => zenoraProbe.frames.filter(([, moved]) => moved).length >= 25);
        check(!(await page.evaluate(() => document.getElementById('box').open)), 'a third box');
      });
    }
  },

};

if (!cases[name] || !site) {
  console.error(`usage: page_test.js ${Object.keys(cases).join('|')} SITE CAPTURE DECODE MODULE`);
  process.exit(2);
}
if (!fs.existsSync(path.join(site, 'index.html'))) {
  console.error(`FAIL page ${name}: no page in ${site} (make web builds it)`);
  process.exit(1);
}
cases[name]().then(() => console.log(`page ${name}: as expected`), (error) => {
  console.error(`FAIL page ${name}: ${error.message}`);
  process.exit(1);
});
