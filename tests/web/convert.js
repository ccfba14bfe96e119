// Converts files with the page's engine under Node.js, as the page's worker
// does: the inputs (files or folders, relative to the current folder) are
// copied into the engine's in-memory file system under the same names, the
// run goes file by file, the log lines go to standard output and the
// outputs (the engine's "talvine/..." paths) are written below OUT_DIR.
//
//   node convert.js ENGINE.js OUT_DIR [--no-reference-points] [--time] INPUT...
"use strict";
const fs = require("fs");
const path = require("path");

async function main() {
  const args = process.argv.slice(2);
  const engineFile = path.resolve(args.shift());
  const outDir = path.resolve(args.shift());
  let referencePoints = 1, time = false;
  const inputs = [];
  for (const a of args) {
    if (a === "--no-reference-points") referencePoints = 0;
    else if (a === "--time") time = true;
    else inputs.push(a);
  }
  const createTalvine = require(engineFile);
  let FS = null;
  const lines = [];
  const engine = await createTalvine({
    print: () => {},
    printErr: (t) => process.stderr.write(t + "\n"),
    onLog: (line) => lines.push(line),
    onFileStarting: (src) => FS.writeFile(src, fs.readFileSync(src)),
    onFileDone: (src, dst, done) => {
      FS.writeFile(src, new Uint8Array(0));
      if (done) {
        const target = path.join(outDir, dst);
        fs.mkdirSync(path.dirname(target), {recursive: true});
        fs.writeFileSync(target, FS.readFile(dst));
        FS.truncate(dst, 0);
      }
    },
  });
  FS = engine.FS;
  FS.mkdir("/run");
  FS.chdir("/run");
  function place(p) {
    const st = fs.statSync(p, {throwIfNoEntry: false});
    const parts = p.split("/");
    for (let i = 1; i < parts.length; ++i) {
      try { FS.mkdir(parts.slice(0, i).join("/")); } catch (e) { /* exists */ }
    }
    if (!st) return;
    if (st.isDirectory()) {
      try { FS.mkdir(p); } catch (e) { /* exists */ }
      for (const name of fs.readdirSync(p)) place(p + "/" + name);
    } else {
      FS.writeFile(p, new Uint8Array(0));
    }
  }
  for (const p of inputs) place(p.replace(/\/+$/, ""));
  const started = process.hrtime.bigint();
  engine.ccall("web_start", "number", ["string", "number"], [inputs.join("\n"), referencePoints]);
  while (engine.ccall("web_step", "number", [], [])) { /* file by file */ }
  const seconds = Number(process.hrtime.bigint() - started) / 1e9;
  process.stdout.write(lines.map((l) => l + "\n").join(""));
  if (time) process.stderr.write("seconds=" + seconds.toFixed(3) + "\n");
}

main().catch((e) => {
  process.stderr.write(String(e && e.stack || e) + "\n");
  process.exit(1);
});
