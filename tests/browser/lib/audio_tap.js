// Init script: puts an analyser between every AudioContext and its
// destination, so a test can see whether sound comes out and at what pitch.
(() => {
  const taps = [];
  const connect = AudioNode.prototype.connect;
  AudioNode.prototype.connect = function (target, ...rest) {
    if (target instanceof AudioDestinationNode) {
      const context = target.context;
      if (!context.testTap) {
        context.testTap = context.createAnalyser();
        context.testTap.fftSize = 4096;
        connect.call(context.testTap, target);
        taps.push(context.testTap);
      }
      return connect.call(this, context.testTap, ...rest);
    }
    return connect.call(this, target, ...rest);
  };
  // Level (RMS) and strongest frequency of what goes out right now.
  window.testAudio = () => {
    let best = { rms: 0, hz: 0, contexts: taps.length, state: "none" };
    for (const tap of taps) {
      const wave = new Float32Array(tap.fftSize);
      tap.getFloatTimeDomainData(wave);
      let sum = 0;
      for (const v of wave) sum += v * v;
      const rms = Math.sqrt(sum / wave.length);
      const spectrum = new Float32Array(tap.frequencyBinCount);
      tap.getFloatFrequencyData(spectrum);
      let peak = 1;
      for (let i = 1; i < spectrum.length; i++) if (spectrum[i] > spectrum[peak]) peak = i;
      if (rms >= best.rms) {
        best = { rms, hz: (peak * tap.context.sampleRate) / tap.fftSize, contexts: taps.length, state: tap.context.state };
      }
    }
    return best;
  };
})();
