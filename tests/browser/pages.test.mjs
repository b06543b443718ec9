// The pages tembrel-convert writes, opened as users open them: from disk
// (file://) in headless Chromium with the network off, then from a plain
// static server on 127.0.0.1, asking no other host; one from disk in
// Firefox. Every output kind goes into one folder, as a user's pages do,
// with one Ruffle beside them all: bare streaming and event sound, a player
// of each shipped template kind, and the shell pair.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { copyFileSync, existsSync, mkdirSync, readFileSync, readdirSync } from "node:fs";
import path from "node:path";
import { pathToFileURL } from "node:url";
import {
  brief, browserDir, hex, listen, movieBegan, near, patience, programDir, removeWork, stageSize, startSession,
  waitForSound, withoutGesture, workDir,
} from "./lib/harness.mjs";
import { firefoxPath, launchFirefox } from "./lib/marionette.mjs";
import { decodePng } from "./lib/png.mjs";

const converter = path.join(programDir, "tembrel-convert");
const pages = path.join(workDir, "pages");
const toneHz = 440;
const userColour = [0xC0, 0x30, 0x6A];
const ruffleVersion = JSON.parse(readFileSync(path.resolve(browserDir, "../../resources/ruffle/package.json"), "utf8"))
  .dependencies["@ruffle-rs/ruffle"];
const player = (template) => ["--controls", path.join(programDir, "ControlSWF", template)];
// One page per kind, named after it.
const kinds = {
  "bare stream": ["--no-controls", "--stream"],
  "bare event": ["--no-controls", "--event"],
  "player circle_gradient_1": player("circle_gradient_1.swf"),
  "player circle_plain_1": player("circle_plain_1.swf"),
  "player text_1": player("text_1.swf"),
  "player square_gradient_3": player("square_gradient_3.swf"),
  "player track_bar": player("track_bar.swf"),
  "player trumpet_1": player("trumpet_1.swf"),
  "player round_rect_1": player("round_rect_1.swf"),
  "player use_a_jpeg_1": player("use_a_jpeg_1.swf"),
  "shell pair track_time #1? 100%": ["--shell-player", path.join(programDir, "ControlSWF/ShellPlayer/track_time.swf")],
};
const records = {};
let session;

// Converts a copy of the tone named `name` into `out` with the default
// settings and `options`; returns its --json record.
function convert(tone, name, out, options) {
  const source = path.join(workDir, "sources", `${name}.wav`);
  copyFileSync(tone, source);
  const config = path.join(workDir, "config");
  mkdirSync(config, { recursive: true });
  const stdout = execFileSync(converter, ["--json", "--html", "--autoplay", "--no-loop", "--exists", "overwrite",
    "--button-color", hex(userColour), "--out", out, ...options, source],
  { env: { ...process.env, XDG_CONFIG_HOME: config }, encoding: "utf8" });
  const record = JSON.parse(stdout.trim().split("\n").at(-1));
  assert.equal(record.reason, "", `${name}: ${stdout}`);
  return record;
}

before(async () => {
  mkdirSync(path.join(workDir, "sources"), { recursive: true });
  const tone = path.join(workDir, "tone.wav");
  execFileSync("ffmpeg", ["-v", "error", "-y", "-f", "lavfi", "-i", `sine=frequency=${toneHz}:sample_rate=44100:duration=4`,
    "-ac", "2", "-c:a", "pcm_s16le", tone]);
  for (const [kind, options] of Object.entries(kinds)) records[kind] = convert(tone, kind, pages, options);
  records.web = convert(tone, "from the web", path.join(workDir, "web"), ["--page-ruffle", "web"]);
  session = await startSession();
});
after(async () => {
  await session?.close();
  removeWork();
});

// A page with the network off: every request to the web fails (and is
// still logged).
async function offlinePage() {
  const page = await session.context.newPage();
  await page.route(/^https?:/, (route) => route.abort("internetdisconnected"));
  return page;
}

// Opens a page and waits for Ruffle to have its movie; logs every request.
async function openPage(url, { offline = false } = {}) {
  const page = offline ? await offlinePage() : await session.context.newPage();
  const requests = [];
  page.on("request", (r) => requests.push(r.url()));
  await page.goto(url);
  await page.waitForFunction(() => document.querySelector("ruffle-object")?.ruffle?.().metadata, null, { timeout: patience });
  const shown = await page.evaluate(() => {
    const m = document.querySelector("ruffle-object").ruffle().metadata;
    return { width: m.width, height: m.height, frameRate: m.frameRate };
  });
  return { page, requests, shown };
}

const fileName = (url) => decodeURIComponent(path.basename(new URL(url).pathname));
const served = (file) => `${session.origin}/work/${path.relative(workDir, file).split(path.sep).map(encodeURIComponent).join("/")}`;

test("one Ruffle lies beside the folder's pages, without its source maps or bare wasm", () => {
  const ruffle = path.join(pages, "tembrel-ruffle");
  const names = readdirSync(ruffle).sort();
  console.log(`  ${names.join(", ")}`);
  assert.deepEqual(names, readdirSync(path.join(programDir, "tembrel-ruffle")).concat("movies").sort());
  assert.ok(!names.some((n) => n.endsWith(".map") || n.endsWith(".wasm")));
  assert.equal(readdirSync(path.join(ruffle, "movies")).length, Object.keys(kinds).length + 1, "every movie carried");
  assert.ok(!existsSync(path.join(workDir, "web", "tembrel-ruffle")), "nothing beside a page with Ruffle from the web");
});

for (const kind of Object.keys(kinds)) {
  test(`${kind}: its page plays from disk with the network off, and served asks no other host`, async () => {
    const record = records[kind];
    const want = stageSize(record.player || record.swf);
    let opened;
    try {
      opened = await openPage(pathToFileURL(record.page).href, { offline: true });
      const heard = await listen(opened.page, 1.2, await waitForSound(opened.page, await movieBegan(opened.page)));
      console.log(`  from disk: header ${JSON.stringify(want)}, Ruffle ${JSON.stringify(opened.shown)}, ${brief(heard)}`);
      assert.deepEqual(opened.shown, want);
      assert.ok(heard.soundShare > 0.5, "sound comes out");
      assert.ok(Math.abs(heard.medianHz - toneHz) < 20, `pitch ${heard.medianHz} Hz`);
      const outside = opened.requests.filter((url) => !url.startsWith("file://"));
      assert.deepEqual(outside, [], "from disk nothing is asked of the network");
      const carried = opened.requests.filter((url) => url.includes("/tembrel-ruffle/movies/")).map(fileName);
      assert.ok(carried.includes(path.basename(record.swf) + ".js"), `the movie carried beside Ruffle: ${carried.join(", ")}`);
    } finally {
      await opened?.page.close();
    }

    opened = await openPage(served(record.page));
    try {
      await waitForSound(opened.page, await movieBegan(opened.page));
      const hosts = [...new Set(opened.requests.map((url) => new URL(url).host))];
      console.log(`  served: ${opened.requests.length} requests to ${hosts.join(", ")}`);
      assert.deepEqual(opened.shown, want);
      assert.deepEqual(hosts, [new URL(session.origin).host], "served, the page asks only its own host");
      assert.ok(opened.requests.map(fileName).includes(path.basename(record.swf)), "served, the movie itself is fetched");
    } finally {
      await opened.page.close();
    }
  });
}

// What a person would click on the page: a button of the page's own or
// Ruffle's play button, shown and big enough to see and hit (16 x 16 px);
// whether a notice covers the movie. Null while Ruffle is not waiting for
// a click when asked to wait for that.
function controls(untilRuffleWaits) {
  const player = document.querySelector("ruffle-object");
  const shadow = player && player.shadowRoot;
  const shown = (element) => {
    const box = element.getBoundingClientRect();
    return getComputedStyle(element).display !== "none" && !element.hidden && box.width >= 16 && box.height >= 16 &&
      { x: box.x + box.width / 2, y: box.y + box.height / 2, what: element.id || element.className || element.tagName };
  };
  const play = shadow && shadow.querySelector("#play-button");
  const notice = shadow && shadow.querySelector("#hardware-acceleration-modal");
  const ruffleWaits = !!play && getComputedStyle(play).display !== "none";
  if (untilRuffleWaits && !ruffleWaits) return null;
  return {
    notice: !!notice && !notice.classList.contains("hidden"),
    found: [...document.querySelectorAll("button"), ...(play ? [play] : [])].map(shown).filter(Boolean),
  };
}

test("sound only after a click, as browsers ship: one click on what each page shows plays it", async () => {
  const clicking = await startSession({ soundAfterClick: true });
  try {
    for (const kind of ["bare stream", "bare event", "player square_gradient_3", "shell pair track_time #1? 100%"]) {
      const page = await clicking.context.newPage();
      try {
        // Read without a gesture: only the click may let the sound start.
        const quiet = await withoutGesture(page);
        await page.goto(pathToFileURL(records[kind].page).href);
        const waiting = await quiet.until(`(${controls})(true)`, `${kind}: Ruffle waiting for a click`);
        assert.equal(waiting.found.length, 1, `${kind}: one control to click: ${JSON.stringify(waiting.found)}`);
        assert.equal(await quiet.value("window.testAudioSummary(0).first"), null, `${kind}: silent before the click`);
        const clickedAt = Date.now();
        await page.mouse.click(waiting.found[0].x, waiting.found[0].y);
        const first = await quiet.until("window.testAudioSummary(0).first", `${kind}: sound after the click`);
        const wait = (Date.now() - clickedAt) / 1000;
        await quiet.until(`window.testAudioSummary(${first + 1.2}, ${first + 1.2}).covered`, `${kind}: 1.2 s of it`);
        const heard = await quiet.value(`window.testAudioSummary(${first}, ${first + 1.2})`);
        const after = await quiet.value(`(${controls})()`);
        console.log(`  ${kind}: clicked ${waiting.found[0].what}, sound within ${wait} s: ${brief(heard)}, notice ${after.notice}`);
        assert.ok(heard.soundShare > 0.5, `${kind}: sound comes out`);
        assert.ok(Math.abs(heard.medianHz - toneHz) < 20, `${kind}: pitch ${heard.medianHz} Hz`);
        assert.ok(!after.notice, `${kind}: no notice over the movie`);
      } finally {
        await page.close();
      }
    }
  } finally {
    await clicking.close();
  }
});

test("Ruffle from the web: the page loads the pinned version from the web", async () => {
  const { page, requests, shown } = await openPage(served(records.web.page));
  try {
    const web = requests.filter((url) => !url.startsWith(session.origin));
    console.log(`  from the web: ${web.join(", ")}`);
    assert.deepEqual(shown, stageSize(records.web.swf));
    assert.ok(web.length > 0 && web.every((url) => url.startsWith(`https://unpkg.com/@ruffle-rs/ruffle@${ruffleVersion}/`)),
      `only Ruffle ${ruffleVersion} from the web`);
  } finally {
    await page.close();
  }
});

test("without script, or with no player to start, the page says in words what it shows", async () => {
  // The page and its movie copied away from the Ruffle folder, offline, and
  // the web's Ruffle out of reach.
  const lonely = path.join(workDir, "lonely");
  mkdirSync(lonely, { recursive: true });
  for (const file of [records["bare stream"].page, records["bare stream"].swf]) copyFileSync(file, path.join(lonely, path.basename(file)));
  const words = async (page) => {
    await page.waitForFunction(() => getComputedStyle(document.querySelector(".needs-player")).display !== "none",
      null, { timeout: patience });
    return page.evaluate(() => document.querySelector(".needs-player").innerText);
  };
  const scriptless = await session.context.newPage();
  const cdp = await session.context.newCDPSession(scriptless);
  await cdp.send("Emulation.setScriptExecutionDisabled", { value: true });
  const noPlayer = await offlinePage();
  try {
    await scriptless.goto(pathToFileURL(records["bare stream"].page).href);
    await noPlayer.goto(pathToFileURL(path.join(lonely, path.basename(records["bare stream"].page))).href);
    for (const [what, page] of [["without script", scriptless], ["without a player", noPlayer]]) {
      const text = await words(page);
      console.log(`  ${what}: ${text}`);
      assert.match(text, /Flash movie bare stream\.swf\. It needs a Flash player such as Ruffle/);
    }
  } finally {
    await scriptless.close();
    await noPlayer.close();
  }
});

test("Firefox opens a player's page from disk and shows its buttons in the user's colour",
  { skip: !existsSync(firefoxPath) && `${firefoxPath} is not installed` }, async () => {
    const record = records["player square_gradient_3"];
    const want = stageSize(record.swf);
    const firefox = await launchFirefox({ width: 640, height: 240, patience });
    try {
      await firefox.navigate(pathToFileURL(record.page).href);
      // Firefox holds Ruffle behind its play button until a click.
      const state = await firefox.until(() => firefox.run(`
        const p = document.querySelector("ruffle-object");
        const play = p && p.shadowRoot && p.shadowRoot.querySelector("#play-button");
        const waiting = !!play && getComputedStyle(play).display !== "none";
        const m = p && p.ruffle && p.ruffle().metadata;
        return (waiting || m) && { waiting, metadata: m ? [m.width, m.height] : null,
          local: !!window.TembrelRuffle, web: !!document.querySelector('script[src^="http"]') };`), "Ruffle in Firefox");
      console.log(`  ${JSON.stringify(state)}`);
      assert.ok(state.local && !state.web, "the Ruffle beside the page");
      const movie = await firefox.element("ruffle-object");
      if (state.waiting) await firefox.click(movie);
      const faces = [[8, 10], [48, 10]];
      const shot = await firefox.until(async () => {
        const png = decodePng(await firefox.screenshot(movie));
        const at = ([x, y]) => [...png.data.subarray((y * png.width + x) * 4, (y * png.width + x) * 4 + 3)];
        return faces.every((spot) => near(at(spot), userColour, 8)) && { png, seen: faces.map(at) };
      }, "the buttons in the user's colour").catch((error) => assert.fail(String(error)));
      console.log(`  screenshot ${shot.png.width}x${shot.png.height}, faces ${shot.seen.map(hex).join(" ")}`);
      assert.deepEqual([shot.png.width, shot.png.height], [want.width, want.height]);
    } finally {
      await firefox.close();
    }
  });
