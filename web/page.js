// The page around the intro: what only a page can do for the program
// (ZENOrA_intro.js and .wasm, the same C++ as on the desktop). It loads the
// program and its music, saying how far it got; it is the program's screen
// and window manager: it makes the window's canvas, shows it at a whole scale
// of the device's pixels, places and moves it and keeps it on the page, hands
// the pointer and the keys over, shows the error boxes as modal dialogs,
// starts sound (in a click or a key press where the browser asks for one),
// and offers to run the program again when it has ended.
// toolkit/backends/web/web_backend.cpp is the program's side of every call.
'use strict';

const PROGRAM = 'ZENOrA_intro.wasm';
const SCRIPT = 'ZENOrA_intro.js';
// The files the program reads from its folder, fetched from the page's.
const MUSIC = 'LIGHT.S3M';
// A download that brings nothing for this long has failed.
const STALL_MS = 15000;
// Once the program is ready, the start waits for the music at most this long;
// then the program starts without it, and says so in its boxes.
const MUSIC_WAIT_MS = 5000;
// The window's top-right corner, the close glyph in it, always stays on the
// page, so that the window can be closed and moved back: form pixels.
const CORNER = 24;
// A press and release no farther apart than this (CSS pixels) is a click.
const CLICK_SLOP = 4;
// Shift state bits as the program takes them.
const SHIFT = 1;
const CTRL = 2;
const ALT = 4;
// What the program reads from nextEvent(): [kind, x, y, button, buttons,
// shift], the place in form pixels of the page; button as the page numbers
// them (0 left, 1 middle, 2 right), buttons held as bits (1 left, 2 right,
// 4 middle).
const DOWN = 0;
const MOVE = 1;
const UP = 2;
const PLACED = 3;
const BUTTON_BITS = [1, 4, 2];
const LABEL = ':: ZENOrA :: intro';
const START_HINT = 'Click the window or press Enter or Space on it to start the intro with its music.';

// A failure in plain words, for the page to show.
class Failure extends Error {}

function kilobytes(bytes) {
  return Math.round(bytes / 1024).toLocaleString('en');
}

// The page's messages: the progress and status line, and a failure with the
// way out of it.
const status = {
  line: () => document.getElementById('progress'),
  show(text) {
    this.line().textContent = text;
    this.line().hidden = !text;
  },
  fail(text, {reload = true} = {}) {
    this.show('');
    const note = document.getElementById('note');
    note.querySelector('.text').textContent = text;
    note.querySelector('button').hidden = !reload;
    note.hidden = false;
  },
};

// What has arrived of each download, on the status line.
const progress = {
  files: new Map(),
  update(name, got, total) {
    this.files.set(name, [got, total]);
    const parts = [...this.files].map(([file, [have, all]]) =>
      all ? `${file} ${kilobytes(have)} of ${kilobytes(all)} KB` : `${file} ${kilobytes(have)} KB`);
    status.show(`Loading the intro: ${parts.join(', ')}`);
  },
};

// The file's bytes as they come, counted on the status line: {body, failure}
// (failure() names the file and what went wrong, once it has gone wrong); a
// Failure when it is not there.
function download(name) {
  const controller = new AbortController();
  let timer = null;
  let stalled = false;
  let failure = null;
  const watch = () => {
    clearTimeout(timer);
    timer = setTimeout(() => {
      stalled = true;
      controller.abort();
    }, STALL_MS);
  };
  const fail = (error) => {
    clearTimeout(timer);
    failure ||= stalled ? new Failure(`${name} stopped arriving: nothing came for ${STALL_MS / 1000} seconds.`) :
      new Failure(`${name} could not be loaded (${error.message || error}).`);
    return failure;
  };
  watch();
  return fetch(name, {signal: controller.signal}).then((response) => {
    if (!response.ok) {
      clearTimeout(timer);
      throw new Failure(`${name} could not be loaded: the server answered ${response.status} ${response.statusText}`
          .trim() + '.');
    }
    const total = Number(response.headers.get('Content-Length')) || 0;
    const reader = response.body.getReader();
    let got = 0;
    progress.update(name, got, total);
    const body = new ReadableStream({
      async pull(stream) {
        watch();
        let next;
        try {
          next = await reader.read();
        } catch (error) {
          throw fail(error);
        }
        if (next.done) {
          clearTimeout(timer);
          stream.close();
          return;
        }
        got += next.value.length;
        progress.update(name, got, total);
        stream.enqueue(next.value);
      },
      cancel: () => clearTimeout(timer),
    });
    return {body, failure: () => failure};
  }, (error) => {
    throw fail(error);
  });
}

function bytesOf({body, failure}) {
  return new Response(body).arrayBuffer().then((buffer) => new Uint8Array(buffer), (error) => {
    throw failure() || error;
  });
}

// The page written into one file (ZENOrA_intro.html) has its files inside it.
function inline(name) {
  const text = window.zenoraInline && window.zenoraInline[name];
  return text ? Uint8Array.from(atob(text), (c) => c.charCodeAt(0)) : null;
}

// The program compiled as it arrives, whatever type the server gives it.
function compileProgram() {
  const inside = inline(PROGRAM);
  if (inside) return WebAssembly.compile(inside);
  return download(PROGRAM).then(({body, failure}) =>
    WebAssembly.compileStreaming(new Response(body, {headers: {'Content-Type': 'application/wasm'}})).catch((error) => {
      throw failure() || new Failure(`${PROGRAM} arrived, but is not a program this browser can run (${error.message}).`);
    }));
}

// The program's script, run; a Failure where it does not come or define it.
async function loadScript() {
  if (typeof ZENOrA_intro !== 'function') {
    const text = new TextDecoder().decode(await bytesOf(await download(SCRIPT)));
    const script = document.createElement('script');
    script.textContent = text;
    document.head.appendChild(script);
  }
  if (typeof ZENOrA_intro !== 'function') throw new Failure(`${SCRIPT} arrived, but is not the intro's script.`);
}

// The music's bytes, or null where it is missing or fails (the program says
// so in its boxes).
function loadMusic() {
  const inside = inline(MUSIC);
  if (inside) return Promise.resolve(inside);
  return download(MUSIC).then(bytesOf).catch((error) => {
    console.warn(error.message);
    return null;
  });
}

class Page {
  constructor(backdrop) {
    this.backdrop = backdrop;
    this.events = [];
    this.wake = null;  // ends the program's wait for input
    this.window = null;
    this.context = null;
    this.width = 0;  // the window's size and place, in form pixels of the page
    this.height = 0;
    this.left = 0;
    this.top = 0;
    this.scale = 1;  // device pixels per form pixel
    this.ratio = 1;  // the devicePixelRatio the window was laid out for
    this.held = 0;  // buttons held over the window
    this.press = null;  // where the press that may be a click began
    this.started = false;  // sound may start
    this.audio = null;
    this.rate = 0;  // the rate of the program's sound
    this.module = null;
    this.status = null;  // the program's exit status, once it has ended
    window.addEventListener('resize', () => this.rescale());
    this.watchRatio();
  }

  // Runs the program: a fresh instance of it each time, as a new process.
  async run(compiled, files) {
    document.getElementById('again').hidden = true;
    this.started = false;
    this.status = null;
    const page = this;
    try {
      this.module = {
        page: this,
        instantiateWasm(imports, receive) {
          compiled.then((module) => WebAssembly.instantiate(module, imports))
              .then((instance) => receive(instance))
              .catch((error) => page.failed(error));
          return {};
        },
        preRun: [(module) => {
          for (const [name, bytes] of files) module.FS.writeFile(name, bytes);
        }],
        print: (text) => console.log(text),
        printErr: (text) => console.warn(text),
        onAbort: (what) => page.failed(what),
      };
      await ZENOrA_intro(this.module);
    } catch (error) {
      this.failed(error);
    }
  }

  // The music arrived after the program started: its restarts find it.
  addFile(name, bytes) {
    if (this.module && this.module.FS && this.status === null) this.module.FS.writeFile(name, bytes);
  }

  failed(error) {
    this.ended(1, false);
    status.fail(`The intro stopped: ${error.message || error}`);
  }

  // The window: a canvas of width x height form pixels, in the middle of the page.
  openWindow(title, width, height) {
    document.title = title;
    status.show('');
    this.width = width;
    this.height = height;
    this.window = document.createElement('canvas');
    this.window.id = 'window';
    this.window.width = width;
    this.window.height = height;
    this.window.tabIndex = 0;
    this.window.setAttribute('role', 'application');
    this.window.setAttribute('aria-label', LABEL);
    this.context = this.window.getContext('2d', {alpha: false});
    this.listen(this.window);
    this.backdrop.appendChild(this.window);
    this.rescale(false);
    const [pageWidth, pageHeight] = this.pageSize();
    this.moveWindow(Math.max(0, Math.floor((pageWidth - width) / 2)), Math.max(0, Math.floor((pageHeight - height) / 2)));
    this.push([PLACED, this.left, this.top, 0, 0, 0]);
    if (!this.started) {
      this.window.setAttribute('aria-description', START_HINT);
      status.show(START_HINT);
    }
  }

  // CSS pixels per form pixel, as the window is laid out; the page's size in form pixels.
  unit() {
    return this.scale / this.ratio;
  }

  pageSize() {
    return [Math.floor(this.backdrop.clientWidth / this.unit()), Math.floor(this.backdrop.clientHeight / this.unit())];
  }

  // Another devicePixelRatio (zoom, another monitor) or page size: the
  // window at the new whole scale, its corner still on the page.
  rescale(keepOnPage = true) {
    this.ratio = window.devicePixelRatio || 1;
    this.scale = Math.max(1, Math.floor(this.ratio));
    if (!this.window) return;
    const unit = this.unit();
    this.window.style.width = (this.width * unit) + 'px';
    this.window.style.height = (this.height * unit) + 'px';
    if (keepOnPage) this.moveWindow(this.left, this.top, true);
  }

  watchRatio() {
    matchMedia(`(resolution: ${window.devicePixelRatio || 1}dppx)`).addEventListener('change', () => {
      this.rescale();
      this.watchRatio();
    }, {once: true});
  }

  // Page pixels (CSS) to form pixels, rounded down.
  toForm(x, y) {
    const unit = this.unit();
    return [Math.floor(x / unit), Math.floor(y / unit)];
  }

  // The window where the program (or the page) wants it, as near as keeps
  // its top-right corner on the page; where that is elsewhere, the form hears
  // where it went. Returns [left, top] as it is.
  moveWindow(left, top, tell = false) {
    const [pageWidth, pageHeight] = this.pageSize();
    // The corner's own edge wins where the page is smaller than the window.
    this.left = Math.max(CORNER - this.width, Math.min(left, pageWidth - this.width));
    this.top = Math.max(0, Math.min(top, pageHeight - CORNER));
    const unit = this.unit();
    this.window.style.left = (this.left * unit) + 'px';
    this.window.style.top = (this.top * unit) + 'px';
    if (this.left !== left || this.top !== top || tell) this.push([PLACED, this.left, this.top, 0, 0, 0]);
    return [this.left, this.top];
  }

  // A frame: the canvas's image, and the areas that changed ([x, y, w, h, ...]).
  // Not every browser tells of a new devicePixelRatio: each frame looks.
  present(image, areas) {
    if ((window.devicePixelRatio || 1) !== this.ratio) this.rescale();
    for (let i = 0; i < areas.length; i += 4) {
      this.context.putImageData(image, 0, 0, areas[i], areas[i + 1], areas[i + 2], areas[i + 3]);
    }
  }

  listen(canvas) {
    const send = (kind, e, button) => {
      const [x, y] = this.toForm(e.clientX, e.clientY);
      const shift = (e.shiftKey ? SHIFT : 0) | (e.ctrlKey ? CTRL : 0) | (e.altKey ? ALT : 0);
      this.push([kind, x, y, button, e.buttons & 7, shift]);
    };
    canvas.addEventListener('pointerdown', (e) => {
      e.preventDefault();  // no text selection, no scrolling by the middle button
      canvas.focus({preventScroll: true});
      canvas.setPointerCapture(e.pointerId);
      // A finger or a pen is over the window only as it presses: the place
      // first, as a mouse's move would have told it.
      if (e.pointerType !== 'mouse') send(MOVE, e, -1);
      this.held = e.buttons;
      if (e.button === 0) this.press = {id: e.pointerId, x: e.clientX, y: e.clientY};
      send(DOWN, e, e.button);
    });
    canvas.addEventListener('pointermove', (e) => {
      if (this.press && this.press.id === e.pointerId &&
          Math.hypot(e.clientX - this.press.x, e.clientY - this.press.y) > CLICK_SLOP) {
        this.press = null;  // a drag, not a click
      }
      // Another button pressed or released while one is held comes as a move.
      if (e.button >= 0 && e.buttons !== this.held) {
        this.held = e.buttons;
        send((e.buttons & BUTTON_BITS[e.button]) ? DOWN : UP, e, e.button);
        return;
      }
      send(MOVE, e, -1);
    });
    canvas.addEventListener('pointerup', (e) => {
      this.held = e.buttons;
      send(UP, e, e.button);
      if (this.press && this.press.id === e.pointerId && e.button === 0) this.start();
      this.press = null;
    });
    canvas.addEventListener('pointercancel', (e) => {
      // The pointer was taken away (a touch turned into a scroll): every
      // button held is let go.
      BUTTON_BITS.forEach((bit, button) => {
        if (this.held & bit) send(UP, e, button);
      });
      this.held = 0;
      this.press = null;
    });
    canvas.addEventListener('keydown', (e) => {
      if (e.key !== 'Enter' && e.key !== ' ') return;
      e.preventDefault();
      this.start();
    });
    canvas.addEventListener('contextmenu', (e) => e.preventDefault());
  }

  push(event) {
    this.events.push(event);
    if (this.wake) this.wake();
  }

  nextEvent() {
    return this.events.shift() || null;
  }

  // Until ms have passed or input comes.
  wait(ms) {
    return new Promise((resolve) => {
      const timer = setTimeout(() => {
        this.wake = null;
        resolve();
      }, ms);
      this.wake = () => {
        clearTimeout(timer);
        this.wake = null;
        resolve();
      };
    });
  }

  // The sound output at the program's rate, which the music library plays
  // into (Module.audioContext); whether it plays already. Where it waits for
  // a click or a key it may yet start on its own (Firefox lets it a moment
  // later): then the intro starts as if clicked.
  async prepareSound(rate) {
    const Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return true;  // no Web Audio: the program finds no output, and says so
    this.rate = rate;
    if (!this.audio || this.audio.state === 'closed') this.audio = new Context({sampleRate: rate});
    this.module.audioContext = this.audio;
    if (this.audio.state === 'running') this.started = true;
    this.audio.addEventListener('statechange', () => {
      if (this.audio && this.audio.state === 'running') this.start();
    });
    return this.started;
  }

  // Sound may start now (in a click or a key press: the browser's gesture).
  start() {
    if (this.started) return;
    this.started = true;
    if (this.audio) this.audio.resume().catch(() => {});  // refused without a gesture: silent, as the browser wants
    if (this.window) this.window.removeAttribute('aria-description');
    status.show('');
    if (this.wake) this.wake();
  }

  // The error box: modal, as the desktop's.
  messageBox(title, text) {
    const dialog = document.getElementById('box');
    dialog.querySelector('.title').textContent = title;
    dialog.querySelector('.text').textContent = text;
    return new Promise((resolve) => {
      dialog.addEventListener('close', () => {
        if (this.window) this.window.focus({preventScroll: true});
        resolve();
      }, {once: true});
      dialog.showModal();
      dialog.querySelector('button').focus();
    });
  }

  // The program has ended: its window and its sound go; the page offers to
  // run it again, unless it failed.
  ended(code, again = true) {
    if (this.window) this.window.remove();
    this.window = null;
    if (this.audio) this.audio.close();
    this.audio = null;
    this.events = [];
    this.status = code;
    if (!again) return;
    const button = document.querySelector('#again button');
    button.parentElement.hidden = false;
    button.focus();
  }
}

async function main() {
  const page = new Page(document.getElementById('page'));
  window.zenora = page;
  const music = loadMusic();
  try {
    const compiled = compileProgram();
    await Promise.all([compiled, loadScript()]);
    let musicBytes = await Promise.race([music, new Promise((resolve) => setTimeout(resolve, MUSIC_WAIT_MS, null))]);
    if (!musicBytes) {
      music.then((bytes) => {
        musicBytes = bytes;
        if (bytes) page.addFile(MUSIC, bytes);
      });
    }
    const files = () => musicBytes ? [[MUSIC, musicBytes]] : [];
    document.querySelector('#again button').addEventListener('click', () => {
      // The click lets a new sound output start at once: no second click.
      const Context = window.AudioContext || window.webkitAudioContext;
      if (Context && page.rate) page.audio = new Context({sampleRate: page.rate});
      page.run(compiled, files());
    });
    page.run(compiled, files());
  } catch (error) {
    status.fail(error instanceof Failure ? error.message : `The intro could not start (${error.message || error}).`);
  }
}

main();
