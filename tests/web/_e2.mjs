import puppeteer from 'puppeteer-core';
import { createServer } from '/work/main/tools/web_serve.mjs';
import fs from 'node:fs'; import os from 'node:os'; import path from 'node:path';
const server = createServer('/work/main/build-web/site');
await new Promise(r => server.listen(0, '127.0.0.1', r));
const url = `http://127.0.0.1:${server.address().port}/`;
const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'vt-'));
const browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium', headless: true, userDataDir: dir,
  args: ['--no-sandbox','--use-angle=swiftshader','--enable-unsafe-swiftshader','--disable-background-networking','--disable-component-update','--disable-sync','--no-first-run','--disable-dev-shm-usage'] });
const page = await browser.newPage();
await page.setViewport({width:768,height:1024,deviceScaleFactor:1,isMobile:true,hasTouch:true});
const cdp = await page.createCDPSession();
const mode = process.argv[2];
if (mode === 'sensors') {
  for (const type of ['accelerometer','gyroscope','linear-acceleration','gravity','absolute-orientation','relative-orientation']) {
    await cdp.send('Emulation.setSensorOverrideEnabled', {enabled:true, type});
  }
}
await cdp.send('DeviceOrientation.setDeviceOrientationOverride', {alpha:30,beta:0,gamma:0});
await page.evaluateOnNewDocument(() => {
  window.__ev = [];
  addEventListener('deviceorientation', e => { if (__ev.length < 5) __ev.push(['o', e.alpha, e.beta, e.gamma, e.absolute, performance.now()]); });
  addEventListener('devicemotion', e => { if (__ev.length < 10) __ev.push(['m', JSON.stringify([e.acceleration?.x, e.accelerationIncludingGravity?.z, e.rotationRate?.alpha, e.interval]), performance.now()]); });
});
page.on('console', m => { if (m.type() !== 'log') console.log(m.type(), m.text()); });
await page.goto(url+'?nosw');
await page.waitForFunction(() => window.vitranePage && vitranePage.firstFrameTime, {timeout: 30000});
await new Promise(r => setTimeout(r, 2000));
console.log(JSON.stringify(await page.evaluate(() => __ev)));
console.log(await page.evaluate(() => [document.getElementById('hint').hidden, JSON.parse(Module.UTF8ToString(Module._vitrane_state())).currentDeviceMotion.yaw]));
await browser.close(); server.close();
