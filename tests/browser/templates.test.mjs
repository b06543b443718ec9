// The shipped templates on their own in Ruffle: stage, rate, frames and
// version as written; the controls drawn in their kinds' key colours; a
// shell player loading a sound SWF (made by FFmpeg) and obeying its query.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import path from "node:path";
import {
  audioNow, brief, click, hex, listen, metadata, movieBegan, near, openMovie, pixelAt, readTime, removeWork, silenceAfter,
  patience, stagePixels, startSession, waitForSound, waitForStage, workDir,
} from "./lib/harness.mjs";

let session;
before(async () => {
  session = await startSession();
});
after(async () => {
  await session?.close();
  removeWork();
});

const grey = (v) => [v, v, v];
// [template, width, height, [[x, y, expected RGB, tolerance, what]...]]
const templates = [
  ["ControlSWF/square_gradient_3.swf", 80, 40, [[8, 10, [0x00, 0x33, 0x66], 6, "play face"], [48, 10, [0x00, 0x33, 0x66], 6, "stop face"]]],
  ["ControlSWF/square_gradient_time.swf", 180, 40, [[8, 10, [0x00, 0x33, 0x66], 6, "play face"], [93, 13, [0x00, 0x33, 0x66], 24, "digit"]]],
  ["ControlSWF/circle_gradient_1.swf", 80, 40, [
    [4 + 11, 20, [0xD5, 0xFF, 0xD7], 10, "lighter ring"], [4 + 7, 20, [0x61, 0xEF, 0x01], 10, "light ring"],
    [4 + 4, 20, [0x1D, 0xA4, 0x00], 10, "base ring"], [4 + 1, 20, [0x00, 0x4A, 0x00], 24, "dark ring"]]],
  ["ControlSWF/circle_plain_1.swf", 80, 40, [[20, 8, [0, 0, 0], 6, "play circle"], [60, 8, [0, 0, 0], 6, "stop circle"]]],
  ["ControlSWF/text_1.swf", 168, 40, [[9, 15, [0, 0, 0], 24, "P of PLAY"], [5, 20, [0, 0, 0], 40, "play frame"]]],
  ["ControlSWF/trumpet_1.swf", 80, 40, [[4 + 28, 20, [0x33, 0x66, 0xCC], 6, "bell"], [47, 20, [0x33, 0x66, 0xCC], 6, "stop face"]]],
  ["ControlSWF/round_rect_1.swf", 80, 40, [[20, 6, grey(0xB0), 14, "top of face"], [20, 32, grey(0x6C), 14, "foot of face"], [4, 20, grey(0x5E), 24, "edge"]]],
  ["ControlSWF/track_bar.swf", 300, 32, [
    [150, 4, grey(0x88), 6, "panel top"], [150, 28, grey(0xD5), 6, "panel bottom"], [150, 0, grey(0x38), 20, "border"],
    [200, 16, grey(0x55), 6, "groove"], [18, 16, grey(0x17), 10, "play icon"], [66, 10, grey(0xD4), 16, "knob"]]],
  ["ControlSWF/track_time.swf", 396, 32, [[150, 4, grey(0x88), 6, "panel top"], [200, 16, grey(0x55), 6, "groove"], [66, 10, grey(0xD4), 16, "knob"]]],
  ["ControlSWF/use_a_jpeg_1.swf", 30, 25, [[21, 10, [0xFF, 0xD6, 0x46], 40, "sun of the placeholder"]]],
  ["ControlSWF/ShellPlayer/square_gradient_3.swf", 80, 40, [[8, 10, [0x00, 0x33, 0x66], 6, "play face"]]],
  ["ControlSWF/ShellPlayer/circle_plain_1.swf", 80, 40, [[20, 8, [0, 0, 0], 6, "play circle"]]],
  ["ControlSWF/ShellPlayer/track_bar.swf", 300, 32, [[150, 4, grey(0x88), 6, "panel top"], [200, 16, grey(0x55), 6, "empty groove"]]],
  ["ControlSWF/ShellPlayer/track_time.swf", 396, 32, [[150, 4, grey(0x88), 6, "panel top"]]],
  ["empty.swf", 1, 1, []],
];

// Waits until every spot shows its colour within its tolerance.
function waitForColours(page, spots) {
  return page.waitForFunction((spots) => {
    const canvas = document.getElementById("player").shadowRoot.querySelector("canvas");
    const data = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
    return spots.every(([x, y, want, tolerance]) =>
      want.every((v, i) => Math.abs(data[(y * canvas.width + x) * 4 + i] - v) <= tolerance));
  }, spots, { timeout: patience, polling: 50 });
}

for (const [name, width, height, spots] of templates) {
  test(`${name} loads at its size and shows its key colours`, async () => {
    const { page, messages } = await openMovie(session, `/program/${name}`, width, height);
    try {
      const meta = await metadata(page);
      console.log(`${name}: metadata ${JSON.stringify(meta)}`);
      assert.deepEqual(meta, { width, height, frameRate: 12, numFrames: 6, swfVersion: 6 });
      // The first paint may be the background alone: wait for the controls
      // (a template that never shows its colours fails the checks below).
      await waitForStage(page);
      await waitForColours(page, spots).catch(() => {});
      const pixels = await stagePixels(page);
      assert.equal(pixels.width, width);
      for (const [x, y, want, tolerance, what] of spots) {
        const seen = pixelAt(pixels, x, y);
        console.log(`  ${what} at ${x},${y}: ${hex(seen)} (key ${hex(want)})`);
        assert.ok(near(seen, want, tolerance), `${what}: saw ${hex(seen)}, want ${hex(want)}`);
      }
      if (name.includes("time")) {
        const x = name.includes("track") ? 302 : 88, y = name.includes("track") ? 8 : 12;
        const ink = name.includes("track") ? grey(0x38) : [0x00, 0x33, 0x66];
        const shown = [readTime(pixels, x, y, ink), readTime(pixels, x + 48, y, ink)];
        console.log(`  time shown: ${shown.join(" / ")} s`);
        assert.deepEqual(shown, [0, 0]);
      }
    } finally {
      if (messages.some((m) => /panic|error/i.test(m))) console.log(messages.join("\n"));
      await page.close();
    }
  });
}

// A sound SWF from FFmpeg: a 660 Hz tone, MP3 22050 Hz, 4 s.
function toneSwf(file, seconds) {
  execFileSync("ffmpeg", ["-v", "error", "-y", "-f", "lavfi", "-i", `sine=f=660:d=${seconds}:r=22050`,
    "-c:a", "libmp3lame", "-b:a", "64k", "-ar", "22050", "-f", "swf", path.join(workDir, file)]);
}

// (Every shell player is also played with the builders' sound SWFs.)
const shells = [
  ["square_gradient_3.swf", 80, 40, { play: [20, 20], stop: [60, 20] }],
  ["track_time.swf", 396, 32, { play: [18, 16], stop: [46, 16] }],
];

for (const [name, width, height, at] of shells) {
  test(`shell player ${name} plays the sound SWF of its query, stops, and waits with autoplay=0`, async () => {
    toneSwf("tone.swf", 6);
    const player = `/program/ControlSWF/ShellPlayer/${name}`;
    let { page } = await openMovie(session, `${player}?soundswf=/work/tone.swf&autoplay=1&loops=0&duration=6`, width, height);
    try {
      const first = await waitForSound(page, await movieBegan(page));
      const playing = await listen(page, 1.5, first);
      console.log(`${name} autoplay=1: ${brief(playing)}`);
      assert.ok(playing.soundShare > 0.6, "sound comes out");
      assert.ok(Math.abs(playing.medianHz - 660) < 20, "at the tone's pitch");
      const clicked = await audioNow(page);
      await click(page, ...at.stop);
      const stopped = await silenceAfter(page, clicked, first, 1);
      console.log(`${name} after stop: silent ${(stopped.silentFrom - clicked).toFixed(2)} s after the click, ` +
        `${stopped.played.toFixed(2)} s of 6 s played`);
      assert.ok(stopped.silentFrom - clicked < 3, "stop halts the sound");
      assert.ok(stopped.played < 5, "before the sound ends by itself");
    } finally {
      await page.close();
    }
    ({ page } = await openMovie(session, `${player}?soundswf=/work/tone.swf&autoplay=0&loops=0&duration=6`, width, height));
    try {
      const waiting = await listen(page, 1.5, await movieBegan(page));
      console.log(`${name} autoplay=0: ${brief(waiting)}`);
      assert.ok(waiting.soundShare < 0.1, "nothing plays before play is clicked");
      const clicked = await audioNow(page);
      await click(page, ...at.play);
      const started = await listen(page, 1.5, await waitForSound(page, clicked));
      console.log(`${name} after play: ${brief(started)}`);
      assert.ok(started.soundShare > 0.6, "play starts the sound");
    } finally {
      await page.close();
    }
  });
}
