// Shared test harness: a static HTTP server on 127.0.0.1 (Ruffle, the
// program folder, a scratch folder), headless Chromium through
// playwright-core with no other network, and helpers to watch a movie.
import { createServer } from "node:http";
import { mkdtempSync, readFileSync, rmSync, statSync } from "node:fs";
import { tmpdir } from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";
import { inflateSync } from "node:zlib";
import { chromium } from "playwright-core";

const here = path.dirname(fileURLToPath(import.meta.url));
export const browserDir = path.resolve(here, "..");
export const programDir = process.env.TEMBREL_PROGRAM_DIR
  ? path.resolve(process.env.TEMBREL_PROGRAM_DIR)
  : path.resolve(browserDir, "../../build/default/program");
export const workDir = mkdtempSync(path.join(process.env.TEMBREL_TEST_TMP || tmpdir(), "browser-"));

// How long to wait for a condition: generous, so a busy machine is slow
// but not failed.
export const patience = 120000;

const roots = {
  "/ruffle/": path.join(browserDir, "node_modules/@ruffle-rs/ruffle"),
  "/harness/": path.join(browserDir, "harness"),
  "/program/": programDir,
  "/work/": workDir,
};
const types = {
  ".js": "text/javascript", ".wasm": "application/wasm", ".swf": "application/x-shockwave-flash",
  ".html": "text/html", ".htm": "text/html", ".jpg": "image/jpeg", ".map": "application/json",
};

function serve(request, response) {
  const url = new URL(request.url, "http://127.0.0.1");
  const prefix = Object.keys(roots).find((p) => url.pathname.startsWith(p));
  if (prefix) {
    const root = roots[prefix];
    const file = path.resolve(root, decodeURIComponent(url.pathname.slice(prefix.length)));
    if (file.startsWith(root + path.sep)) {
      try {
        if (statSync(file).isFile()) {
          response.writeHead(200, { "content-type": types[path.extname(file)] || "application/octet-stream" });
          response.end(readFileSync(file));
          return;
        }
      } catch {}
    }
  }
  response.writeHead(404);
  response.end();
}

// soundAfterClick: the browser's own autoplay policy (sound only after a
// click on the page) rather than sound from the start.
export async function startSession({ soundAfterClick = false } = {}) {
  const server = createServer(serve);
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  const origin = `http://127.0.0.1:${server.address().port}`;
  const profile = mkdtempSync(path.join(tmpdir(), "chromium-profile-"));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    headless: true,
    viewport: { width: 640, height: 240 },
    deviceScaleFactor: 1,
    args: [
      "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync",
      ...(soundAfterClick ? [] : ["--autoplay-policy=no-user-gesture-required"]),
    ],
  });
  // Only our own server and files on disk; a page's Ruffle script address
  // is answered locally.
  await context.route("**/*", (route) => {
    const url = route.request().url();
    if (url.startsWith(origin) || url.startsWith("file:")) return route.continue();
    if (/^https:\/\/unpkg\.com\/@ruffle-rs\/ruffle\/?$/.test(url)) {
      return route.fulfill({ path: path.join(roots["/ruffle/"], "ruffle.js"), contentType: "text/javascript" });
    }
    const asset = url.match(/^https:\/\/unpkg\.com\/@ruffle-rs\/ruffle(?:@[^/]+)?\/(.+)$/);
    if (asset) return route.fulfill({ path: path.join(roots["/ruffle/"], asset[1]) });
    return route.abort();
  });
  context.setDefaultTimeout(patience);
  context.setDefaultNavigationTimeout(patience);
  await context.addInitScript({ path: path.join(here, "audio_tap.js") });
  return {
    origin,
    context,
    async close() {
      await context.close();
      await new Promise((resolve) => server.close(resolve));
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// Reads the page as its own scripts would, without the user gesture that
// Playwright's evaluate grants (which alone lets a page start its sound):
// value(expression), and until(expression, what) polling for a truthy one.
export async function withoutGesture(page) {
  const cdp = await page.context().newCDPSession(page);
  const value = async (expression) => {
    const { result, exceptionDetails } = await cdp.send("Runtime.evaluate", { expression, returnByValue: true });
    if (exceptionDetails) throw new Error(`${expression}: ${exceptionDetails.exception?.description}`);
    return result.value;
  };
  const until = async (expression, what) => {
    const end = Date.now() + patience;
    for (;;) {
      const got = await value(expression);
      if (got) return got;
      if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
  };
  return { value, until };
}

export function removeWork() {
  rmSync(workDir, { recursive: true, force: true });
}

// Opens `swf` (a served path, query allowed) at w x h in the harness page.
export async function openMovie(session, swf, w, h, base = "") {
  const page = await session.context.newPage();
  const messages = [];
  page.on("console", (m) => messages.push(m.text()));
  page.on("pageerror", (e) => messages.push(String(e)));
  const query = new URLSearchParams({ swf, w: String(w), h: String(h), base });
  await page.goto(`${session.origin}/harness/player.html?${query}`);
  await page.evaluate(() => window.testReady);
  await page.waitForFunction(() => document.getElementById("player")?.ruffle().metadata, null, { timeout: patience });
  return { page, messages };
}

export async function metadata(page) {
  return page.evaluate(() => {
    const m = document.getElementById("player").ruffle().metadata;
    return { width: m.width, height: m.height, frameRate: m.frameRate, numFrames: m.numFrames, swfVersion: m.swfVersion };
  });
}

// The rendered stage as RGBA rows (canvas renderer), with the audio clock
// at that moment.
export async function stagePixels(page) {
  return page.evaluate(() => {
    const canvas = document.getElementById("player").shadowRoot.querySelector("canvas");
    const image = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height);
    return { width: image.width, height: image.height, data: Array.from(image.data), now: window.testAudioNow() };
  });
}

export function pixelAt(pixels, x, y) {
  const i = (y * pixels.width + x) * 4;
  return [pixels.data[i], pixels.data[i + 1], pixels.data[i + 2]];
}

export function hex(rgb) {
  return "#" + rgb.map((v) => v.toString(16).padStart(2, "0")).join("").toUpperCase();
}

export function near(rgb, want, tolerance) {
  return rgb.every((v, i) => Math.abs(v - want[i]) <= tolerance);
}

export async function click(page, x, y) {
  const box = await page.locator("#player").boundingBox();
  await page.mouse.click(box.x + x + 0.5, box.y + y + 0.5);
}

// The audio clock of the page's player (seconds), once it has one.
export async function audioNow(page) {
  await page.waitForFunction(() => window.testAudioNow() !== null, null, { timeout: patience });
  return page.evaluate(() => window.testAudioNow());
}

// The audio clock when the movie began (its header was in), else now.
export async function movieBegan(page) {
  const began = await page.evaluate(() => window.testMovieBegan ?? null);
  return began ?? audioNow(page);
}

// Listens to `seconds` of the audio clock from `from` (default: now) and
// summarises what went out then (see testAudioSummary).
export async function listen(page, seconds, from) {
  from ??= await audioNow(page);
  const to = from + seconds;
  await page.waitForFunction((to) => window.testAudioSummary(to, to).covered, to, { timeout: patience, polling: 50 });
  return page.evaluate(([from, to]) => window.testAudioSummary(from, to), [from, to]);
}

// Waits for sound after audio time `from`; returns when it began.
export async function waitForSound(page, from) {
  const handle = await page.waitForFunction((from) => window.testAudioSummary(from).first,
    from, { timeout: patience, polling: 50 });
  return handle.jsonValue();
}

// One run of sound after audio time `from`: waits for it to begin, then for
// `quiet` seconds of silence after it, or `longest` + `quiet` seconds from
// its start.
// `delay` is how long after `from` it began; times are audio seconds, less
// any the page was too busy to feed.
export async function soundRun(page, from, longest, quiet = 1) {
  await page.waitForFunction(([from, longest, quiet]) => {
    const s = window.testAudioSummary(from);
    return s.first !== null && (s.quietAfter >= quiet || s.upTo >= s.first + longest + quiet);
  }, [from, longest, quiet], { timeout: patience, polling: 50 });
  const run = await page.evaluate((from) => window.testAudioSummary(from), from);
  return { ...run, delay: run.first - from - run.starvedBeforeFirst };
}

// Waits for `quiet` seconds of silence after audio time `from`: when the
// silence began and how much sound had gone out since `since`.
export async function silenceAfter(page, from, since, quiet = 0.8) {
  await page.waitForFunction(([from, quiet]) => {
    const s = window.testAudioSummary(from);
    return s.upTo !== null && s.quietAfter >= quiet;
  }, [from, quiet], { timeout: patience, polling: 50 });
  return page.evaluate(([from, since]) => {
    const after = window.testAudioSummary(from), all = window.testAudioSummary(since);
    return { silentFrom: Math.max(from, after.last ?? from), played: all.loudSeconds, upTo: after.upTo };
  }, [from, since]);
}

// Waits until the stage has been drawn.
export async function waitForStage(page) {
  await page.waitForFunction(() => {
    const canvas = document.getElementById("player")?.shadowRoot?.querySelector("canvas");
    if (!canvas || !canvas.width) return false;
    const data = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
    for (let i = 3; i < data.length; i += 4) if (data[i]) return true;
    return false;
  }, null, { timeout: patience, polling: 50 });
}

// A stream at more than 12 fps: when the page stalls, Ruffle finds the
// stream out of step with the timeline and restarts it at the timeline's
// frame, which repeats or skips a little of it. Tests allow this much of
// that (audio seconds); a stream played at the wrong speed, or restarted
// over and over, still fails.
export const resyncSeconds = (fps) => (fps > 12 ? 1.5 : 0);

// Brief form of a summary for the log.
export function brief(s) {
  const r = (v) => (typeof v === "number" ? Number(v.toFixed(3)) : v);
  return JSON.stringify(Object.fromEntries(Object.entries(s).filter(([k]) => k !== "covered").map(([k, v]) => [k, r(v)])));
}

// Reads m:ss from three seven-segment digits at x, x+16, x+28 (top y)
// drawn in `ink`.
export function readTime(pixels, x, y, ink) {
  const spots = { a: [5, 1], b: [9, 4], c: [9, 12], d: [5, 15], e: [1, 12], f: [1, 4], g: [5, 8] };
  const digits = { abcdef: 0, bc: 1, abdeg: 2, abcdg: 3, bcfg: 4, acdfg: 5, acdefg: 6, abc: 7, abcdefg: 8, abcdfg: 9 };
  const read = (dx) => {
    let lit = "";
    for (const [name, [sx, sy]] of Object.entries(spots)) {
      if (near(pixelAt(pixels, x + dx + sx, y + sy), ink, 48)) lit += name;
    }
    return digits[lit] ?? NaN;
  };
  return read(0) * 60 + read(16) * 10 + read(28);
}

// Top-level tags of an uncompressed SWF file: counts by code.
export function tagCounts(bytes) {
  const nbits = bytes[8] >> 3;
  let p = 8 + Math.ceil((5 + 4 * nbits) / 8) + 4;
  const counts = {};
  while (p + 2 <= bytes.length) {
    const v = bytes[p] | (bytes[p + 1] << 8);
    let length = v & 63, header = 2;
    if (length === 63) { length = bytes.readUInt32LE(p + 2); header = 6; }
    counts[v >> 6] = (counts[v >> 6] || 0) + 1;
    p += header + length;
    if (v >> 6 === 0) break;
  }
  return counts;
}

// Stage size and frame rate from an SWF file's header, as Ruffle should report them.
export function stageSize(file) {
  let bytes = readFileSync(file);
  const signature = bytes.toString("latin1", 0, 3);
  if (signature === "CWS") bytes = Buffer.concat([bytes.subarray(0, 8), inflateSync(bytes.subarray(8))]);
  else if (signature !== "FWS") throw new Error(`${file} is not an SWF`);
  const nbits = bytes[8] >> 3;
  const field = (i) => {
    let v = 0;
    for (let b = 0; b < nbits; b++) {
      const bit = 5 + i * nbits + b;
      v = (v << 1) | ((bytes[8 + (bit >> 3)] >> (7 - (bit & 7))) & 1);
    }
    return v >= 1 << (nbits - 1) ? v - (1 << nbits) : v;
  };
  const rate = 8 + Math.ceil((5 + 4 * nbits) / 8);  // 8.8 fixed point, fraction first
  return { width: (field(1) - field(0)) / 20, height: (field(3) - field(2)) / 20, frameRate: bytes[rate + 1] + bytes[rate] / 256 };
}
