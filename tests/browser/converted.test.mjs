// End to end: a tone made by FFmpeg, converted by tembrel-convert with
// default stored settings, and the HTML page it wrote (the shipped
// Template.htm filled in by the page writer) opened in Chromium: Ruffle
// shows the movie at its size and sound comes out. Covers the single
// player, the shell-player pair (which loads its sound SWF by query) and a
// bare streaming sound SWF at 120 fps.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdirSync, readFileSync } from "node:fs";
import path from "node:path";
import {
  brief, browserDir, listen, movieBegan, patience, programDir, removeWork, resyncSeconds, soundRun, stageSize, startSession,
  waitForSound, workDir,
} from "./lib/harness.mjs";

const converter = path.join(programDir, "tembrel-convert");
const toneHz = 440;
const toneSeconds = 4;
// Latest start (audio seconds from the movie's start) that counts as at
// once: a busy machine delays it, but not past half the tone.
const startsAtOnce = toneSeconds / 2;
let session;
let source;

// Runs the converter into work/<name>/ with settings of its own and returns
// its one --json record.
function convert(name, options) {
  const out = path.join(workDir, name);
  const config = path.join(workDir, `config-${name}`);
  mkdirSync(config, { recursive: true });
  const stdout = execFileSync(converter, ["--json", "--html", "--autoplay", "--no-loop", "--out", out, ...options, source], {
    env: { ...process.env, XDG_CONFIG_HOME: config },
    encoding: "utf8",
  });
  const records = stdout.trim().split("\n").filter((l) => l.startsWith("{")).map((l) => JSON.parse(l));
  assert.equal(records.length, 1, stdout);
  const record = records[0];
  console.log(`  ${name}: ${JSON.stringify(record)}`);
  assert.ok(record.page.startsWith(out + path.sep), "the page is written beside the SWF");
  return record;
}

// The page the converter wrote must be the shipped Template.htm with its
// placeholders filled in (not the built-in page, no placeholder left).
function assertFromShippedTemplate(html) {
  const shipped = readFileSync(path.resolve(browserDir, "../../tools/Template.htm"), "utf8");
  const pattern = shipped.split(/%(?:T|BKG|W|H|SWF|SWFNAME)%/)
    .map((text) => text.replace(/[.*+?^${}()|[\]\\]/g, "\\$&")).join('[^<>"%]*');
  assert.match(html, new RegExp(`^${pattern}$`), "the page is Template.htm filled in");
}

// Opens a written page from the output folder and waits for Ruffle to have
// the movie; records which SWFs the page fetched.
async function openPage(file) {
  const page = await session.context.newPage();
  const fetched = [];
  page.on("response", (r) => fetched.push({ url: decodeURIComponent(new URL(r.url()).pathname), status: r.status() }));
  const served = path.relative(workDir, file).split(path.sep).map(encodeURIComponent).join("/");
  await page.goto(`${session.origin}/work/${served}`);
  await page.waitForFunction(() => document.querySelector("ruffle-object, ruffle-embed, ruffle-player")?.ruffle?.().metadata,
    null, { timeout: patience });
  const shown = await page.evaluate(() => {
    const player = document.querySelector("ruffle-object, ruffle-embed, ruffle-player");
    const m = player.ruffle().metadata;
    const box = player.getBoundingClientRect();
    return { width: m.width, height: m.height, frameRate: m.frameRate, box: [Math.round(box.width), Math.round(box.height)] };
  });
  return { page, fetched, shown };
}

before(async () => {
  source = path.join(workDir, "tone.wav");
  execFileSync("ffmpeg", ["-v", "error", "-y", "-f", "lavfi", "-i", `sine=frequency=${toneHz}:sample_rate=44100:duration=${toneSeconds}`,
    "-ac", "2", "-c:a", "pcm_s16le", source]);
  session = await startSession();
});
after(async () => {
  await session?.close();
  removeWork();
});

test("single player from the default template: its page shows the movie and plays the tone", async () => {
  const record = convert("single", []);
  assert.equal(record.player, "");
  const html = readFileSync(record.page, "utf8");
  assertFromShippedTemplate(html);
  assert.ok(html.includes('data="tone.swf"'), "and refers to the SWF beside it");
  const want = stageSize(record.swf);
  const { page, fetched, shown } = await openPage(record.page);
  try {
    const heard = await listen(page, 1.2, await waitForSound(page, await movieBegan(page)));
    console.log(`  header ${JSON.stringify(want)}, Ruffle ${JSON.stringify(shown)}, ${brief(heard)}`);
    assert.deepEqual([shown.width, shown.height], [want.width, want.height]);
    assert.deepEqual(shown.box, [want.width, want.height], "the page sizes the player to the movie");
    assert.ok(fetched.some((f) => f.url.endsWith("/single/tone.swf") && f.status === 200));
    assert.ok(heard.soundShare > 0.6, "sound comes out");
    assert.ok(Math.abs(heard.medianHz - toneHz) < 20, `pitch ${heard.medianHz} Hz`);
  } finally {
    await page.close();
  }
});

test("shell player pair: its page passes the sound SWF by query and the player loads and plays it", async () => {
  const record = convert("shell", ["--shell-player", path.join(programDir, "ControlSWF/ShellPlayer/track_time.swf")]);
  assert.ok(record.player.endsWith(".player.swf"), record.player);
  const html = readFileSync(record.page, "utf8");
  assertFromShippedTemplate(html);
  const movie = html.match(/data="([^"]+)"/)[1];
  console.log(`  page movie: ${movie}`);
  assert.match(movie, new RegExp(`\\?soundswf=tone\\.swf&(amp;)?autoplay=1&(amp;)?loops=0&(amp;)?duration=${toneSeconds}$`));
  const want = stageSize(record.player);
  const { page, fetched, shown } = await openPage(record.page);
  try {
    const span = await soundRun(page, await movieBegan(page), toneSeconds);
    const swfs = fetched.filter((f) => f.url.endsWith(".swf")).map((f) => `${path.basename(f.url)} ${f.status}`);
    console.log(`  header ${JSON.stringify(want)}, Ruffle ${JSON.stringify(shown)}, fetched ${swfs.join(", ")}, ${brief(span)}`);
    assert.deepEqual([shown.width, shown.height], [want.width, want.height]);
    assert.deepEqual(shown.box, [want.width, want.height]);
    assert.ok(fetched.some((f) => f.url.endsWith("/shell/" + path.basename(record.player)) && f.status === 200));
    assert.ok(fetched.some((f) => f.url.endsWith("/shell/tone.swf") && f.status === 200), "the player loads the sound SWF");
    assert.ok(span.delay < startsAtOnce, "sound starts at once");
    assert.ok(Math.abs(span.seconds - toneSeconds) < 0.6, `plays the tone once through (${span.seconds} s)`);
  } finally {
    await page.close();
  }
});

test("bare streaming sound SWF at 120 fps: its page plays the whole tone without stalls", async () => {
  const record = convert("bare", ["--no-controls", "--stream", "--fps", "120"]);
  assertFromShippedTemplate(readFileSync(record.page, "utf8"));
  const want = stageSize(record.swf);
  assert.equal(want.frameRate, 120);
  const { page, shown } = await openPage(record.page);
  try {
    // (Followed well past its end, so a sound that goes on is seen.)
    const span = await soundRun(page, await movieBegan(page), toneSeconds + 3);
    console.log(`  header ${JSON.stringify(want)}, Ruffle ${JSON.stringify(shown)}, ${brief(span)}`);
    const resync = resyncSeconds(120);
    assert.deepEqual([shown.width, shown.height, shown.frameRate], [want.width, want.height, 120]);
    assert.deepEqual(shown.box, [want.width, want.height]);
    assert.ok(span.delay < startsAtOnce, "sound starts at once");
    assert.ok(Math.abs(span.loudSeconds - toneSeconds) < 0.6 + resync, `plays the whole tone (${span.loudSeconds} s)`);
    assert.ok(Math.abs(span.seconds - toneSeconds) < 0.6 + resync, `once through (${span.seconds} s)`);
    assert.ok(span.gaps <= 0.1 + resync, "without stalls");
  } finally {
    await page.close();
  }
});
