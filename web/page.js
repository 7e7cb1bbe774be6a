// The page around the intro: what only a page can do for the program
// (ZENOrA_intro.js and .wasm, the same C++ as on the desktop). It is the
// program's screen and window manager: it makes the window's canvas, places
// and moves it, hands the pointer over, shows the error boxes as modal
// dialogs, starts sound (on a click where the browser asks for one), fetches
// the files the program reads, and offers to run the program again when it
// has ended. toolkit/web_backend.cpp is the program's side of every call.
'use strict';

// The files the program reads from its folder, fetched from the page's.
const PROGRAM_FILES = ['LIGHT.S3M'];
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

class Page {
  constructor(backdrop) {
    this.backdrop = backdrop;
    this.events = [];
    this.wake = null;  // ends the program's wait for input
    this.starting = null;  // ends the program's wait for the click that starts sound
    this.window = null;
    this.context = null;
    this.scale = 1;
    this.held = 0;  // buttons held over the window
    this.audio = null;
    this.module = null;
    this.status = null;  // the program's exit status, once it has ended
  }

  // Runs the program: a fresh instance of it each time, as a new process.
  async run(compiled, files) {
    document.getElementById('again').hidden = true;
    const page = this;
    try {
      this.module = {
        page: this,
        // The page's sound output, made by prepareSound before SDL looks for one.
        SDL2: {},
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

  failed(error) {
    this.ended(1);
    const note = document.getElementById('note');
    note.textContent = 'The intro could not run here: ' + error;
    note.hidden = false;
  }

  // The window: a canvas of width x height form pixels, each a block of
  // N x N device pixels (N the whole part of devicePixelRatio), placed in the
  // middle of the page. Returns N.
  openWindow(title, width, height) {
    document.title = title;
    this.scale = Math.max(1, Math.floor(window.devicePixelRatio || 1));
    const ratio = window.devicePixelRatio || 1;
    this.window = document.createElement('canvas');
    this.window.id = 'window';
    this.window.width = width * this.scale;
    this.window.height = height * this.scale;
    this.window.style.width = (width * this.scale / ratio) + 'px';
    this.window.style.height = (height * this.scale / ratio) + 'px';
    this.context = this.window.getContext('2d', {alpha: false});
    this.listen(this.window);
    this.backdrop.appendChild(this.window);
    const [pageWidth, pageHeight] = this.toForm(this.backdrop.clientWidth, this.backdrop.clientHeight);
    const left = Math.max(0, Math.floor((pageWidth - width) / 2));
    const top = Math.max(0, Math.floor((pageHeight - height) / 2));
    this.moveWindow(left, top);
    this.push([PLACED, left, top, 0, 0, 0]);
    return this.scale;
  }

  // Page pixels (CSS) to form pixels, rounded down.
  toForm(x, y) {
    const ratio = (window.devicePixelRatio || 1) / this.scale;
    return [Math.floor(x * ratio), Math.floor(y * ratio)];
  }

  moveWindow(left, top) {
    const ratio = this.scale / (window.devicePixelRatio || 1);
    this.window.style.left = (left * ratio) + 'px';
    this.window.style.top = (top * ratio) + 'px';
  }

  // A frame: the canvas's image, and the areas that changed ([x, y, w, h, ...]).
  present(image, areas) {
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
      if (this.starting) return;
      canvas.setPointerCapture(e.pointerId);
      this.held = e.buttons;
      send(DOWN, e, e.button);
    });
    canvas.addEventListener('pointermove', (e) => {
      if (this.starting) return;
      // Another button pressed or released while one is held comes as a move.
      if (e.button >= 0 && e.buttons !== this.held) {
        this.held = e.buttons;
        send((e.buttons & BUTTON_BITS[e.button]) ? DOWN : UP, e, e.button);
        return;
      }
      send(MOVE, e, -1);
    });
    canvas.addEventListener('pointerup', (e) => {
      if (this.starting) return;
      this.held = e.buttons;
      send(UP, e, e.button);
    });
    canvas.addEventListener('pointercancel', (e) => {
      // The pointer was taken away (a touch turned into a scroll): every
      // button held is let go.
      BUTTON_BITS.forEach((bit, button) => {
        if (this.held & bit) send(UP, e, button);
      });
      this.held = 0;
    });
    canvas.addEventListener('click', () => {
      if (!this.starting) return;
      const start = this.starting;
      this.starting = null;
      if (this.audio) this.audio.resume();
      start();
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

  // The sound output at the program's rate, handed to SDL (Module.SDL2);
  // whether it plays already.
  prepareSound(rate) {
    const Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return true;  // no Web Audio: the program finds no output, and says so
    this.audio = new Context({sampleRate: rate});
    this.module.SDL2.audioContext = this.audio;
    return this.audio.state === 'running';
  }

  waitForStart() {
    return new Promise((resolve) => {
      this.starting = resolve;
    });
  }

  // The error box: modal, as the desktop's.
  messageBox(title, text) {
    const dialog = document.getElementById('box');
    dialog.querySelector('.title').textContent = title;
    dialog.querySelector('.text').textContent = text;
    return new Promise((resolve) => {
      dialog.addEventListener('close', () => resolve(), {once: true});
      dialog.showModal();
      dialog.querySelector('button').focus();
    });
  }

  ended(status) {
    if (this.window) this.window.remove();
    this.window = null;
    if (this.audio) this.audio.close();
    this.audio = null;
    this.events = [];
    this.starting = null;
    document.getElementById('again').hidden = false;
    this.status = status;
  }
}

// The program and its files are fetched at once, side by side; a file that
// is missing is simply not there for the program (it says so in its boxes).
function start() {
  // Compiled as it arrives where the server says it is WebAssembly, as most
  // do; otherwise once it has arrived.
  const program = 'ZENOrA_intro.wasm';
  const compiled = WebAssembly.compileStreaming(fetch(program)).catch(() =>
    fetch(program).then((response) => response.arrayBuffer()).then((bytes) => WebAssembly.compile(bytes)));
  const files = Promise.all(PROGRAM_FILES.map((name) =>
    fetch(name).then((response) => response.ok ? response.arrayBuffer() : null, () => null)
        .then((bytes) => [name, bytes && new Uint8Array(bytes)])))
      .then((all) => all.filter(([, bytes]) => bytes));
  const page = new Page(document.getElementById('page'));
  window.zenora = page;
  document.querySelector('#again button').addEventListener('click', async () => {
    page.run(compiled, await files);
  });
  files.then((fetched) => page.run(compiled, fetched));
}

start();
