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
for (const type of ['accelerometer','gyroscope','linear-acceleration','gravity']) {
  await cdp.send('Emulation.setSensorOverrideEnabled', {enabled:true, type});
}
await cdp.send('Emulation.setSensorOverrideReadings', {type:'accelerometer', reading:{xyz:{x:0,y:0,z:9.8}}});
await cdp.send('Emulation.setSensorOverrideReadings', {type:'linear-acceleration', reading:{xyz:{x:0,y:0,z:0}}});
await cdp.send('Emulation.setSensorOverrideReadings', {type:'gravity', reading:{xyz:{x:0,y:0,z:9.8}}});
await cdp.send('Emulation.setSensorOverrideReadings', {type:'gyroscope', reading:{xyz:{x:0,y:0,z:0}}});
await cdp.send('DeviceOrientation.setDeviceOrientationOverride', {alpha:0,beta:0,gamma:0});
await page.evaluateOnNewDocument(() => {
  window.__ev = []; window.__n = {o:0, m:0};
  addEventListener('deviceorientation', e => { __n.o++; if (__ev.length < 8) __ev.push(['o', e.alpha, e.beta, e.gamma, e.absolute, performance.now()|0]); });
  addEventListener('devicemotion', e => { __n.m++; if (__ev.length < 8) __ev.push(['m', JSON.stringify([e.acceleration?.x, e.accelerationIncludingGravity?.z, e.rotationRate?.alpha, e.interval]), performance.now()|0]); });
});
page.on('console', m => { if (m.type() !== 'log') console.log(m.type(), m.text()); });
await page.goto(url+'?nosw');
await page.waitForFunction(() => window.vitranePage && vitranePage.firstFrameTime, {timeout: 30000});
console.log('ff', await page.evaluate(() => vitranePage.firstFrameTime));
await new Promise(r => setTimeout(r, 500));
await cdp.send('DeviceOrientation.setDeviceOrientationOverride', {alpha:30,beta:0,gamma:0});
await new Promise(r => setTimeout(r, 1500));
console.log(JSON.stringify(await page.evaluate(() => [__ev, __n])));
console.log(await page.evaluate(() => [document.getElementById('hint').hidden, JSON.parse(Module.UTF8ToString(Module._vitrane_state())).currentDeviceMotion]));
await browser.close(); server.close();
