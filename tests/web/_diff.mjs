import fs from 'node:fs'; import { PNG } from 'pngjs';
const [a,b,out] = process.argv.slice(2).map((f,i)=> i<2 ? PNG.sync.read(fs.readFileSync(f)) : f);
const o = new PNG({width:a.width,height:a.height});
for (let i=0;i<a.data.length;i+=4){ const d=Math.max(...[0,1,2].map(k=>Math.abs(a.data[i+k]-b.data[i+k]))); o.data[i]=o.data[i+1]=o.data[i+2]=Math.min(255,d*8); o.data[i+3]=255;}
fs.writeFileSync(out, PNG.sync.write(o));
