// The intro's page in Debian's Chromium and Firefox ESR, headless, driven by
// puppeteer-core (from the npm registry, pinned by tools/web/package-lock.json
// and found through NODE_PATH; Firefox through WebDriver BiDi): what the
// browser tests and the web benchmark share.
//
// The page is opened with probes that watch and change nothing:
//  - each frame the program presents: when, and whether a star moved (only
//    TimerStars moves stars, and the loop presents once after each of its
//    ticks, so those frames are the ticks as the page shows them);
//  - the sound where it reaches the device: whatever the page connects to
//    its output goes through a recorder of ours first (an AudioWorklet, off
//    the page's thread), which keeps recordAudio frames of it;
//  - console errors and uncaught errors.
'use strict';
const {execFileSync, spawn} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const BROWSERS = {chromium: '/usr/bin/chromium', firefox: '/usr/bin/firefox-esr'};
// The machine's network is closed, and the tests must not depend on it.
const CHROMIUM_FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
                        '--disable-background-networking', '--disable-component-update', '--disable-sync'];
const FIREFOX_PREFS = {'network.connectivity-service.enabled': false, 'app.update.enabled': false,
                       'browser.safebrowsing.downloads.remote.enabled': false, 'datareporting.policy.dataSubmissionEnabled': false};

// The rows of the form's star strip (imgStars' inside) where only stars
// move: above and below the info line, whose fades change it between ticks.
const STAR_ROWS = [[140, 150], [159, 173]];

// Runs in the page before any of its scripts.
function probe(starRows, recordAudio) {
  const watch = {frames: [], firstFrame: null, audio: [[], []], audioFrames: 0, recordAudio};
  window.zenoraProbe = watch;
  let lastStrip = null;  // no frame yet: the first is no tick
  // page.js makes its Page as window.zenora: watch its present().
  Object.defineProperty(window, 'zenora', {
    configurable: true,
    set(page) {
      const present = page.present;
      page.present = function (image, areas) {
        const now = performance.now();
        if (watch.firstFrame === null) watch.firstFrame = now;
        const row = image.width * 4;
        let hash = 0;
        for (const [from, to] of starRows) {
          const rows = image.data.subarray(from * row, to * row);
          for (let i = 0; i < rows.length; i += 4) hash = (hash * 31 + rows[i] + rows[i + 1] * 7) | 0;
        }
        watch.frames.push([now, lastStrip !== null && hash !== lastStrip]);
        lastStrip = hash;
        return present.call(this, image, areas);
      };
      Object.defineProperty(window, 'zenora', {value: page, writable: true, configurable: true});
    },
  });
  if (!recordAudio || !window.AudioWorklet) return;
  // The recorder: its input to its output unchanged, and a copy of it to the page.
  const recorder = `registerProcessor('zenora-recorder', class extends AudioWorkletProcessor {
    process([input], [output]) {
      const left = input[0] || new Float32Array(128);
      const right = input[1] || left;
      output[0].set(left);
      output[1].set(right);
      this.port.postMessage([left.slice(), right.slice()]);
      return true;
    }
  });`;
  const addModule = AudioWorklet.prototype.addModule;
  AudioWorklet.prototype.addModule = async function (...args) {
    this.zenoraRecorder ||= addModule.call(this, 'data:text/javascript,' + encodeURIComponent(recorder));
    await this.zenoraRecorder;
    return addModule.apply(this, args);
  };
  const connect = AudioNode.prototype.connect;
  AudioNode.prototype.connect = function (target, ...rest) {
    if (!(target instanceof AudioDestinationNode) || this.zenoraRecords) return connect.call(this, target, ...rest);
    const node = new AudioWorkletNode(this.context, 'zenora-recorder', {outputChannelCount: [2]});
    node.zenoraRecords = true;
    node.port.onmessage = ({data: [left, right]}) => {
      if (watch.audioFrames >= watch.recordAudio) return;
      watch.audio[0].push(left);
      watch.audio[1].push(right);
      watch.audioFrames += left.length;
    };
    connect.call(node, target);
    return connect.call(this, node);
  };
}

// A PulseAudio of its own with a null sink, for Firefox, whose Web Audio runs
// only with an output; {env, stop}.
async function soundServer() {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'zenora-pulse-'));
  fs.mkdirSync(path.join(home, 'run'), {mode: 0o700});
  const env = {...process.env, HOME: home, XDG_RUNTIME_DIR: path.join(home, 'run')};
  const server = spawn('pulseaudio', ['-n', '--daemonize=no', '--exit-idle-time=-1', '--use-pid-file=no',
                                      '-L', 'module-native-protocol-unix auth-anonymous=1',
                                      '-L', 'module-null-sink sink_name=zenora'], {env, stdio: 'ignore'});
  const socket = path.join(home, 'run', 'pulse', 'native');
  for (let i = 0; i < 100 && !fs.existsSync(socket); ++i) await new Promise((resolve) => setTimeout(resolve, 100));
  const stop = () => {
    server.kill();
    fs.rmSync(home, {recursive: true, force: true});
  };
  if (!fs.existsSync(socket)) {
    stop();
    throw new Error('PulseAudio did not start within 10 s');
  }
  return {env: {...env, PULSE_SERVER: `unix:${socket}`}, stop};
}

// Starts the browser (chromium or firefox) on a profile of its own;
// autoplay: sound may start without a click. close() ends it and removes the
// profile.
async function launch({browser: name = 'chromium', autoplay = false} = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), `zenora-${name}-`));
  let sound = null;
  let browser;
  if (name === 'firefox') {
    sound = await soundServer();
    const prefs = {...FIREFOX_PREFS, ...(autoplay ? {'media.autoplay.default': 0} : {})};
    browser = await puppeteer.launch({browser: 'firefox', executablePath: BROWSERS.firefox, headless: true,
                                      userDataDir: profile, extraPrefsFirefox: prefs, env: sound.env, timeout: 60000});
  } else {
    const args = [...CHROMIUM_FLAGS, `--user-data-dir=${profile}`];
    if (autoplay) args.push('--autoplay-policy=no-user-gesture-required');
    browser = await puppeteer.launch({executablePath: BROWSERS.chromium, headless: true, args, timeout: 60000});
  }
  return {
    browser,
    close: async () => {
      await browser.close();
      if (sound) sound.stop();
      fs.rmSync(profile, {recursive: true, force: true});
    },
  };
}

// Sound held until a gesture, as a browser that wants one holds it: Chromium's
// own policy lets a context start without one now and then on a busy machine
// (it reports the page as clicked when nothing clicked).
function holdSoundUntilGesture() {
  let gesture = false;
  for (const type of ['pointerdown', 'keydown', 'click']) {
    window.addEventListener(type, (e) => { gesture ||= e.isTrusted; }, true);
  }
  const Native = window.AudioContext;
  window.AudioContext = class extends Native {
    constructor(...args) {
      super(...args);
      this.held = !gesture;
      if (this.held) super.suspend();
    }
    get state() {
      return this.held ? 'suspended' : super.state;
    }
    resume() {
      if (!gesture) return Promise.reject(new DOMException('no gesture yet'));
      this.held = false;
      return super.resume();
    }
  };
}

// Opens the page at url in a new tab with the probes; scale: devicePixelRatio;
// recordAudio: how many sample frames of sound to keep from the start;
// gesture: sound starts only after a click or a key.
async function open(browser, url, {scale = 1, recordAudio = 0, gesture = false, touch = false} = {}) {
  const page = await browser.newPage();
  const errors = [];
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
  page.on('pageerror', (error) => errors.push(error.message));
  await page.setViewport({width: 800, height: 600, deviceScaleFactor: scale, hasTouch: touch});
  await page.evaluateOnNewDocument(probe, STAR_ROWS, recordAudio);
  if (gesture) await page.evaluateOnNewDocument(holdSoundUntilGesture);
  await page.goto(url, {waitUntil: 'load'});
  return {page, errors};
}

// Waits until test() is true in the page, for at most seconds.
async function until(page, test, seconds = 30, ...args) {
  await page.waitForFunction(test, {timeout: seconds * 1000, polling: 50}, ...args);
}

// A PNG's pixels, as RGB rows: {width, height, rgb} (decoded by ImageMagick).
function pngPixels(png) {
  const bytes = Buffer.from(png);
  const rgb = execFileSync('convert', ['png:-', '-depth', '8', 'rgb:-'], {input: bytes, maxBuffer: 1 << 26});
  return {width: bytes.readUInt32BE(16), height: bytes.readUInt32BE(20), rgb};
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

// The window as the device shows it: its device pixels, as RGB rows.
async function windowPixels(page) {
  const box = await windowBox(page);
  return pngPixels(await page.screenshot({clip: box, type: 'png'}));
}

module.exports = {launch, open, until, pngPixels, windowBox, windowPixels};
