// The page's worker: runs the engine (talvine-web.js, which the page puts
// before this script) on the files the page hands over, one file per task,
// so that a request to stop is seen before the next file. Messages in:
//   {type: "run", items: [{path, file, dir}], names: [...], referencePoints}
//   {type: "stop"}
//   {type: "picture", id, path, file}
// Messages out: ready, log, progress, result, end, picture, failure.
"use strict";

let engine = null;
let files = new Map();  // the run's sources by path, read when their turn comes
let stopRequested = false;
let runs = 0;

function post(message, transfer) { self.postMessage(message, transfer || []); }

function makeFolders(FS, path) {
  const parts = path.split("/");
  let p = "";
  for (let i = 0; i + 1 < parts.length; ++i) {
    p += (i ? "/" : "") + parts[i];
    try { FS.mkdir(p); } catch (e) { /* exists */ }
  }
}

const ready = createTalvine({
  print: () => {},
  printErr: () => {},
  onLog: (line) => post({type: "log", line}),
  onFileStarting: (src, progress) => {
    // The source's bytes enter the file system only for its conversion.
    const file = files.get(src);
    if (file) {
      try {
        // The file system takes the buffer as it is, without a copy.
        engine.FS.writeFile(src, new Uint8Array(new FileReaderSync().readAsArrayBuffer(file)), {canOwn: true});
      } catch (e) {
        post({type: "failure", src, reason: String(e && e.name || e)});
      }
    }
    post({type: "progress", src, progress});
  },
  onFileDone: (src, dst, done) => {
    engine.FS.writeFile(src, new Uint8Array(0));
    let bytes = null;
    if (done && dst) {
      // The output's own buffer, without a copy; the file is emptied, so
      // that its name stays taken, for the branch numbers of later files.
      const node = engine.FS.lookupPath(dst).node;
      // (The file system may keep a file's bytes as signed ones.)
      bytes = new Uint8Array(node.contents.buffer, node.contents.byteOffset, node.usedBytes);
      if (bytes.byteOffset !== 0 || bytes.length !== bytes.buffer.byteLength) bytes = bytes.slice();
      engine.FS.truncate(dst, 0);
    }
    post({type: "result", src, dst, done, bytes}, bytes ? [bytes.buffer] : []);
  },
}).then((m) => {
  engine = m;
  engine.FS.mkdir("/runs");
  post({type: "ready"});
});

function pause() { return new Promise((resolve) => setTimeout(resolve, 0)); }

async function run(message) {
  await ready;
  const FS = engine.FS;
  const dir = "/runs/" + (++runs);
  FS.mkdir(dir);
  FS.chdir(dir);
  files = new Map();
  for (const item of message.items) {
    makeFolders(FS, item.path);
    if (item.dir) {
      try { FS.mkdir(item.path); } catch (e) { /* exists */ }
    } else {
      FS.writeFile(item.path, new Uint8Array(0));
      files.set(item.path, item.file);
    }
  }
  stopRequested = false;
  const total = engine.ccall("web_start", "number", ["string", "number"],
                             [message.names.join("\n"), message.referencePoints ? 1 : 0]);
  post({type: "start", total});
  for (;;) {
    await pause();  // a stop request arrives here, between files
    if (stopRequested) {
      engine.ccall("web_stop", null, [], []);
      break;
    }
    if (!engine.ccall("web_step", "number", [], [])) break;
  }
  files = new Map();
  post({type: "end"});
}

async function picture(message) {
  await ready;
  const FS = engine.FS;
  const folder = "/pictures";
  try { FS.mkdir(folder); } catch (e) { /* exists */ }
  const name = folder + "/" + message.path.split("/").pop();
  let svg = "", error = "";
  try {
    FS.writeFile(name, new Uint8Array(new FileReaderSync().readAsArrayBuffer(message.file)));
    svg = engine.ccall("web_render", "string", ["string"], [name]);
    if (!svg) error = engine.ccall("web_last_error", "string", [], []);
  } catch (e) {
    error = String(e && e.message || e);
  }
  try { FS.unlink(name); } catch (e) { /* gone */ }
  post({type: "picture", id: message.id, svg, error});
}

self.onmessage = (e) => {
  const m = e.data;
  if (m.type === "run") run(m);
  else if (m.type === "stop") stopRequested = true;
  else if (m.type === "picture") picture(m);
};
