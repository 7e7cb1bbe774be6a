// The intro's page in Debian's Chromium, headless, driven by puppeteer-core
// (from the npm registry, pinned by tools/web/package-lock.json and found
// through NODE_PATH): what the browser tests and the web benchmark share.
//
// The page is opened with probes that watch and change nothing:
//  - each frame the program presents: when, and whether a star moved (only
//    TimerStars moves stars, and the loop presents once after each of its
//    ticks, so those frames are the ticks as the page shows them);
//  - the samples handed to Web Audio (each buffer SDL's audio fills);
//  - console errors and uncaught errors.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const CHROMIUM = '/usr/bin/chromium';
// The machine's network is closed, and the tests must not depend on it.
const FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
               '--disable-component-update', '--disable-sync'];

// The rows of the form's star strip (imgStars' inside) where only stars
// move: above and below the info line, whose fades change it between ticks.
const STAR_ROWS = [[140, 150], [159, 173]];

// Runs in the page before any of its scripts.
function probe(starRows, recordAudio) {
  const watch = {frames: [], firstFrame: null, audio: [[], []], audioFrames: 0, recordAudio};
  window.zenoraProbe = watch;
  let lastStrip = '';
  // page.js makes its Page as window.zenora: watch its present().
  Object.defineProperty(window, 'zenora', {
    configurable: true,
    set(page) {
      const present = page.present;
      page.present = function (image, areas) {
        const now = performance.now();
        if (watch.firstFrame === null) watch.firstFrame = now;
        const scale = image.width / 320;
        const row = image.width * 4;
        let hash = 0;
        for (const [from, to] of starRows) {
          const rows = image.data.subarray(from * scale * row, to * scale * row);
          for (let i = 0; i < rows.length; i += 4) hash = (hash * 31 + rows[i] + rows[i + 1] * 7) | 0;
        }
        watch.frames.push([now, String(hash) !== lastStrip]);
        lastStrip = String(hash);
        return present.call(this, image, areas);
      };
      Object.defineProperty(window, 'zenora', {value: page, writable: true, configurable: true});
    },
  });
  // SDL's audio sets onaudioprocess on its ScriptProcessorNode: each buffer,
  // once filled, is copied while recordAudio frames are wanted.
  const handler = Object.getOwnPropertyDescriptor(ScriptProcessorNode.prototype, 'onaudioprocess');
  const create = AudioContext.prototype.createScriptProcessor;
  AudioContext.prototype.createScriptProcessor = function (...args) {
    const node = create.apply(this, args);
    Object.defineProperty(node, 'onaudioprocess', {
      configurable: true,
      get: () => handler.get.call(node),
      set: (fill) => handler.set.call(node, fill && ((e) => {
        fill(e);
        if (watch.audioFrames >= watch.recordAudio) return;
        for (let c = 0; c < 2; ++c) watch.audio[c].push(Float32Array.from(e.outputBuffer.getChannelData(c)));
        watch.audioFrames += e.outputBuffer.length;
      })),
    });
    return node;
  };
}

// Starts Chromium on a profile of its own; autoplay: sound may start without
// a click. close() ends it and removes the profile.
async function launch({autoplay = false} = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'zenora-chromium-'));
  const args = [...FLAGS, `--user-data-dir=${profile}`];
  if (autoplay) args.push('--autoplay-policy=no-user-gesture-required');
  const browser = await puppeteer.launch({executablePath: CHROMIUM, headless: true, args, timeout: 60000});
  return {
    browser,
    close: async () => {
      await browser.close();
      fs.rmSync(profile, {recursive: true, force: true});
    },
  };
}

// Sound held until a click, as a browser that wants one holds it: Chromium's
// own policy lets a context start without one now and then on a busy machine
// (it reports the page as clicked when nothing clicked).
function holdSoundUntilClick() {
  let clicked = false;
  window.addEventListener('click', (e) => { clicked ||= e.isTrusted; }, true);
  const Native = window.AudioContext;
  window.AudioContext = class extends Native {
    constructor(...args) {
      super(...args);
      this.held = !clicked;
      if (this.held) super.suspend();
    }
    get state() {
      return this.held ? 'suspended' : super.state;
    }
    resume() {
      if (!clicked) return Promise.reject(new DOMException('no click yet'));
      this.held = false;
      return super.resume();
    }
  };
}

// Opens the page at url in a new tab with the probes; scale: devicePixelRatio;
// recordAudio: how many sample frames of sound to keep from the start;
// gesture: sound starts only after a click.
async function open(browser, url, {scale = 1, recordAudio = 0, gesture = false} = {}) {
  const page = await browser.newPage();
  const errors = [];
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
  page.on('pageerror', (error) => errors.push(error.message));
  await page.setViewport({width: 800, height: 600, deviceScaleFactor: scale});
  await page.evaluateOnNewDocument(probe, STAR_ROWS, recordAudio);
  if (gesture) await page.evaluateOnNewDocument(holdSoundUntilClick);
  await page.goto(url, {waitUntil: 'load'});
  return {page, errors};
}

// Waits until test() is true in the page, for at most seconds.
async function until(page, test, seconds = 30, ...args) {
  await page.waitForFunction(test, {timeout: seconds * 1000, polling: 50}, ...args);
}

// The window's canvas as RGB rows: {width, height, rgb: Buffer}.
async function canvasPixels(page) {
  const {width, height, data} = await page.evaluate(() => {
    const canvas = document.getElementById('window');
    const image = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
    return {width: image.width, height: image.height, data: Array.from(image.data)};
  });
  return {width, height, rgb: rgbOf(data)};
}

// A PNG file's pixels as the browser decodes them, as RGB rows.
async function pngPixels(page, file) {
  const {width, height, data} = await page.evaluate(async (base64) => {
    const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
    const bitmap = await createImageBitmap(new Blob([bytes], {type: 'image/png'}), {colorSpaceConversion: 'none'});
    const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
    const context = canvas.getContext('2d');
    context.drawImage(bitmap, 0, 0);
    const image = context.getImageData(0, 0, bitmap.width, bitmap.height);
    return {width: image.width, height: image.height, data: Array.from(image.data)};
  }, fs.readFileSync(file).toString('base64'));
  return {width, height, rgb: rgbOf(data)};
}

function rgbOf(rgba) {
  const rgb = Buffer.alloc(rgba.length / 4 * 3);
  for (let i = 0, j = 0; i < rgba.length; i += 4, j += 3) rgb.set([rgba[i], rgba[i + 1], rgba[i + 2]], j);
  return rgb;
}

// The window's place on the page in CSS pixels: {x, y, width, height}, or null.
function windowBox(page) {
  return page.evaluate(() => {
    const canvas = document.getElementById('window');
    if (!canvas) return null;
    const r = canvas.getBoundingClientRect();
    return {x: r.x, y: r.y, width: r.width, height: r.height};
  });
}

module.exports = {launch, open, until, canvasPixels, pngPixels, windowBox};
