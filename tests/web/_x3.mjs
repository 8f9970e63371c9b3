import * as h from './harness.mjs';
const s = await h.startSession();
const p = await s.open({ orientation: {alpha:0,beta:0,gamma:0} });
const px = async () => { const img = await p.canvasImage(); const i=(170*768+100)*4; return [...img.data.slice(i,i+3)]; };
await p.setOrientation(30);
for (let k=0;k<4;k++) { const st = await p.state(); console.log(st.frame, st.currentDeviceMotion.yaw, await px()); await new Promise(r=>setTimeout(r,300)); }
await p.setOrientation(31);
await p.waitForState(s => s.currentDeviceMotion.yaw > 2.1, 'x');
await p.nextAnimationFrame();await p.nextAnimationFrame();
console.log('after nudge', await px());
await s.close();
