// Init script: puts a tap between every AudioContext and its destination.
// An AudioWorklet on the audio thread logs each block of what goes out,
// stamped with the audio clock (the context's sample frame), so tests judge
// sound by how much audio played, not by how often a busy page got polled.
(() => {
  // Level and pitch (interpolated upward zero crossings) per block.
  const processor = `
    class TestTap extends AudioWorkletProcessor {
      constructor() { super(); this.block = 512; this.reset(currentFrame); }
      reset(frame) { this.start = frame; this.n = 0; this.sum = 0; this.prev = 0; this.first = -1; this.last = -1; this.ups = 0; }
      process(inputs) {
        const channel = inputs[0] && inputs[0][0];
        const frames = channel ? channel.length : 128;
        if (this.n === 0) this.reset(currentFrame);
        for (let i = 0; i < frames; i++) {
          const v = channel ? channel[i] : 0;
          this.sum += v * v;
          if (this.prev < 0 && v >= 0) {
            const at = this.n + i - 1 + this.prev / (this.prev - v);
            if (this.first < 0) this.first = at; else this.ups++;
            this.last = at;
          }
          this.prev = v;
        }
        this.n += frames;
        if (this.n >= this.block) {
          const hz = this.ups > 0 ? (this.ups * sampleRate) / (this.last - this.first) : 0;
          this.port.postMessage([this.start / sampleRate, this.n / sampleRate, Math.sqrt(this.sum / this.n), hz]);
          this.n = 0;
        }
        return true;
      }
    }
    registerProcessor("test-tap", TestTap);`;
  // A data: address, as a page opened from disk (an opaque origin) cannot
  // load a worklet from a blob: one.
  const moduleUrl = "data:text/javascript;base64," + btoa(processor);
  const taps = [];
  const connect = AudioNode.prototype.connect;
  AudioNode.prototype.connect = function (target, ...rest) {
    if (target instanceof AudioDestinationNode) {
      const context = target.context;
      if (!context.testTap) {
        const tap = { context, input: context.createGain(), log: [], ready: false, starved: [], end: null };
        context.testTap = tap;
        connect.call(tap.input, target);
        taps.push(tap);
        context.audioWorklet.addModule(moduleUrl).then(() => {
          const node = new AudioWorkletNode(context, "test-tap", { numberOfOutputs: 1, outputChannelCount: [1] });
          node.port.onmessage = (e) => tap.log.push(e.data);
          connect.call(tap.input, node);
          connect.call(node, target);  // pulls the node; it outputs silence
          tap.ready = true;
        });
      }
      return connect.call(this, context.testTap.input, ...rest);
    }
    return connect.call(this, target, ...rest);
  };
  // The player queues its output in buffers back to back. One queued after
  // its predecessor ran out leaves a gap the player did not mean: the page
  // was too busy to feed the audio. Those gaps are logged, and not taken
  // for silence in the sound.
  const start = AudioBufferSourceNode.prototype.start;
  AudioBufferSourceNode.prototype.start = function (when = 0, ...rest) {
    const tap = this.context.testTap;
    if (tap && this.buffer) {
      const at = Math.max(when, this.context.currentTime);
      if (tap.end !== null && at > tap.end + 0.002) tap.starved.push([tap.end, at]);
      tap.end = Math.max(tap.end ?? 0, at + this.buffer.duration);
    }
    return start.call(this, when, ...rest);
  };
  const tap = () => taps.at(-1);
  // Audio clock now (seconds), or null until the tap logs a player's output.
  window.testAudioNow = () => (tap()?.ready ? tap().context.currentTime : null);
  // Logged blocks [start, seconds, rms, hz] from audio time `from` on, and
  // how far the log reaches.
  window.testAudioLog = (from = 0) => {
    const t = tap();
    if (!t) return { now: null, upTo: null, blocks: [], state: "none", contexts: 0 };
    // Blocks inside a starved gap are left out.
    const fed = (b) => !t.starved.some(([s, e]) => b[0] >= s - 0.002 && b[0] + b[1] <= e + 0.002);
    const blocks = t.log.filter((b) => b[0] + b[1] > from && fed(b));
    const starved = t.starved.filter(([, e]) => e > from).reduce((sum, [s, e]) => sum + e - Math.max(s, from), 0);
    const end = t.log.at(-1);
    return {
      now: t.context.currentTime, upTo: end ? end[0] + end[1] : null, blocks, starved, state: t.context.state, contexts: taps.length,
    };
  };
  // What went out between audio times `from` and `to`: share of blocks with
  // sound, loudest level, median pitch of the sounding blocks, first and
  // last sound, sounding seconds, and silent seconds inside that span.
  window.testAudioSummary = (from, to = Infinity) => {
    const log = window.testAudioLog(from);
    const blocks = log.blocks.filter((b) => b[0] < to);
    const starvedBefore = (t) => window.testAudioLog(from).starved - window.testAudioLog(t).starved;
    const loud = blocks.filter((b) => b[2] > 0.01);
    const pitches = loud.map((b) => b[3]).sort((a, b) => a - b);
    const span = (list) => list.reduce((sum, b) => sum + b[1], 0);
    const first = loud.length ? loud[0][0] : null, last = loud.length ? loud.at(-1)[0] + loud.at(-1)[1] : null;
    return {
      now: log.now, upTo: log.upTo, covered: log.upTo !== null && log.upTo >= to, state: log.state,
      soundShare: blocks.length ? span(loud) / span(blocks) : 0,
      maxRms: Math.max(0, ...blocks.map((b) => b[2])),
      medianHz: pitches.length ? pitches[Math.floor(pitches.length / 2)] : 0,
      first, last, loudSeconds: span(loud), starved: log.starved,
      // silent seconds inside the sound, and starved seconds before it
      gaps: first === null ? 0 : last - first - span(loud) - starvedBefore(last) + starvedBefore(first),
      starvedBeforeFirst: first === null ? 0 : starvedBefore(first),
      // from the first to the last sound, and fed time after the last
      seconds: first === null ? 0 : last - first - starvedBefore(last) + starvedBefore(first),
      quietAfter: log.upTo === null ? 0 : log.upTo - (last ?? from) - log.starved + starvedBefore(last ?? from),
    };
  };
  // The audio clock when a player had the movie's header: when it began.
  window.addEventListener("loadedmetadata", () => { window.testMovieBegan ??= tap()?.context.currentTime; }, true);
})();
