// The output in a browser: Web Audio, with no thread of ours. The music is
// mixed on the page's thread ahead of what plays: an AudioWorklet holds
// kAheadBlocks blocks of it and, as it plays each, asks for another by a
// message (not a timer, which a tab in the background would slow down), so a
// page busy for less than that long never starves it. The blocks are the
// frames SDL's output pulls at a time natively: the module player's output
// depends on how it is read, and so it is read as on the desktop. Where the
// page has no AudioWorklet (only secure contexts have one: https, localhost,
// a file) a ScriptProcessorNode pulls on the page's thread instead. The
// context is the page's own where it made one (Module.audioContext: a page
// starts sound in a click), else one of ours; it must run at the library's
// rate, so that only the browser converts the music, for the device.
#include <emscripten/emscripten.h>

#include "audio_output.hpp"
#include "bassmod.h"
#include "failure.hpp"

// Called back from the page to mix frames of interleaved 16-bit stereo into out.
extern "C" EMSCRIPTEN_KEEPALIVE void bassmod_web_pull(bassmod::AudioOutput* output, std::int16_t* out, int frames) {
  output->pull(out, static_cast<std::size_t>(frames));
}

namespace {

// 186 ms at 44.1 kHz: a page stalled for 100 ms still hears every sample.
constexpr int kAheadBlocks = 4;

// JavaScript, which clang-format would take for C++.
// clang-format off

// Opens the output for output at rate, mixing blocks of frames at a time,
// ahead of them before it plays; its handle, or 0 where Web Audio has none to
// give. The worklet's processor: blocks of planar stereo in, 128 frames at a
// time out, silence when none is left; each block it has played is asked for
// again. Its script is a data: URL: a page opened from disk may not load a
// worklet from a blob: one.
EM_ASYNC_JS(std::uint32_t, bassmod_web_open, (void* output, int rate, int block, int ahead), {
  const Context = globalThis.AudioContext || globalThis.webkitAudioContext;
  if (!Context) return 0;
  let context = Module.audioContext;
  try {
    context ||= Module.audioContext = new Context({sampleRate: rate});
  } catch (error) {
    return 0;
  }
  if (context.sampleRate !== rate) return 0;
  const out = {closed: false, buffer: _malloc(block * 4), node: null};
  // Frames mixed now, as two channels of floats in [-1, 1).
  const mix = (frames) => {
    _bassmod_web_pull(output, out.buffer, frames);
    const pcm = HEAP16.subarray(out.buffer >> 1, (out.buffer >> 1) + frames * 2);
    const left = new Float32Array(frames);
    const right = new Float32Array(frames);
    for (let i = 0; i < frames; ++i) {
      left[i] = pcm[2 * i] / 32768;
      right[i] = pcm[2 * i + 1] / 32768;
    }
    return [left, right];
  };
  if (context.audioWorklet && globalThis.AudioWorkletNode) {
    const source = `registerProcessor('bassmod-output', class extends AudioWorkletProcessor {
      constructor() {
        super();
        this.blocks = [];
        this.at = 0;
        this.port.onmessage = (e) => this.blocks.push(e.data);
      }
      process(inputs, outputs) {
        const [left, right] = outputs[0];
        let done = 0;
        while (done < left.length && this.blocks.length) {
          const [l, r] = this.blocks[0];
          const n = Math.min(left.length - done, l.length - this.at);
          left.set(l.subarray(this.at, this.at + n), done);
          right.set(r.subarray(this.at, this.at + n), done);
          done += n;
          this.at += n;
          if (this.at === l.length) {
            this.blocks.shift();
            this.at = 0;
            this.port.postMessage(1);
          }
        }
        return true;
      }
    });`;
    context.bassmodWorklet ||= context.audioWorklet.addModule('data:text/javascript,' + encodeURIComponent(source));
    try {
      await context.bassmodWorklet;
      out.node = new AudioWorkletNode(context, 'bassmod-output', {numberOfInputs: 0, outputChannelCount: [2]});
    } catch (error) {
      return 0;
    }
    const send = (blocks) => {
      for (let i = 0; i < blocks && !out.closed; ++i) {
        const channels = mix(block);
        out.node.port.postMessage(channels, channels.map((c) => c.buffer));
      }
    };
    out.node.port.onmessage = (e) => send(e.data);
    send(ahead);
  } else {
    out.node = context.createScriptProcessor(block, 0, 2);
    out.node.onaudioprocess = (e) => {
      if (out.closed) return;
      const [left, right] = mix(e.outputBuffer.length);
      e.outputBuffer.getChannelData(0).set(left);
      e.outputBuffer.getChannelData(1).set(right);
    };
  }
  out.node.connect(context.destination);
  Module.bassmodOutputs ||= [null];
  return Module.bassmodOutputs.push(out) - 1;
});

// After this nothing is mixed for the output again.
EM_JS(void, bassmod_web_close, (std::uint32_t handle), {
  const out = Module.bassmodOutputs[handle];
  Module.bassmodOutputs[handle] = null;
  out.closed = true;
  out.node.disconnect();
  if (out.node.port) out.node.port.close();
  _free(out.buffer);
});

// clang-format on

}  // namespace

namespace bassmod {

AudioOutput::AudioOutput(OutputOpener& /*opener*/, int device, std::int32_t rate, Player& player,
                         void (*meanwhile)() noexcept)
    : player_(player), rate_(rate) {
  if (device > 1) throw Failure{BASSMOD_ERROR_DEVICE};  // a page has one output
  meanwhile();                                          // nothing runs beside it here
  device_ = bassmod_web_open(this, rate, output_buffer_frames, kAheadBlocks);
  if (device_ == 0) throw Failure{BASSMOD_ERROR_DRIVER};
}

AudioOutput::~AudioOutput() { bassmod_web_close(device_); }

}  // namespace bassmod
