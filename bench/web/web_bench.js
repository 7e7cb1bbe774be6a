// make web-bench: the intro's page (build-web/) in headless Chromium, each
// figure beside its goal; figures only, nothing fails.
//   NODE_PATH=.../node_modules node web_bench.js SITE FLOOR NATIVE_BUILD
//  - bytes to transfer, raw and gzipped, every file of the folder together;
//  - page load to first frame, after the files have arrived (median of runs);
//  - TimerStars' rate and its 99th-percentile interval over 20 s;
//  - CPU of the page (its renderer, Chromium's GPU and audio processes) beside
//    a floor page in the same run, interleaved: a changing 320 x 189 canvas
//    50 times a second and LIGHT.S3M through the same music library in the
//    same kind of audio node (FLOOR: bench/web in the WebAssembly build);
//  - the native intro's rate and CPU (its zenora_timing, under Xvfb).
'use strict';
const {execFileSync} = require('child_process');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const {serve} = require('../../tools/web/serve.js');
const web = require('../../tools/web/browsers.js');

const [site, floor, nativeBuild] = process.argv.slice(2);
const SECONDS = 20;
const ROUNDS = 3;
const ROUND_SECONDS = 10;
// The processes whose CPU is the page's: the tab's renderer, the GPU's and the audio service.
const PAGE_PROCESSES = ['renderer', 'gpu-process', 'audio'];
const LOAD_RUNS = 7;
const TICK_MS = 20;

function row(what, measured, goal = '', met = null) {
  const verdict = met === null ? '' : met ? 'ok' : 'MISSED';
  console.log(`  ${what.padEnd(44)} ${measured.padEnd(18)} ${goal.padEnd(22)} ${verdict}`);
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const percentile = (values, p) => [...values].sort((a, b) => a - b)[Math.ceil(values.length * p) - 1];

// utime + stime of a process in ms, from /proc; 0 when it is gone.
function cpuMs(pid) {
  try {
    const fields = fs.readFileSync(`/proc/${pid}/stat`, 'utf8').split(') ')[1].split(' ');
    return (Number(fields[11]) + Number(fields[12])) * 1000 / 100;  // clock ticks of 1/100 s
  } catch {
    return 0;
  }
}

// Every process under pid, with its Chromium type (--type=...).
function descendants(pid) {
  const parents = new Map();
  for (const entry of fs.readdirSync('/proc').filter((e) => /^\d+$/.test(e))) {
    try {
      parents.set(Number(entry), Number(fs.readFileSync(`/proc/${entry}/stat`, 'utf8').split(') ')[1].split(' ')[1]));
    } catch {}  // gone meanwhile
  }
  const found = [];
  const walk = (parent) => {
    for (const [child, of] of parents) {
      if (of !== parent) continue;
      const command = fs.readFileSync(`/proc/${child}/cmdline`, 'utf8');
      const type = /--utility-sub-type=audio\./.test(command) ? 'audio' : (/--type=([a-z-]+)/.exec(command) || [, 'browser'])[1];
      found.push({pid: child, type});
      walk(child);
    }
  };
  walk(pid);
  return found;
}

function bytes() {
  let raw = 0;
  let gzipped = 0;
  // The page as one file (for a copy opened from disk) is not what a server sends.
  for (const file of fs.readdirSync(site).filter((f) => f !== 'ZENOrA_intro.html')) {
    const data = fs.readFileSync(path.join(site, file));
    raw += data.length;
    gzipped += zlib.gzipSync(data, {level: 9}).length;
  }
  console.log('files to transfer (build-web/ but its single-file copy):');
  row('raw', `${(raw / 1024).toFixed(0)} KB`);
  row('gzipped (gzip -9, each file)', `${(gzipped / 1024).toFixed(0)} KB`, '<= 800 KB', gzipped <= 800 * 1024);
}

// From the moment the last file has arrived to the first frame on the canvas.
async function loadToFirstFrame(url) {
  const {browser, close} = await web.launch({autoplay: true});
  const after = [];
  const total = [];
  try {
    for (let run = 0; run < LOAD_RUNS; ++run) {
      const {page} = await web.open(browser, url);
      await web.until(page, () => zenoraProbe.firstFrame !== null);
      const [arrived, frame] = await page.evaluate(() => [
        Math.max(...performance.getEntriesByType('resource').map((r) => r.responseEnd),
                 performance.getEntriesByType('navigation')[0].responseEnd),
        zenoraProbe.firstFrame]);
      after.push(frame - arrived);
      total.push(frame);
      await page.close();
    }
  } finally {
    await close();
  }
  console.log(`page load to first frame (${LOAD_RUNS} loads, medians):`);
  row('after the files have arrived', `${median(after).toFixed(0)} ms`, '<= 300 ms', median(after) <= 300);
  row('  from the start of the load', `${median(total).toFixed(0)} ms`);
}

async function running(url) {
  const {browser, close} = await web.launch({autoplay: true});
  try {
    const {page} = await web.open(browser, url);
    await web.until(page, () => zenoraProbe.frames.filter(([, moved]) => moved).length >= 50);
    const processes = descendants(browser.process().pid).concat({pid: browser.process().pid, type: 'browser'});
    const before = new Map(processes.map(({pid}) => [pid, cpuMs(pid)]));
    const from = await page.evaluate(() => performance.now());
    await new Promise((resolve) => setTimeout(resolve, SECONDS * 1000));
    const to = await page.evaluate(() => performance.now());
    const used = processes.map(({pid, type}) => ({type, ms: cpuMs(pid) - before.get(pid)}));
    const ticks = await page.evaluate((a, b) => zenoraProbe.frames.filter(([t, moved]) => moved && t >= a && t <= b)
                                                          .map(([t]) => t), from, to);
    const intervals = ticks.slice(1).map((t, i) => t - ticks[i]);
    const rate = (ticks.length - 1) / ((ticks[ticks.length - 1] - ticks[0]) / 1000);
    console.log(`the intro running, ${SECONDS} s:`);
    row('TimerStars ticks a second', rate.toFixed(2), '50.0 within 1 %', Math.abs(rate - 50) <= 0.5);
    row('  tick interval, median', `${median(intervals).toFixed(1)} ms`, `${TICK_MS} ms`);
    row('  tick interval, 99th percentile', `${percentile(intervals, 0.99).toFixed(1)} ms`);
    const wall = to - from;
    const renderer = Math.max(...used.filter((u) => u.type === 'renderer').map((u) => u.ms));
    row('CPU of the page\'s renderer process', `${(100 * renderer / wall).toFixed(2)} %`);
    for (const type of [...new Set(used.map((u) => u.type))].filter((t) => t !== 'renderer')) {
      const ms = used.filter((u) => u.type === type).reduce((sum, u) => sum + u.ms, 0);
      row(`  Chromium's ${type} processes`, `${(100 * ms / wall).toFixed(2)} %`);
    }
  } finally {
    await close();
  }
}

// The CPU (ms) of the page's processes over ROUND_SECONDS, a fresh browser
// with the page at url running; and the wall time.
async function pageCpu(url, ready) {
  const {browser, close} = await web.launch({autoplay: true});
  try {
    const {page} = await web.open(browser, url);
    await web.until(page, ready);
    await new Promise((resolve) => setTimeout(resolve, 2000));  // past the start
    const processes = descendants(browser.process().pid).filter(({type}) => PAGE_PROCESSES.includes(type));
    const before = processes.map(({pid}) => cpuMs(pid));
    const from = performance.now();
    await new Promise((resolve) => setTimeout(resolve, ROUND_SECONDS * 1000));
    const wall = performance.now() - from;
    return 100 * processes.reduce((sum, {pid}, i) => sum + cpuMs(pid) - before[i], 0) / wall;
  } finally {
    await close();
  }
}

async function againstFloor(url, floorUrl) {
  const intro = [];
  const floors = [];
  for (let round = 0; round < ROUNDS; ++round) {
    intro.push(await pageCpu(url, () => zenoraProbe.frames.filter(([, moved]) => moved).length >= 25));
    floors.push(await pageCpu(floorUrl, () => typeof Module == 'object' && Module.calledRun));
  }
  console.log(`CPU of the page (renderer, GPU and audio processes), ${ROUNDS} interleaved rounds of ${ROUND_SECONDS} s, medians:`);
  row('the intro\'s page', `${median(intro).toFixed(2)} %`);
  row('  the floor page', `${median(floors).toFixed(2)} %`);
  const ratio = median(intro) / median(floors);
  row('  ratio', `${ratio.toFixed(2)} x`, '<= 1.3 x', ratio <= 1.3);
}

function native() {
  const timing = path.join(nativeBuild, 'bench', 'zenora_timing');
  console.log('the native intro (zenora_timing under Xvfb, the same 20 s):');
  try {
    const out = execFileSync(timing, ['--seconds', String(SECONDS), '--rounds', '1', '--round-seconds', '1'],
                             {encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'], timeout: 300000});
    for (const line of out.split('\n').filter((l) => /TimerStars|CPU, utime|after the first frame  /.test(l))) {
      console.log(line);
    }
  } catch (error) {
    console.log(`  (not measured: ${error.message.split('\n')[0]})`);
  }
}

async function main() {
  if (!site || !fs.existsSync(path.join(site, 'index.html')) || !fs.existsSync(path.join(floor, 'floor.html'))) {
    console.error('usage: web_bench.js SITE FLOOR NATIVE_BUILD (make web builds the site in build-web)');
    process.exit(2);
  }
  bytes();
  const server = await serve(site);
  const floorServer = await serve(floor);
  try {
    await loadToFirstFrame(server.url);
    await running(server.url);
    await againstFloor(server.url, `${floorServer.url}floor.html`);
  } finally {
    await server.close();
    await floorServer.close();
  }
  native();
}

main().catch((error) => {
  console.error(`web_bench: ${error.message}`);
  process.exit(1);
});
