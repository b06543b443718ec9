// SWFs built by the program's own builders from the shipped templates
// (tests/make_browser_fixtures: LAME tones, colours other than the
// defaults) played in Ruffle: size, rate, frames and version; the user's
// colours at the controls; sound that starts, stops, waits, loops and runs
// whole at 60/120 fps and 11025 Hz; the clock of the timing templates; the
// shell players with their query; the page template.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { readFileSync, writeFileSync } from "node:fs";
import path from "node:path";
import {
  audioNow, brief, click, hex, listen, metadata, movieBegan, near, openMovie, pixelAt, programDir, readTime, removeWork,
  patience, resyncSeconds, silenceAfter, soundRun, stagePixels, startSession, tagCounts, waitForSound, workDir,
} from "./lib/harness.mjs";

const buildDir = process.env.TEMBREL_BUILD_DIR || path.resolve(programDir, "..");
const maker = path.join(buildDir, "tests/make_browser_fixtures");
let session;
let fixtures = [];

before(async () => {
  execFileSync(maker, [workDir, programDir]);
  fixtures = JSON.parse(readFileSync(path.join(workDir, "manifest.json"), "utf8"));
  session = await startSession();
});
after(async () => {
  await session?.close();
  removeWork();
});

const rgb = (h) => [1, 3, 5].map((i) => parseInt(h.slice(i, i + 2), 16));
const fixture = (name) => fixtures.find((f) => f.name === name);
// Silence (audio seconds) allowed inside a sound before it counts as a stall.
const stallSeconds = 0.1;
// How late (audio seconds from the movie's start) sound may begin and still
// count as at once: a busy machine delays it, but a sound that starts only
// when it should have half played is not at once.
const startsAtOnce = (seconds) => seconds / 2;

// Control positions and key-coloured spots of each template design.
const pair = { play: [20, 20], stop: [60, 20] };
const track = { play: [18, 16], stop: [46, 16] };
const designs = {
  square_gradient_3: { at: pair, spots: [[8, 10, "#003366", 8], [48, 10, "#003366", 8]], background: [2, 38] },
  square_gradient_time: { at: pair, spots: [[8, 10, "#003366", 8]], background: [2, 38] },
  circle_gradient_1: {
    at: pair, background: [2, 38],
    spots: [[15, 20, "#D5FFD7", 12], [11, 20, "#61EF01", 12], [8, 20, "#1DA400", 12], [5, 20, "#004A00", 24]],
  },
  circle_plain_1: { at: pair, spots: [[20, 8, "#000000", 8], [60, 8, "#000000", 8]], background: [2, 38] },
  text_1: { at: { play: [42, 20], stop: [126, 20] }, spots: [[9, 15, "#000000", 30]], background: [2, 38] },
  trumpet_1: { at: pair, spots: [[32, 20, "#3366CC", 8], [47, 20, "#3366CC", 8]], background: [2, 38] },
  round_rect_1: { at: pair, spots: [[4, 20, "#5E5E5E", 30]], background: [2, 38] },
  track_bar: {
    at: track,
    spots: [[150, 4, "#888888", 8], [150, 28, "#D5D5D5", 8], [150, 0, "#383838", 24], [18, 16, "#171717", 12],
      [280, 16, "#555555", 8], [70, 16, "#666666", 8]],
  },
  track_time: { at: track, spots: [[150, 4, "#888888", 8], [70, 16, "#666666", 8]] },
  use_a_jpeg_1: { at: { play: [50, 37], stop: [50, 37] }, spots: [] },
};
const designOf = (f) => designs[path.basename(f.template, ".swf")];

// Frame count the builder intends: frame 1, blank frames, one frame per
// SoundStreamBlock, the end frame (sound-only: no end frame).
function expectedFrames(f, file) {
  const counts = tagCounts(readFileSync(path.join(workDir, file)));
  if (f.event) return { counts, frames: f.initPlay ? 1 : 2 };
  const blocks = counts[19] || 0;
  assert.ok(Math.abs(blocks - f.seconds * f.fps) <= f.fps / 12 + 2, `blocks ${blocks} for ${f.seconds} s at ${f.fps} fps`);
  return { counts, frames: 1 + f.blank + blocks + (f.shell ? 0 : 1) };
}

async function checkMetadata(page, f, file, width, height) {
  const meta = await metadata(page);
  const { frames } = expectedFrames(f, file);
  console.log(`${file}: metadata ${JSON.stringify(meta)}, intended ${width}x${height} ${f.fps} fps ${frames} frames v${f.version}`);
  assert.deepEqual(meta, { width, height, frameRate: f.fps, numFrames: frames, swfVersion: f.version });
}

// Clicks stop while the sound plays (it began at audio time `first` and
// lasts `seconds`): the sound must fall silent soon after the click, well
// before its end, and stay silent.
async function stopHalts(page, at, first, seconds) {
  const clicked = await audioNow(page);
  await click(page, ...at);
  const stopped = await silenceAfter(page, clicked, first);
  console.log(`  stop clicked ${(clicked - first).toFixed(2)} s into the sound: silent ${(stopped.silentFrom - clicked).toFixed(2)} s ` +
    `after the click, ${stopped.played.toFixed(2)} s of ${seconds} s played`);
  assert.ok(stopped.silentFrom - clicked < 3, "stop halts the sound");
  assert.ok(stopped.played < seconds - 1, "before the sound ends by itself");
}

for (const name of ["square_gradient_3", "square_gradient_time", "circle_gradient_1", "circle_plain_1", "text_1",
  "trumpet_1", "round_rect_1", "track_bar", "track_time", "use_a_jpeg_1"]) {
  test(`player built from ${name}: metadata, user colours, sound, stop`, async () => {
    const f = fixture(`player_${name}`);
    const design = designs[name];
    const { page } = await openMovie(session, `/work/${f.name}.swf`, f.width, f.height);
    try {
      await checkMetadata(page, f, `${f.name}.swf`, f.width, f.height);
      const began = await movieBegan(page);
      const first = await waitForSound(page, began);
      const heard = await listen(page, 1, first);
      console.log(`  playing: ${brief(heard)}`);
      assert.ok(heard.soundShare > 0.6, "sound comes out");
      assert.ok(Math.abs(heard.medianHz - f.hz) < 20, `pitch ${heard.medianHz} Hz`);
      // Stopped while most of the sound is still to come; the controls keep
      // their colours (a track bar's fill is read while it plays).
      const playing = name.startsWith("track");
      if (!playing) await stopHalts(page, design.at.stop, first, f.seconds);
      const pixels = await stagePixels(page);
      if (playing) await stopHalts(page, design.at.stop, first, f.seconds);
      for (const [x, y, key, tolerance] of design.spots) {
        const want = rgb(f.colours[key]);
        const seen = pixelAt(pixels, x, y);
        console.log(`  key ${key} at ${x},${y}: ${hex(seen)}, user colour ${f.colours[key]}`);
        assert.ok(near(seen, want, tolerance), `key ${key}: saw ${hex(seen)}, want ${f.colours[key]}`);
      }
      if (design.background) {
        const seen = pixelAt(pixels, ...design.background);
        console.log(`  background: ${hex(seen)}, user colour ${f.background}`);
        assert.ok(near(seen, rgb(f.background), 4));
      }
      if (name === "use_a_jpeg_1") {
        // sample.jpg at its own 100 x 75: the sun, the sky, the wave.
        for (const [x, y, want] of [[70, 30, [255, 214, 70]], [10, 3, [38, 44, 146]], [50, 56, [250, 250, 255]]]) {
          const seen = pixelAt(pixels, x, y);
          console.log(`  picture at ${x},${y}: ${hex(seen)} (drawn ${hex(want)})`);
          assert.ok(near(seen, want, 40));
        }
      }
      if (name.startsWith("track")) {
        // A click at the middle of the bar seeks there and plays on.
        const seekAt = await audioNow(page);
        await click(page, 66 + 112, 16);
        const resumed = await waitForSound(page, seekAt);
        const seekPixels = await stagePixels(page);
        const fill = rgb(f.colours["#666666"]);
        let filled = 0;
        for (let x = 66; x < 290; x++) if (near(pixelAt(seekPixels, x, 16), fill, 12)) filled++;
        // Where the bar started from: what it shows less what played since.
        const from = filled / 224 - (seekPixels.now - resumed) / f.seconds;
        const after = await soundRun(page, seekAt, f.seconds);
        console.log(`  seek to 50 %: bar at ${((100 * filled) / 224).toFixed(0)} % ${(seekPixels.now - resumed).toFixed(2)} s ` +
          `after the sound resumed (from ${(100 * from).toFixed(0)} %), ${brief(after)}`);
        assert.ok(from > 0.4 && from < 0.65, "the bar jumps to the click");
        assert.ok(after.loudSeconds > Math.min(1, f.seconds / 4), "and plays on from there");
        assert.ok(after.loudSeconds < f.seconds / 2 + 0.6, "to the end of the sound, not from its start");
      }
    } finally {
      await page.close();
    }
  });
}

// With autoplay off: 1.5 s of the audio clock from the movie's start
// without sound; then play is clicked and sound comes out.
async function waitsForPlay(page, at) {
  const waiting = await listen(page, 1.5, await movieBegan(page));
  console.log(`  before play: ${brief(waiting)}`);
  assert.ok(waiting.soundShare < 0.1, "nothing plays before play is clicked");
  const clicked = await audioNow(page);
  await click(page, ...at);
  const first = await waitForSound(page, clicked);
  const playing = await listen(page, 1, first);
  console.log(`  after play: sound ${(first - clicked).toFixed(2)} s after the click, ${brief(playing)}`);
  assert.ok(playing.soundShare > 0.6, "play starts the sound");
  return first;
}

test("autoplay off: nothing plays until play is clicked", async () => {
  const f = fixture("hold");
  const { page } = await openMovie(session, `/work/${f.name}.swf`, f.width, f.height);
  try {
    await checkMetadata(page, f, `${f.name}.swf`, f.width, f.height);
    await waitsForPlay(page, pair.play);
  } finally {
    await page.close();
  }
});

test("loop on: a 2 s sound starts over and keeps sounding", async () => {
  const f = fixture("loop");
  const { page } = await openMovie(session, `/work/${f.name}.swf`, f.width, f.height);
  try {
    const first = await waitForSound(page, await movieBegan(page));
    const span = await listen(page, 4.5, first);
    console.log(`  4.5 s from the first sound: ${brief(span)}`);
    assert.ok(span.last - span.first > 3.8, "sound goes on past the end of the 2 s sound");
    const pixels = await stagePixels(page);
    const ink = rgb(f.colours["#003366"]);
    const shown = readTime(pixels, 88, 12, ink);
    console.log(`  clock after ${(pixels.now - first).toFixed(2)} s of a looping 2 s sound: ${shown} s`);
    assert.ok(shown >= 0 && shown <= 2, "the clock started over");
  } finally {
    await page.close();
  }
});

test("loop off: silence after the end of the sound", async () => {
  const f = fixture("player_square_gradient_3");
  const { page } = await openMovie(session, `/work/${f.name}.swf`, f.width, f.height);
  try {
    const run = await soundRun(page, await movieBegan(page), f.seconds + 1.5, 1.5);
    console.log(`  a ${f.seconds} s sound: ${brief(run)}`);
    assert.ok(run.upTo - run.last >= 1.5, "ends with the sound: silence after it");
    assert.ok(Math.abs(run.seconds - f.seconds) < 0.6, "plays whole");
  } finally {
    await page.close();
  }
});

for (const [name, x, y, key] of [["square_gradient_time", 88, 12, "#003366"], ["track_time", 302, 8, "#383838"]]) {
  test(`timing template ${name}: elapsed and total time at a patched rate`, async () => {
    const f = fixture(`clock_${name}`);
    const { page } = await openMovie(session, `/work/${f.name}.swf`, f.width, f.height);
    try {
      await checkMetadata(page, f, `${f.name}.swf`, f.width, f.height);
      const first = await waitForSound(page, await movieBegan(page));
      await listen(page, 3, first);
      const pixels = await stagePixels(page);
      const waited = pixels.now - first;
      const ink = rgb(f.colours[key]);
      const elapsed = readTime(pixels, x, y, ink), total = readTime(pixels, x + 48, y, ink);
      console.log(`  after ${waited.toFixed(2)} s at ${f.fps} fps: shows ${elapsed} s of ${total} s`);
      assert.equal(total, f.seconds);
      assert.ok(Math.abs(elapsed - waited) <= 1, `elapsed ${elapsed} vs ${waited.toFixed(2)}`);
    } finally {
      await page.close();
    }
  });
}

for (const name of ["square_gradient_3", "circle_plain_1", "track_bar", "track_time", "60"]) {
  test(`shell pair ${name}: player.swf?soundswf=…&autoplay&loops&duration`, async () => {
    const f = fixture(name === "60" ? "shell60" : `shell_${name}`);
    const design = designOf(f);
    const player = `${f.name}.player.swf`;
    const query = (autoplay) => `?soundswf=${f.name}.swf&autoplay=${autoplay}&loops=0&duration=${f.seconds}`;
    let { page } = await openMovie(session, `/work/${player}${query(1)}`, 0, 0, "/work/");
    try {
      const meta = await metadata(page);
      console.log(`  player metadata ${JSON.stringify(meta)}; sound SWF ${f.fps} fps`);
      await page.evaluate(([w, h]) => {
        const p = document.getElementById("player");
        p.style.width = w + "px";
        p.style.height = h + "px";
      }, [meta.width, meta.height]);
      // (Followed well past its end, so a sound that goes on is seen.)
      const span = await soundRun(page, await movieBegan(page), f.seconds + 3);
      console.log(`  autoplay=1 loops=0: ${brief(span)}`);
      assert.ok(span.delay < startsAtOnce(f.seconds), "starts at once");
      const resync = resyncSeconds(f.fps);
      assert.ok(Math.abs(span.loudSeconds - f.seconds) < 0.6 + resync, "plays the whole sound");
      assert.ok(Math.abs(span.seconds - f.seconds) < 0.6 + resync, "once");
      assert.ok(span.gaps <= stallSeconds + resync, "without stalls");
      // Played through, it waits at the start: play again and see the
      // controls follow the sound SWF.
      const clicked = await audioNow(page);
      await click(page, ...design.at.play);
      const first = await waitForSound(page, clicked);
      await listen(page, 2, first);
      // The controls may follow the timeline, which began between the click
      // and the first sound: compare with the sound played since either.
      const pixels = await stagePixels(page);
      const played = pixels.now - first, sinceClick = pixels.now - clicked;
      if (f.template.includes("track_")) {
        const fill = rgb(f.colours["#666666"]);
        let filled = 0;
        for (let x = 66; x < 290; x++) if (near(pixelAt(pixels, x, 16), fill, 12)) filled++;
        const shownShare = filled / 224, low = played / f.seconds, high = sinceClick / f.seconds;
        console.log(`  after ${played.toFixed(2)} s (${sinceClick.toFixed(2)} s since the click) the bar shows ` +
          `${(100 * shownShare).toFixed(0)} % (sound ${(100 * low).toFixed(0)} - ${(100 * high).toFixed(0)} %)`);
        assert.ok(shownShare > low - 0.1 && shownShare < high + 0.1, "the track bar follows the sound");
      }
      if (f.template.includes("time")) {
        const ink = rgb(f.colours["#383838"]);
        const elapsed = readTime(pixels, 302, 8, ink), total = readTime(pixels, 350, 8, ink);
        console.log(`  after ${played.toFixed(2)} s the clock shows ${elapsed} s of ${total} s`);
        assert.equal(total, f.seconds);
        assert.ok(elapsed >= played - 1 && elapsed <= sinceClick + 1, "the clock follows the sound");
      }
    } finally {
      await page.close();
    }
    ({ page } = await openMovie(session, `/work/${player}${query(0)}`, 0, 0, "/work/"));
    try {
      const meta = await metadata(page);
      await page.evaluate(([w, h]) => {
        const p = document.getElementById("player");
        p.style.width = w + "px";
        p.style.height = h + "px";
      }, [meta.width, meta.height]);
      console.log("  autoplay=0:");
      const first = await waitsForPlay(page, design.at.play);
      await stopHalts(page, design.at.stop, first, f.seconds);
    } finally {
      await page.close();
    }
  });
}

for (const name of ["rate60", "rate120", "rate11025"]) {
  test(`stream ${name} plays whole without stalls`, async () => {
    const f = fixture(name);
    const { page } = await openMovie(session, `/work/${f.name}.swf`, f.width, f.height);
    try {
      await checkMetadata(page, f, `${f.name}.swf`, f.width, f.height);
      // (Followed well past its end, so a sound that goes on is seen.)
      const span = await soundRun(page, await movieBegan(page), f.seconds + 3);
      console.log(`  ${f.rate} Hz at ${f.fps} fps, ${f.seconds} s: ${brief(span)}`);
      const resync = resyncSeconds(f.fps);
      assert.ok(Math.abs(span.loudSeconds - f.seconds) < 0.6 + resync, "whole sound");
      assert.ok(Math.abs(span.seconds - f.seconds) < 0.6 + resync, "at its speed");
      assert.ok(span.gaps <= stallSeconds + resync, "no stalls");
    } finally {
      await page.close();
    }
  });
}

test("event sound SWF plays", async () => {
  const f = fixture("event");
  const { page } = await openMovie(session, `/work/${f.name}.swf`, f.width, f.height);
  try {
    await checkMetadata(page, f, `${f.name}.swf`, f.width, f.height);
    const heard = await listen(page, 1, await waitForSound(page, await movieBegan(page)));
    console.log(`  ${brief(heard)}`);
    assert.ok(heard.soundShare > 0.6 && Math.abs(heard.medianHz - f.hz) < 20);
  } finally {
    await page.close();
  }
});

test("Template.htm, filled in as the page writer does, plays the movie through Ruffle", async () => {
  const page0 = readFileSync(path.join(programDir, "Template.htm"), "utf8");
  const cases = [
    ["player_square_gradient_3", "player_square_gradient_3.swf", 80, 40],
    ["shell_track_time", "shell%5Ftrack%5Ftime.player.swf?soundswf=shell%5Ftrack%5Ftime.swf&autoplay=1&loops=0&duration=6", 396, 32],
  ];
  for (const [name, movie, w, h] of cases) {
    const html = page0.replaceAll("%T%", `${name}.swf`).replaceAll("%BKG%", "#FFFAE6").replaceAll("%W%", String(w))
      .replaceAll("%H%", String(h)).replaceAll("%SWF%", movie).replaceAll("%SWFNAME%", name);
    writeFileSync(path.join(workDir, `${name}.htm`), html);
    const page = await session.context.newPage();
    try {
      await page.goto(`${session.origin}/work/${name}.htm`);
      await page.waitForFunction(() => document.querySelector("ruffle-object, ruffle-embed, ruffle-player")?.ruffle?.().metadata,
        null, { timeout: patience });
      const meta = await page.evaluate(() => {
        const m = document.querySelector("ruffle-object, ruffle-embed, ruffle-player").ruffle().metadata;
        return { width: m.width, height: m.height };
      });
      const heard = await listen(page, 1.2, await waitForSound(page, await movieBegan(page)));
      console.log(`  ${name}.htm: ${JSON.stringify(meta)} ${brief(heard)}`);
      assert.deepEqual(meta, { width: w, height: h });
      assert.ok(heard.soundShare > 0.5, "the page plays the sound");
    } finally {
      await page.close();
    }
  }
});
