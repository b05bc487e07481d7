// Plays the show's web page for scripts/measure-sync.sh: Chromium on the X
// display in DISPLAY, drawing with SwiftShader, the page filling the 1280 x 720
// screen and its sound going to the PulseAudio server in PULSE_SERVER. Once the
// page offers to play it presses a key, as a viewer would; it runs until it is
// ended, when SIGTERM closes the browser with it and it says on stderr what
// sound the page lost to late feeding and, where Chromium counts them, what the
// audio device lost.
//   NODE_PATH=tests/web/node_modules node tools/sync/play_web.cjs URL
const puppeteer = require("puppeteer-core");

async function main() {
  const url = process.argv[2];
  const browser = await puppeteer.launch({
    headless: false,
    executablePath: process.env.KELPWAX_CHROMIUM ?? "/usr/bin/chromium",
    defaultViewport: null,
    handleSIGTERM: false,
    // Without it no bar about automation takes the top of the picture.
    ignoreDefaultArgs: ["--enable-automation"],
    args: ["--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--kiosk",
      "--window-position=0,0", "--window-size=1280,720", "--force-device-scale-factor=1", "--no-first-run"],
  });
  const [page] = await browser.pages();
  await page.goto(url);
  await page.waitForFunction(() => document.body?.dataset.stage === "waiting", { timeout: 60000, polling: 100 });
  await page.keyboard.press("a");
  await page.waitForFunction(() => document.body?.dataset.stage === "running", { timeout: 5000, polling: 100 });
  process.on("SIGTERM", async () => {
    const sound = await page.evaluate(() => {
      const audio = Module.kelpwaxAudio;
      const stats = audio?.context.playbackStats;
      return audio && { lostFrames: audio.lostFrames, state: audio.context.state,
        deviceUnderrunSeconds: stats?.underrunDuration, deviceUnderruns: stats?.underrunEvents };
    }).catch((error) => error.message);
    console.error(`play_web: the page's sound: ${JSON.stringify(sound)}`);
    await browser.close();
    process.exit(0);
  });
}

main().catch((error) => {
  console.error(`play_web: ${error.message}`);
  process.exit(1);
});
