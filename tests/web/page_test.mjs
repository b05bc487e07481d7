// Drives the show's web page in headless Chromium through the DevTools
// protocol, with node's own WebSocket and fetch (no packages):
//   node --experimental-websocket page_test.mjs URL OUT_DIR SECONDS...
// Checks that the page loads without console errors, reaches the prompt, starts
// on a key, ends on a key and plays again; that a silent show sped up ends by
// itself after beat 400; writes the frames held at SECONDS... as OUT_DIR/web-SECONDS.png
// for comparison with the desktop's; measures frames per second at beat 210;
// and checks that a page without its data, or a browser without WebGL 2, says so.
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
], { stdio: "ignore" });

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
const consoleErrors = [];
page.on((method, params) => {
  if (method === "Runtime.exceptionThrown") consoleErrors.push(params.exceptionDetails.text);
  if (method === "Runtime.consoleAPICalled" && params.type === "error") {
    consoleErrors.push(params.args.map((arg) => arg.value).join(" "));
  }
  if (method === "Log.entryAdded" && params.entry.level === "error") consoleErrors.push(params.entry.text);
});
await page.send("Runtime.enable");
await page.send("Log.enable");
await page.send("Page.enable");
await page.send("Emulation.setDeviceMetricsOverride", { width: 1280, height: 720, deviceScaleFactor: 1, mobile: false });

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
const pressKey = async () => {
  for (const type of ["keyDown", "keyUp"]) {
    await page.send("Input.dispatchKeyEvent", { type, key: "a", code: "KeyA", windowsVirtualKeyCode: 65 });
  }
};
const animationFrames = (count) =>
  evaluate(`new Promise((done) => { let left = ${count};
    const next = () => (--left > 0 ? requestAnimationFrame(next) : done(true)); requestAnimationFrame(next); })`);

try {
  await open(url);
  const promptMs = await until(stageIs("waiting"), 60000, "the prompt to start");
  const prompt = await evaluate("document.getElementById('prompt').textContent");
  check(prompt === "Click or press a key to start", `prompt "${prompt}" after ${promptMs} ms`);
  const keyAt = Date.now();
  await pressKey();
  await until(stageIs("running"), 2000, "the show to start on a key");
  const startMs = Date.now() - keyAt;
  await animationFrames(3);
  const sound = (await evaluate("document.getElementById('notes').textContent")).match(/no music[^.]*/);
  const audioState = await evaluate("Module.kelpwaxAudio ? 'audio context ' + Module.kelpwaxAudio.context.state : ''");
  check((await stage()) === "running",
        `a key starts the show within ${startMs} ms, ${sound ? sound[0] : "with sound"} ${audioState}`);
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
  check(consoleErrors.length === 0, `no console errors${consoleErrors.length ? ": " + consoleErrors.join(" | ") : ""}`);

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
  check(consoleErrors.length === 0, `still no console errors${consoleErrors.length ? ": " + consoleErrors.join(" | ") : ""}`);

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
  browser.kill();
  await sleep(200);
  rmSync(profile, { recursive: true, force: true });
}
process.exit(failures ? 1 : 0);
