// Drives the show's web page in headless Chromium through the DevTools
// protocol, with node's own WebSocket and fetch (no packages):
//   node --experimental-websocket page_test.mjs URL OUT_DIR SECONDS...
// Checks that the page loads without console errors, reaches the prompt, starts
// on a key, ends on a key and plays again, with no WebGL error or warning over
// the first 10 s of the show; that full screen, chosen by key, button or
// address, fills the screen and that leaving it ends the show; that a lost
// WebGL context is announced and, once restored, the show goes on at the
// music's position with the same picture; that a silent show sped up ends by
// itself after beat 400; writes the frames held at SECONDS... as OUT_DIR/web-SECONDS.png
// for comparison with the desktop's, and the prompt, the full-screen page and
// the lost context's message as OUT_DIR/web-{prompt,fullscreen,context-lost}.png;
// measures frames per second at beat 210; and checks that a page without its
// data, or a browser without WebGL 2, says so.
import { spawn } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync, writeFileSync, existsSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { setTimeout as sleep } from "node:timers/promises";

const [url, outDir, ...positions] = process.argv.slice(2);
if (!url || !outDir) {
  console.error("usage: page_test.mjs URL OUT_DIR SECONDS...");
  process.exit(2);
}

const profile = mkdtempSync(join(tmpdir(), "kelpwax-chromium-"));
const browser = spawn("chromium", [
  "--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
  "--window-size=1280,720", "--force-device-scale-factor=1", "--no-first-run",
  "--disable-background-networking", "--disable-component-update", "--disable-sync",
  `--user-data-dir=${profile}`,
  "--remote-debugging-port=0", "about:blank",
], { stdio: "ignore", detached: true });  // its own process group, so that it ends with all its helpers

let failures = 0;
function check(ok, what) {
  console.log(`${ok ? "ok  " : "FAIL"} ${what}`);
  if (!ok) failures++;
}

async function until(condition, timeoutMs, what) {
  const start = Date.now();
  while (Date.now() - start < timeoutMs) {
    if (await condition()) return Date.now() - start;
    await sleep(50);
  }
  throw new Error(`timed out after ${timeoutMs} ms waiting for ${what}`);
}

async function connect() {
  const portFile = join(profile, "DevToolsActivePort");
  await until(() => existsSync(portFile) && readFileSync(portFile, "utf8").includes("\n"), 20000, "Chromium");
  const port = readFileSync(portFile, "utf8").split("\n")[0];
  const targets = await (await fetch(`http://127.0.0.1:${port}/json/list`)).json();
  const page = targets.find((target) => target.type === "page");
  const socket = new WebSocket(page.webSocketDebuggerUrl);
  await new Promise((resolve, reject) => { socket.onopen = resolve; socket.onerror = reject; });
  let nextId = 1;
  const pending = new Map();
  const listeners = [];
  socket.onmessage = (message) => {
    const data = JSON.parse(message.data);
    if (data.id && pending.has(data.id)) {
      const { resolve, reject } = pending.get(data.id);
      pending.delete(data.id);
      data.error ? reject(new Error(`${data.error.message}`)) : resolve(data.result);
    } else if (data.method) {
      for (const listener of listeners) listener(data.method, data.params);
    }
  };
  return {
    send(method, params = {}) {
      const id = nextId++;
      socket.send(JSON.stringify({ id, method, params }));
      return new Promise((resolve, reject) => pending.set(id, { resolve, reject }));
    },
    on(listener) { listeners.push(listener); },
    close() { socket.close(); },
  };
}

const page = await connect();
// Errors from anywhere, and WebGL's own messages at any level: Chromium reports
// a failed WebGL call as a warning ("WebGL: INVALID_VALUE: ..." or
// "[.WebGL-...]GL_INVALID_..."), and stops after a few dozen per context.
const fromWebGl = (text) => /^(WebGL|\[\.WebGL)/.test(text);
const consoleErrors = [];
page.on((method, params) => {
  if (method === "Runtime.exceptionThrown") {
    const { text, exception } = params.exceptionDetails;
    consoleErrors.push(`${text} ${exception?.description ?? ""}`);
  }
  if (method === "Runtime.consoleAPICalled") {
    const text = params.args.map((arg) => arg.value ?? arg.description).join(" ");
    if (params.type === "error" || fromWebGl(text)) consoleErrors.push(text);
  }
  if (method === "Log.entryAdded" && (params.entry.level === "error" || fromWebGl(params.entry.text))) {
    consoleErrors.push(params.entry.text);
  }
});
const noConsoleErrors = (what) => {
  const count = consoleErrors.length;
  const shown = [...new Set(consoleErrors)].slice(0, 5).join(" | ");
  check(count === 0, `${what}${count ? `: ${count} console errors or WebGL warnings, such as ${shown}` : ""}`);
  consoleErrors.length = 0;
};
await page.send("Runtime.enable");
await page.send("Log.enable");
await page.send("Page.enable");
const pageSize = { width: 1280, height: 720, deviceScaleFactor: 1, mobile: false };
await page.send("Emulation.setDeviceMetricsOverride", pageSize);

const evaluate = async (expression) =>
  (await page.send("Runtime.evaluate", { expression, awaitPromise: true, returnByValue: true })).result.value;
const stage = () => evaluate("document.body.dataset.stage");
const stageIs = (name) => async () => (await stage()) === name;
const open = async (address) => {
  // The mark goes with the old document, so its absence means the new one is in.
  await evaluate("window.kelpwaxOldPage = true");
  await page.send("Page.navigate", { url: address });
  await until(async () => (await evaluate("window.kelpwaxOldPage ? null : document.body?.dataset.stage")) != null,
              10000, "the page");
};
const pressKey = async (key = "a") => {
  const code = `Key${key.toUpperCase()}`;
  for (const type of ["keyDown", "keyUp"]) {
    await page.send("Input.dispatchKeyEvent", { type, key, code, windowsVirtualKeyCode: key.toUpperCase().charCodeAt(0) });
  }
};
const clickAt = async (x, y) => {
  for (const type of ["mousePressed", "mouseReleased"]) {
    await page.send("Input.dispatchMouseEvent", { type, x, y, button: "left", clickCount: 1 });
  }
};
const clickOn = async (id) => {
  const [x, y] = await evaluate(`(() => { const box = document.getElementById("${id}").getBoundingClientRect();
    return [box.x + box.width / 2, box.y + box.height / 2]; })()`);
  await clickAt(x, y);
};
// The play position of the frame last drawn, and the music's.
const shownSeconds = () => evaluate("Module._kelpwaxShownSeconds()");
const musicSeconds = () => evaluate("Module._kelpwaxMusicSeconds()");
const shownReaches = (seconds) => async () => (await shownSeconds()) >= seconds;
const saveShot = async (name) => {
  const shot = await page.send("Page.captureScreenshot", { format: "png" });
  writeFileSync(join(outDir, name), Buffer.from(shot.data, "base64"));
};
const animationFrames = (count) =>
  evaluate(`new Promise((done) => { let left = ${count};
    const next = () => (--left > 0 ? requestAnimationFrame(next) : done(true)); requestAnimationFrame(next); })`);

try {
  await open(url);
  const promptMs = await until(stageIs("waiting"), 60000, "the prompt to start");
  const prompt = await evaluate(`["play", "play-full-screen", "hint"]
    .map((id) => document.getElementById(id).textContent).join(" | ")`);
  check(prompt === "Play | Play full screen | Click or press a key to play, F for full screen",
        `prompt "${prompt}" after ${promptMs} ms`);
  await saveShot("web-prompt.png");
  const keyAt = Date.now();
  await pressKey();
  await until(stageIs("running"), 2000, "the show to start on a key");
  const startMs = Date.now() - keyAt;
  await animationFrames(3);
  const notes = await evaluate("document.getElementById('notes').textContent");
  const sound = notes.match(/no music[^.]*/);
  const audioState = await evaluate("Module.kelpwaxAudio ? 'audio context ' + Module.kelpwaxAudio.context.state : ''");
  check((await stage()) === "running" && !(await evaluate("document.fullscreenElement")),
        `a key starts the show in the page within ${startMs} ms, ${sound ? sound[0] : "with sound"} ${audioState}`);
  check(!/glyphs/.test(notes), `the start-up status stays in the console, off the page ("${notes}")`);
  // The backdrop fades in over the first seconds: a clock that does not run leaves the picture still.
  const shotNow = async () => (await page.send("Page.captureScreenshot", { format: "png" })).data;
  const before = await shotNow();
  await sleep(1500);
  check((await shotNow()) !== before, "the picture moves on with the clock");
  await pressKey();
  await until(stageIs("ended"), 2000, "the show to end on a key");
  check(await evaluate("!document.getElementById('again').hidden"), "a key ends the show and offers to play again");
  await evaluate("document.getElementById('again').click()");
  await until(stageIs("running"), 2000, "the show to play again");
  check(true, "play again starts the show over");
  await until(shownReaches(10), 30000, "10 s of the show");
  noConsoleErrors("no console errors or WebGL warnings over the first 10 s of the show");

  // Full screen, chosen with F: the canvas letterboxed on the whole screen.
  // Leaving full screen ends the show, as a key does.
  const fullScreenState = () => evaluate(`(() => { const box = document.getElementById("canvas").getBoundingClientRect();
    return { full: document.fullscreenElement === document.documentElement, stage: document.body.dataset.stage,
             box: [box.x, box.y, box.width, box.height].map(Math.round), screen: [screen.width, screen.height],
             view: [innerWidth, innerHeight] }; })()`);
  const inFullScreen = async () => (await fullScreenState()).full;
  // The window, not a fixed viewport, so that full screen takes the whole screen.
  await page.send("Emulation.clearDeviceMetricsOverride");
  await open(url);
  await until(stageIs("waiting"), 60000, "the prompt to start");
  await pressKey("f");
  await until(inFullScreen, 5000, "full screen after F");
  await animationFrames(3);
  // Headless Chromium's full-screen window is its screen less a strip it keeps for itself.
  const { box, screen, view, stage: fullStage } = await fullScreenState();
  const [x, y, width, height] = box;
  const fills = (width === view[0] || height === view[1]) && Math.abs(width * 9 - height * 16) <= 16 &&
                Math.abs(2 * x + width - view[0]) <= 1 && Math.abs(2 * y + height - view[1]) <= 1;
  check(fullStage === "running" && fills && view[0] === screen[0],
        `F starts the show full screen: canvas ${width} × ${height} at (${x}, ${y}) in the full-screen ` +
        `document's ${view.join(" × ")} (screen ${screen.join(" × ")})`);
  await saveShot("web-fullscreen.png");
  await evaluate("document.exitFullscreen()");
  await until(stageIs("ended"), 2000, "leaving full screen to end the show");
  check(!(await inFullScreen()) && await evaluate("!document.getElementById('again').hidden"),
        "leaving full screen ends the show and offers to play again");
  await clickOn("again");
  await until(inFullScreen, 5000, "play again to go back to full screen");
  check((await stage()) === "running", "play again plays full screen again");
  await pressKey();
  await until(async () => (await stage()) === "ended" && !(await inFullScreen()), 2000, "a key to end the show");
  check(true, "a key ends the full-screen show and leaves full screen");

  // The button, and the address's choice taken by a click anywhere.
  await open(url);
  await until(stageIs("waiting"), 60000, "the prompt to start");
  await clickOn("play-full-screen");
  await until(inFullScreen, 5000, "full screen from the button");
  check((await stage()) === "running", "the full-screen button starts the show full screen");
  await open(`${url}?fullscreen`);
  await until(stageIs("waiting"), 60000, "the prompt to start");
  const hint = await evaluate("document.getElementById('hint').textContent");
  await clickAt(40, 40);
  await until(inFullScreen, 5000, "full screen from a click with ?fullscreen");
  check((await stage()) === "running", `?fullscreen: a click starts the show full screen ("${hint}")`);
  await evaluate("document.exitFullscreen()");
  await until(stageIs("ended"), 2000, "leaving full screen to end the show");
  noConsoleErrors("no console errors in full screen");
  await page.send("Emulation.setDeviceMetricsOverride", pageSize);

  // A lost WebGL context: the page says so, and when the browser restores it
  // the show goes on at the music's position.
  // The extension is taken before the loss: a lost context hands out none.
  const loseContext = (call) => evaluate(`(window.loseContextExtension ??= document.getElementById("canvas")
    .getContext("webgl2").getExtension("WEBGL_lose_context")).${call}()`);
  const lostShown = () => evaluate("!document.getElementById('lost').hidden");
  await open(url);
  await until(stageIs("waiting"), 60000, "the prompt to start");
  await pressKey();
  await until(shownReaches(2), 10000, "2 s of the show");
  await loseContext("loseContext");
  await until(lostShown, 2000, "the page to say the graphics were lost");
  const lostAt = await shownSeconds();
  await saveShot("web-context-lost.png");
  await until(async () => (await musicSeconds()) > lostAt + 2, 5000, "the music to play on");
  const lostText = await evaluate("document.getElementById('lost').textContent.replace(/\\s+/g, ' ')");
  check((await shownSeconds()) === lostAt, `while the context is lost no frame is drawn, and the page says "${lostText}"`);
  const musicAtRestore = await musicSeconds();
  await loseContext("restoreContext");
  const restoreMs = await until(async () => !(await lostShown()) && (await shownSeconds()) > musicAtRestore, 30000,
                                "the show to go on after the context is restored");
  // Read in the animation frame after the show's own, so the music is read just after the frame was drawn.
  const [shownAfter, musicAfter] = await evaluate(`new Promise((done) => requestAnimationFrame(() =>
    done([Module._kelpwaxShownSeconds(), Module._kelpwaxMusicSeconds()])))`);
  const restoredShot = await shotNow();
  await until(shownReaches(shownAfter + 0.5), 5000, "half a second more of the show");
  check((await shotNow()) !== restoredShot && shownAfter > musicAtRestore && musicAfter - shownAfter < 0.5,
        `restored after ${restoreMs} ms, the picture moves on at the music's position: lost at ` +
        `${lostAt.toFixed(2)} s, restored with the music at ${musicAtRestore.toFixed(2)} s, then a frame at ` +
        `${shownAfter.toFixed(2)} s with the music at ${musicAfter.toFixed(2)} s`);
  // Held at one position, the restored picture is the one before: every texture and mesh is back.
  await open(`${url}?at=90`);
  await until(stageIs("running"), 60000, "the show held at 90 s");
  await evaluate("document.getElementById('notes').hidden = true");
  await animationFrames(3);
  const heldShot = await shotNow();
  await loseContext("loseContext");
  await until(lostShown, 2000, "the page to say the graphics were lost");
  await loseContext("restoreContext");
  await until(async () => !(await lostShown()), 30000, "the page to take the graphics back");
  await animationFrames(3);
  check((await shotNow()) === heldShot, "held at 90 s, the picture after the context is restored is the same as before");
  noConsoleErrors("no console errors around the lost context");

  // 160.4 s of show at 40 times speed: about 4 s.
  const speed = 40;
  await open(`${url}?speed=${speed}`);
  await until(stageIs("waiting"), 60000, "the prompt to start");
  await pressKey();
  const endMs = await until(stageIs("ended"), 30000, "the silent show to end by itself");
  const silentNote = await evaluate("document.getElementById('notes').textContent");
  check(endMs > 160400 / speed - 500 && /runs silent on a wall clock/.test(silentNote),
        `silent at ${speed}x, the show ends by itself after ${endMs} ms (beat 400 at ${Math.round(160000 / speed)} ms) and says it is silent`);

  for (const seconds of positions) {
    await open(`${url}?at=${seconds}`);
    await until(stageIs("running"), 60000, `the show held at ${seconds} s`);
    await evaluate("document.getElementById('notes').hidden = true");
    await animationFrames(3);
    const shot = await page.send("Page.captureScreenshot",
      { format: "png", clip: { x: 0, y: 0, width: 1280, height: 720, scale: 1 } });
    writeFileSync(join(outDir, `web-${seconds}.png`), Buffer.from(shot.data, "base64"));
  }

  await open(`${url}?at=84`);
  await until(stageIs("running"), 60000, "the show held at 84 s");
  await animationFrames(10);
  const fps = await evaluate(`new Promise((done) => { let frames = 0; const start = performance.now();
    const next = (now) => (now - start < 3000 ? (frames++, requestAnimationFrame(next)) : done(frames * 1000 / (now - start)));
    requestAnimationFrame(next); })`);
  console.log(`     ${fps.toFixed(1)} frames/s at beat 210 (84 s), counted over 3 s of animation frames`);
  noConsoleErrors("still no console errors");

  // Without its data the page says so and the show still starts.
  await page.send("Fetch.enable", { patterns: [{ urlPattern: "*kelpwax.data" }] });
  page.on((method, params) => {
    if (method === "Fetch.requestPaused") page.send("Fetch.failRequest", { requestId: params.requestId, errorReason: "Failed" });
  });
  await open(url);
  await until(stageIs("waiting"), 60000, "the prompt without the data");
  await pressKey();
  await until(stageIs("running"), 2000, "the show to start without its data");
  const dataNote = await evaluate("document.getElementById('notes').textContent");
  check(/data could not be loaded/.test(dataNote) && /no music/.test(dataNote),
        "without its data the page says so, and the show starts silent");
  await page.send("Fetch.disable");

  // A browser without WebGL 2 gets a message, not a blank page.
  await page.send("Page.addScriptToEvaluateOnNewDocument", { source: `{
    const getContext = HTMLCanvasElement.prototype.getContext;
    HTMLCanvasElement.prototype.getContext = function(type, ...rest) {
      return type === "webgl2" ? null : getContext.call(this, type, ...rest);
    }; }` });
  await open(url);
  await until(stageIs("failed"), 10000, "the message about WebGL 2");
  const failure = await evaluate("document.getElementById('error').textContent");
  check(/WebGL 2/.test(failure), `without WebGL 2: "${failure}"`);
} catch (error) {
  check(false, error.message);
} finally {
  page.close();
  const exited = new Promise((resolve) => browser.once("exit", resolve));
  process.kill(-browser.pid, "SIGKILL");
  await exited;
  try {
    rmSync(profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
  } catch (error) {
    console.log(`note: the browser's scratch profile ${profile} stays behind: ${error.message}`);
  }
}
process.exit(failures ? 1 : 0);
