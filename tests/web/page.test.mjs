// The show's web page in Debian's headless Chromium, driven through puppeteer-core:
//   KELPWAX_WEB_URL=http://127.0.0.1:PORT/ (scripts/serve-web.sh PORT)
//   KELPWAX_DESKTOP_FRAMES=DIR   the desktop's frames (kelpwax-capture --at POSITIONS -o DIR)
//   KELPWAX_WEB_FRAMES_OUT=DIR   where the page's frames go, as web-SECONDS.png
//   KELPWAX_WEB_POSITIONS="0 32.4 ..."   the play positions to compare
//   KELPWAX_COMPARE=PATH         tools/compare's kelpwax-compare
//   node --test tests/web/
// Each group of tests opens the page afresh in its own tab; the tests wait for
// the states the page reports (document.body.dataset.stage, the show's play position).
import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import { mkdirSync } from "node:fs";
import { join } from "node:path";
import { after, before, describe, it, test } from "node:test";
import puppeteer from "puppeteer-core";

const inputs = ["KELPWAX_WEB_URL", "KELPWAX_DESKTOP_FRAMES", "KELPWAX_WEB_FRAMES_OUT", "KELPWAX_WEB_POSITIONS",
  "KELPWAX_COMPARE"];
const missingInputs = inputs.filter((name) => !process.env[name]);
const url = process.env.KELPWAX_WEB_URL;
const desktopFrames = process.env.KELPWAX_DESKTOP_FRAMES;
const framesOut = process.env.KELPWAX_WEB_FRAMES_OUT;
const positions = (process.env.KELPWAX_WEB_POSITIONS ?? "").split(/\s+/).filter(Boolean);
const compare = process.env.KELPWAX_COMPARE;

const pageSize = { width: 1280, height: 720, deviceScaleFactor: 1 };
const loadTimeoutMs = 60000;

// Chromium reports a failed WebGL call as a warning ("WebGL: INVALID_VALUE: ..."
// or "[.WebGL-...]GL_INVALID_..."), and stops after a few dozen per context.
const fromWebGl = (text) => /^(WebGL|\[\.WebGL)/.test(text);

const timeout = { timeout: 120000 };
let browser;

// A fresh tab on the address, collecting console errors and WebGL messages.
// fullWindow drops the fixed viewport, so that full screen takes the whole screen.
async function openPage(address, { fullWindow = false, beforeLoad } = {}) {
  const page = await browser.newPage();
  page.consoleErrors = [];
  page.on("console", (message) => {
    if (message.type() === "error" || fromWebGl(message.text())) page.consoleErrors.push(message.text());
  });
  page.on("pageerror", (error) => page.consoleErrors.push(String(error)));
  if (fullWindow) await page.setViewport(null);
  if (beforeLoad) await beforeLoad(page);
  await page.goto(address, { waitUntil: "domcontentloaded" });
  return page;
}

async function until(page, condition, arg, timeoutMs, what) {
  const started = performance.now();
  try {
    await page.waitForFunction(condition, { timeout: timeoutMs, polling: 50 }, arg);
  } catch (error) {
    throw new Error(`timed out after ${timeoutMs} ms waiting for ${what} (${error.message})`);
  }
  return performance.now() - started;
}

const stage = (page) => page.evaluate(() => document.body.dataset.stage);
const waitForStage = (page, name, timeoutMs, what) =>
  until(page, (name) => document.body?.dataset.stage === name, name, timeoutMs, what);
const waitForPrompt = (page) => waitForStage(page, "waiting", loadTimeoutMs, "the prompt to start");
const inFullScreen = (page) => page.evaluate(() => document.fullscreenElement === document.documentElement);
const waitForFullScreen = (page, what) =>
  until(page, () => document.fullscreenElement === document.documentElement, null, 5000, what);
const textOf = (page, id) => page.evaluate((id) => document.getElementById(id).textContent, id);
const isShown = (page, id) => page.evaluate((id) => !document.getElementById(id).hidden, id);
// The play position of the frame last drawn, and the music's.
const shownSeconds = (page) => page.evaluate(() => Module._kelpwaxShownSeconds());
const musicSeconds = (page) => page.evaluate(() => Module._kelpwaxMusicSeconds());
const waitForShown = (page, seconds, timeoutMs) =>
  until(page, (seconds) => Module._kelpwaxShownSeconds() >= seconds, seconds, timeoutMs, `${seconds} s of the show`);
const screenshot = async (page, options = {}) => Buffer.from(await page.screenshot({ type: "png", ...options }));
const animationFrames = (page, count) =>
  page.evaluate((count) => new Promise((done) => {
    let left = count;
    const next = () => (--left > 0 ? requestAnimationFrame(next) : done());
    requestAnimationFrame(next);
  }), count);
const saveShot = (page, name) => page.screenshot({ type: "png", path: join(framesOut, name) });

function assertNoConsoleErrors(page) {
  const shown = [...new Set(page.consoleErrors)].slice(0, 5).join(" | ");
  assert.equal(page.consoleErrors.length, 0, `console errors or WebGL warnings, such as ${shown}`);
}

// The tab a group of tests shares, open from its before hook to its after hook.
function tabOn(address, options) {
  const tab = {};
  before(async () => {
    tab.page = await openPage(address, options);
  });
  after(async () => {
    await tab.page?.close();
  });
  return tab;
}

// Full screen as the page uses it: the canvas letterboxed, 16:9, centred, touching two sides.
const fullScreenLayout = (page) => page.evaluate(() => {
  const box = document.getElementById("canvas").getBoundingClientRect();
  return { box: [box.x, box.y, box.width, box.height].map(Math.round), screen: [screen.width, screen.height],
    view: [innerWidth, innerHeight] };
});
function assertLetterboxed({ box: [x, y, width, height], screen, view }) {
  const where = `canvas ${width} × ${height} at (${x}, ${y}) in ${view.join(" × ")} (screen ${screen.join(" × ")})`;
  // Headless Chromium's full-screen window is its screen less a strip it keeps for itself.
  assert.equal(view[0], screen[0], `the page is not as wide as the screen: ${where}`);
  assert.ok(width === view[0] || height === view[1], `the canvas touches no side: ${where}`);
  assert.ok(Math.abs(width * 9 - height * 16) <= 16, `the canvas is not 16:9: ${where}`);
  assert.ok(Math.abs(2 * x + width - view[0]) <= 1 && Math.abs(2 * y + height - view[1]) <= 1,
            `the canvas is not centred: ${where}`);
}

// The extension is taken before the loss: a lost context hands out none.
const loseContext = (page, call) => page.evaluate((call) => {
  window.loseContextExtension ??= document.getElementById("canvas").getContext("webgl2")
    .getExtension("WEBGL_lose_context");
  window.loseContextExtension[call]();
}, call);
const waitForLostNotice = (page, shown, timeoutMs) =>
  until(page, (shown) => document.getElementById("lost").hidden === !shown, shown, timeoutMs,
        shown ? "the page to say the graphics were lost" : "the page to take the graphics back");

function compareFrames(desktopFrame, webFrame) {
  return new Promise((resolve) => {
    execFile(compare, [desktopFrame, webFrame], (error, stdout, stderr) =>
      resolve({ code: error ? error.code : 0, output: `${stdout}${stderr}`.trim() }));
  });
}

if (missingInputs.length) {
  test("the web test's inputs are set", () => {
    assert.fail(`set ${missingInputs.join(", ")}: see the head of tests/web/page.test.mjs`);
  });
} else {
  before(async () => {
    mkdirSync(framesOut, { recursive: true });
    browser = await puppeteer.launch({
      executablePath: process.env.KELPWAX_CHROMIUM ?? "/usr/bin/chromium",
      args: ["--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
        "--window-size=1280,720", "--force-device-scale-factor=1"],
      defaultViewport: pageSize,
    });
  });
  after(async () => {
    await browser?.close();
  });

  describe("the page, played in the page", () => {
    const tab = tabOn(url);

    it("loads its data and offers Play and Play full screen", timeout, async (t) => {
      const promptMs = await waitForPrompt(tab.page);
      t.diagnostic(`prompt after ${promptMs} ms`);
      const prompt = await Promise.all(["play", "play-full-screen", "hint"].map((id) => textOf(tab.page, id)));
      assert.deepEqual(prompt, ["Play", "Play full screen", "Click or press a key to play, F for full screen"]);
      await saveShot(tab.page, "web-prompt.png");
      assertNoConsoleErrors(tab.page);
    });

    it("a key starts the show in the page and keeps the start-up status off it", timeout, async (t) => {
      const keyAt = performance.now();
      await tab.page.keyboard.press("a");
      await waitForStage(tab.page, "running", 2000, "the show to start on a key");
      t.diagnostic(`started ${performance.now() - keyAt} ms after the key`);
      await animationFrames(tab.page, 3);
      assert.equal(await stage(tab.page), "running");
      assert.equal(await inFullScreen(tab.page), false);
      const notes = await textOf(tab.page, "notes");
      assert.doesNotMatch(notes, /glyphs/, "the start-up status belongs in the console");
      const audio = await tab.page.evaluate(() => Module.kelpwaxAudio?.context.state ?? "none");
      t.diagnostic(`${notes.match(/no music[^.]*/)?.[0] ?? "with sound"}, audio context ${audio}`);
    });

    it("the picture moves on with the clock", timeout, async () => {
      // The backdrop fades in over the first seconds: a clock that does not run leaves the picture still.
      const before = await screenshot(tab.page);
      await waitForShown(tab.page, (await shownSeconds(tab.page)) + 1.5, 10000);
      assert.notDeepEqual(await screenshot(tab.page), before);
    });

    it("a key ends the show and offers to play again", timeout, async () => {
      await waitForShown(tab.page, 3, 10000);
      await tab.page.keyboard.press("a");
      await waitForStage(tab.page, "ended", 2000, "the show to end on a key");
      assert.equal(await isShown(tab.page, "again"), true);
    });

    it("Play again starts the show over, with no WebGL error or warning over its first 10 s", timeout, async () => {
      const endedAt = await shownSeconds(tab.page);
      await tab.page.click("#again");
      await waitForStage(tab.page, "running", 2000, "the show to play again");
      await animationFrames(tab.page, 2);
      const shownAgain = await shownSeconds(tab.page);
      assert.ok(shownAgain < 2, `ended at ${endedAt} s, played again from ${shownAgain} s`);
      await waitForShown(tab.page, 10, 30000);
      assertNoConsoleErrors(tab.page);
    });
  });

  describe("the sound", () => {
    // Counts the audio nodes the page makes: its sound must not run on the page's own thread.
    const tab = tabOn(url, {
      beforeLoad: (page) => page.evaluateOnNewDocument(() => {
        window.nodesMade = { scriptProcessors: 0, bufferSources: 0 };
        const count = (name, key) => {
          const make = BaseAudioContext.prototype[name];
          BaseAudioContext.prototype[name] = function (...rest) {
            ++window.nodesMade[key];
            return make.apply(this, rest);
          };
        };
        count("createScriptProcessor", "scriptProcessors");
        count("createBufferSource", "bufferSources");
      }),
    });
    const audioState = (page) => page.evaluate(() => {
      const audio = Module.kelpwaxAudio;
      return audio && { state: audio.context.state, lostFrames: audio.lostFrames,
        aheadSeconds: audio.queuedUntil - audio.context.currentTime, ...window.nodesMade,
        deviceUnderruns: audio.context.playbackStats?.underrunEvents };
    });

    // Sound lost by a browser that is starved of the processor shows in the
    // lost frames at any time; each test counts only those of its own span.
    it("plays from buffer sources queued seconds ahead, with no script processor", timeout, async (t) => {
      await waitForPrompt(tab.page);
      await tab.page.keyboard.press("a");
      await waitForShown(tab.page, 1, 10000);
      const started = await audioState(tab.page);
      await waitForShown(tab.page, 4, 10000);
      const audio = await audioState(tab.page);
      t.diagnostic(`at 1 s ${JSON.stringify(started)}, at 4 s ${JSON.stringify(audio)}`);
      assert.equal(audio.state, "running");
      assert.equal(audio.scriptProcessors, 0);
      assert.ok(audio.bufferSources > 10, `${audio.bufferSources} buffer sources`);
      assert.ok(audio.aheadSeconds > 1.5, `sound queued ${audio.aheadSeconds} s ahead`);
      assert.equal(audio.lostFrames - started.lostFrames, 0, "sound was lost between 1 s and 4 s");
    });

    it("keeps flowing, on time, while frames take 200 ms", timeout, async (t) => {
      const wallSeconds = 6;
      const before = await audioState(tab.page);
      const wallFrom = performance.now();
      const startedAt = await musicSeconds(tab.page);
      // Each animation frame held up 190 ms besides the show's own work.
      const frames = await tab.page.evaluate((wallSeconds) => new Promise((done) => {
        const until = performance.now() + 1000 * wallSeconds;
        let count = 0;
        const busy = (now) => {
          const end = performance.now() + 190;
          while (performance.now() < end) {}
          ++count;
          if (now < until) requestAnimationFrame(busy);
          else done(count);
        };
        requestAnimationFrame(busy);
      }), wallSeconds);
      const played = (await musicSeconds(tab.page)) - startedAt;
      const wallPlayed = (performance.now() - wallFrom) / 1000;
      const audio = await audioState(tab.page);
      t.diagnostic(`${(frames / wallSeconds).toFixed(1)} frames/s, music ${played.toFixed(2)} s over ` +
                   `${wallPlayed.toFixed(2)} s: ${JSON.stringify(audio)}`);
      assert.ok(frames / wallSeconds < 6, `the frames were not slowed: ${frames} in ${wallSeconds} s`);
      assert.equal(audio.lostFrames - before.lostFrames, 0, "sound was lost while frames were slow");
      assert.ok(audio.aheadSeconds > 1, `sound queued only ${audio.aheadSeconds} s ahead`);
      assert.ok(Math.abs(played - wallPlayed) < 0.25, `the music went ${played} s in ${wallPlayed} s`);
    });

    it("comes back at the show's position after the browser suspends the context", timeout, async (t) => {
      await tab.page.evaluate(() => {
        window.suspendedContext = Module.kelpwaxAudio.context;
        return window.suspendedContext.suspend();
      });
      const suspendedAt = await musicSeconds(tab.page);
      const wallAt = performance.now();
      await until(tab.page, () => Module.kelpwaxAudio && Module.kelpwaxAudio.context !== window.suspendedContext &&
                  Module.kelpwaxAudio.context.state === "running", null, 10000, "a fresh audio context");
      assert.match(await textOf(tab.page, "notes"), /sound stopped at [0-9.]+ s: the browser suspended the audio context/);
      await waitForShown(tab.page, suspendedAt + 3, 10000);
      const ahead = (await musicSeconds(tab.page)) - suspendedAt - (performance.now() - wallAt) / 1000;
      const audio = await audioState(tab.page);
      t.diagnostic(`music ${ahead.toFixed(2)} s off the wall clock since the suspension: ${JSON.stringify(audio)}`);
      assert.ok(Math.abs(ahead) < 0.5, `the music is ${ahead} s off the wall clock since the suspension`);
      assert.equal(audio.lostFrames, 0);
      assert.equal(audio.scriptProcessors, 0);
    });
  });

  describe("full screen chosen with F", () => {
    const tab = tabOn(url, { fullWindow: true });

    it("F starts the show letterboxed on the whole screen", timeout, async () => {
      await waitForPrompt(tab.page);
      await tab.page.keyboard.press("f");
      await waitForFullScreen(tab.page, "full screen after F");
      await animationFrames(tab.page, 3);
      assert.equal(await stage(tab.page), "running");
      assertLetterboxed(await fullScreenLayout(tab.page));
      await saveShot(tab.page, "web-fullscreen.png");
    });

    it("leaving full screen ends the show and offers to play again", timeout, async () => {
      await tab.page.evaluate(() => document.exitFullscreen());
      await waitForStage(tab.page, "ended", 2000, "leaving full screen to end the show");
      assert.equal(await inFullScreen(tab.page), false);
      assert.equal(await isShown(tab.page, "again"), true);
    });

    it("Play again goes back to full screen, and a key ends the show and leaves it", timeout, async () => {
      await tab.page.click("#again");
      await waitForFullScreen(tab.page, "play again to go back to full screen");
      assert.equal(await stage(tab.page), "running");
      await tab.page.keyboard.press("a");
      await waitForStage(tab.page, "ended", 2000, "a key to end the show");
      await until(tab.page, () => !document.fullscreenElement, null, 2000, "the key to leave full screen");
      assertNoConsoleErrors(tab.page);
    });
  });

  describe("the Play full screen button", () => {
    const tab = tabOn(url, { fullWindow: true });

    it("starts the show full screen", timeout, async () => {
      await waitForPrompt(tab.page);
      await tab.page.click("#play-full-screen");
      await waitForFullScreen(tab.page, "full screen from the button");
      assert.equal(await stage(tab.page), "running");
      assertNoConsoleErrors(tab.page);
    });
  });

  describe("?fullscreen in the address", () => {
    const tab = tabOn(`${url}?fullscreen`, { fullWindow: true });

    it("makes a click anywhere start the show full screen, which leaving ends", timeout, async () => {
      await waitForPrompt(tab.page);
      assert.equal(await textOf(tab.page, "hint"), "Click or press a key to play full screen");
      await tab.page.mouse.click(40, 40);
      await waitForFullScreen(tab.page, "full screen from a click with ?fullscreen");
      assert.equal(await stage(tab.page), "running");
      assertLetterboxed(await fullScreenLayout(tab.page));
      await tab.page.evaluate(() => document.exitFullscreen());
      await waitForStage(tab.page, "ended", 2000, "leaving full screen to end the show");
      assertNoConsoleErrors(tab.page);
    });
  });

  describe("a lost WebGL context", () => {
    const tab = tabOn(url);

    it("is announced, no frame is drawn, and the music plays on", timeout, async () => {
      await waitForPrompt(tab.page);
      await tab.page.keyboard.press("a");
      await waitForShown(tab.page, 2, 10000);
      await loseContext(tab.page, "loseContext");
      await waitForLostNotice(tab.page, true, 2000);
      const lostAt = await shownSeconds(tab.page);
      await saveShot(tab.page, "web-context-lost.png");
      await until(tab.page, (lostAt) => Module._kelpwaxMusicSeconds() > lostAt + 2, lostAt, 5000,
                  "the music to play on");
      assert.equal(await shownSeconds(tab.page), lostAt, "a frame was drawn without a context");
      assert.match(await textOf(tab.page, "lost"), /WebGL context was lost/);
    });

    it("once restored, the picture moves on at the music's position", timeout, async (t) => {
      const musicAtRestore = await musicSeconds(tab.page);
      await loseContext(tab.page, "restoreContext");
      const restoreMs = await until(tab.page, (musicAtRestore) => document.getElementById("lost").hidden &&
        Module._kelpwaxShownSeconds() > musicAtRestore, musicAtRestore, 30000, "the show to go on after the restore");
      // Read in the animation frame after the show's own, just after its frame was drawn.
      const [shownAfter, musicAfter] = await tab.page.evaluate(() => new Promise((done) =>
        requestAnimationFrame(() => done([Module._kelpwaxShownSeconds(), Module._kelpwaxMusicSeconds()]))));
      t.diagnostic(`restored after ${restoreMs} ms with the music at ${musicAtRestore.toFixed(2)} s; then a frame ` +
                   `at ${shownAfter.toFixed(2)} s with the music at ${musicAfter.toFixed(2)} s`);
      assert.ok(musicAfter - shownAfter < 0.5, `the frame at ${shownAfter} s lags the music at ${musicAfter} s`);
      const restoredShot = await screenshot(tab.page);
      await waitForShown(tab.page, shownAfter + 0.5, 10000);
      assert.notDeepEqual(await screenshot(tab.page), restoredShot, "the picture stands still after the restore");
      assertNoConsoleErrors(tab.page);
    });
  });

  describe("a lost WebGL context while the show is held at 90 s", () => {
    const tab = tabOn(`${url}?at=90`);

    it("leaves the same picture once restored: every texture and mesh is made again", timeout, async () => {
      await waitForStage(tab.page, "running", loadTimeoutMs, "the show held at 90 s");
      await tab.page.evaluate(() => { document.getElementById("notes").hidden = true; });
      await animationFrames(tab.page, 3);
      const held = await screenshot(tab.page);
      await loseContext(tab.page, "loseContext");
      await waitForLostNotice(tab.page, true, 2000);
      await loseContext(tab.page, "restoreContext");
      await waitForLostNotice(tab.page, false, 30000);
      await animationFrames(tab.page, 3);
      assert.ok((await screenshot(tab.page)).equals(held), "the picture after the restore differs");
      assertNoConsoleErrors(tab.page);
    });
  });

  describe("a silent show 40 times faster", () => {
    const speed = 40;
    const tab = tabOn(`${url}?speed=${speed}`);

    it("ends by itself after beat 400 and says it is silent", timeout, async (t) => {
      // Beat 400 is at 160 s: 4 s at this speed.
      await waitForPrompt(tab.page);
      await tab.page.keyboard.press("a");
      const endMs = await waitForStage(tab.page, "ended", 30000, "the silent show to end by itself");
      t.diagnostic(`ended after ${endMs} ms (beat 400 at ${160000 / speed} ms)`);
      assert.ok(endMs > 160400 / speed - 500, `ended after ${endMs} ms, before beat 400`);
      assert.match(await textOf(tab.page, "notes"), /runs silent on a wall clock/);
      assertNoConsoleErrors(tab.page);
    });
  });

  for (const seconds of positions) {
    describe(`the show held at ${seconds} s`, () => {
      const tab = tabOn(`${url}?at=${seconds}`);

      it("draws the desktop's frame", timeout, async (t) => {
        await waitForStage(tab.page, "running", loadTimeoutMs, `the show held at ${seconds} s`);
        await tab.page.evaluate(() => { document.getElementById("notes").hidden = true; });
        await animationFrames(tab.page, 3);
        const webFrame = join(framesOut, `web-${seconds}.png`);
        await tab.page.screenshot({ type: "png", path: webFrame, clip: { x: 0, y: 0, ...pageSize } });
        const desktopFrame = join(desktopFrames, `frame-${Number(seconds).toFixed(3).padStart(9, "0")}.png`);
        const { code, output } = await compareFrames(desktopFrame, webFrame);
        t.diagnostic(output);
        assert.equal(code, 0, `${webFrame} against ${desktopFrame}: ${output}`);
        assertNoConsoleErrors(tab.page);
      });
    });
  }

  describe("the show held at beat 210 (84 s)", () => {
    const tab = tabOn(`${url}?at=84`);

    it("keeps drawing", timeout, async (t) => {
      await waitForStage(tab.page, "running", loadTimeoutMs, "the show held at 84 s");
      await animationFrames(tab.page, 10);
      const fps = await tab.page.evaluate(() => new Promise((done) => {
        let frames = 0;
        const start = performance.now();
        const next = (now) => (now - start < 3000 ? (frames++, requestAnimationFrame(next))
                                                  : done(frames * 1000 / (now - start)));
        requestAnimationFrame(next);
      }));
      t.diagnostic(`${fps.toFixed(1)} frames/s, counted over 3 s of animation frames`);
      assert.ok(fps > 1, `${fps.toFixed(1)} frames/s`);
      assertNoConsoleErrors(tab.page);
    });
  });

  describe("the page without its data", () => {
    const tab = tabOn(url, {
      beforeLoad: async (page) => {
        await page.setRequestInterception(true);
        page.on("request", (request) =>
          request.url().endsWith("kelpwax.data") ? request.abort("failed") : request.continue());
      },
    });

    it("says so, and the show starts silent", timeout, async () => {
      await waitForPrompt(tab.page);
      await tab.page.keyboard.press("a");
      await waitForStage(tab.page, "running", 2000, "the show to start without its data");
      const notes = await textOf(tab.page, "notes");
      assert.match(notes, /data could not be loaded/);
      assert.match(notes, /no music/);
    });
  });

  describe("a browser without WebGL 2", () => {
    const tab = tabOn(url, {
      beforeLoad: (page) => page.evaluateOnNewDocument(() => {
        const getContext = HTMLCanvasElement.prototype.getContext;
        HTMLCanvasElement.prototype.getContext = function (type, ...rest) {
          return type === "webgl2" ? null : getContext.call(this, type, ...rest);
        };
      }),
    });

    it("gets a message, not a blank page", timeout, async () => {
      await waitForStage(tab.page, "failed", 10000, "the message about WebGL 2");
      assert.match(await textOf(tab.page, "error"), /WebGL 2/);
    });
  });
}
