// The page: the window of Talvine in a browser. It takes dropped or picked
// files and folders, hands them to the worker, which converts them with
// the same engine as talvine-cli, and shows the log, the progress, the
// pictures and the results to save. Nothing leaves the computer.
"use strict";

const TEXTS = {
  ja: {
    privacy: "ファイルはこのコンピューターの外に送られません。このページはインターネットに接続しません。",
    dropHint: "エクスプローラ等からドラッグ＆ドロップするか、または、",
    pickFiles: "ここをクリックして変換するファイルを選択して下さい。",
    pickFolder: "フォルダを選択する場合はここをクリックして下さい。",
    referencePoints: "SXF寸法図形基準点に仮点作図する",
    onlyJw: "※変換対象は JWW/JWSのみ",
    stop: "中止",
    zip: "すべてを ZIP で保存",
    logTitle: "ログ",
    filesTitle: "変換したファイル",
    status: "※保存先フォルダに同じ名前のファイルが存在する場合は名前に枝番が付きます",
    save: "保存",
    compare: "比較を表示",
    close: "閉じる",
    loading: "準備中…",
    pictureFailed: "図を表示できません：",
    readFailed: "ファイルを読み込めません（ブラウザが扱える大きさを超えています）：",
    licences: "このページに含まれるライブラリのライセンス",
  },
  en: {
    privacy: "Your files never leave this computer. This page makes no connection to the internet.",
    dropHint: "Drop drawings, figures or folders here from your file manager, or",
    pickFiles: "click here to choose the files to convert.",
    pickFolder: "Click here to choose a folder.",
    referencePoints: "Draw the reference points of SXF dimensions as temporary points",
    onlyJw: "Only JWW and JWS files are converted.",
    stop: "Stop",
    zip: "Save all as ZIP",
    logTitle: "Log",
    filesTitle: "Converted files",
    status: "A name that is taken gets a branch number (plan~1.jww).",
    save: "Save",
    compare: "Show comparison",
    close: "Close",
    loading: "Loading…",
    pictureFailed: "Cannot show the picture: ",
    readFailed: "Cannot read the file (larger than the browser allows): ",
    licences: "Licences of the libraries in this page",
  },
};
const lang = (navigator.languages && navigator.languages[0] || navigator.language || "ja").toLowerCase();
const T = lang.startsWith("ja") || !lang ? TEXTS.ja : TEXTS.en;
document.documentElement.lang = T === TEXTS.ja ? "ja" : "en";
for (const el of document.querySelectorAll("[data-text]")) el.textContent = T[el.dataset.text];

const $ = (id) => document.getElementById(id);
const status = $("status");
status.textContent = T.loading;

// The worker, from the engine and the worker's script in this very file.
const workerSource = $("engine").textContent + "\n" + $("worker").textContent;
const worker = new Worker(URL.createObjectURL(new Blob([workerSource], {type: "text/javascript"})));

let ready = false;
let running = false;
let pending = null;       // an intake that came while the engine loaded
let sources = new Map();  // this run's files by path
let results = [];         // {src, dst, done, bytes, row}
let pictures = 0;
let runStarted = 0;
const pictureWaits = new Map();
// What a test reads: the log lines, the results and the state.
window.talvine = {log: [], results, get running() { return running; }, get ready() { return ready; }};

function addLog(line) {
  const li = document.createElement("li");
  li.textContent = line;
  $("log").appendChild(li);
  li.scrollIntoView({block: "nearest"});
  window.talvine.log.push(line);
}

function resetRun() {
  $("log").textContent = "";
  $("results").tBodies[0].textContent = "";
  window.talvine.log = [];
  for (const r of results) if (r.url) URL.revokeObjectURL(r.url);
  results.length = 0;
  $("zip").disabled = true;
}

// One intake: items [{path, file}] and the top names, as dropped or picked.
function startRun(items, names) {
  if (running) return;
  if (!ready) {
    pending = [items, names];
    return;
  }
  running = true;
  resetRun();
  sources = new Map(items.filter((i) => i.file).map((i) => [i.path, i.file]));
  $("stop").disabled = false;
  $("progress").value = 0;
  runStarted = performance.now();
  worker.postMessage({type: "run", items, names, referencePoints: $("CheckBox1").checked});
}

function resultRow(src) {
  const tr = document.createElement("tr");
  const name = document.createElement("td");
  name.textContent = src;
  const out = document.createElement("td");
  const actions = document.createElement("td");
  const compare = document.createElement("button");
  compare.type = "button";
  compare.className = "compare";
  compare.textContent = T.compare;
  const file = sources.get(src);
  compare.onclick = () => showPicture(src, file);
  actions.appendChild(compare);
  tr.append(name, out, actions);
  $("results").tBodies[0].appendChild(tr);
  return {tr, out, actions};
}

function baseName(path) { return path.split("/").pop(); }

worker.onmessage = (e) => {
  const m = e.data;
  if (m.type === "ready") {
    ready = true;
    status.textContent = T.status;
    if (pending) {
      const [items, names] = pending;
      pending = null;
      startRun(items, names);
    }
  } else if (m.type === "log") {
    addLog(m.line);
  } else if (m.type === "start") {
    $("progress").max = Math.max(1, m.total);
  } else if (m.type === "progress") {
    status.textContent = m.progress;
  } else if (m.type === "failure") {
    addLog(T.readFailed + m.src);
  } else if (m.type === "result") {
    const row = resultRow(m.src);
    const r = {src: m.src, dst: m.dst, done: m.done, bytes: m.bytes, url: null};
    results.push(r);
    row.out.textContent = m.dst;
    if (m.done) {
      r.url = URL.createObjectURL(new Blob([m.bytes], {type: "application/octet-stream"}));
      const a = document.createElement("a");
      a.href = r.url;
      a.download = baseName(m.dst);
      a.className = "save";
      a.textContent = T.save;
      row.actions.prepend(a);
    } else {
      row.out.classList.add("failed");
    }
    $("progress").value = results.length;
  } else if (m.type === "end") {
    window.talvine.lastRunMs = performance.now() - runStarted;
    running = false;
    $("stop").disabled = true;
    $("zip").disabled = !results.some((r) => r.done);
    status.textContent = T.status;
  } else if (m.type === "picture") {
    const wait = pictureWaits.get(m.id);
    pictureWaits.delete(m.id);
    if (wait) wait(m);
  }
};

$("stop").onclick = () => worker.postMessage({type: "stop"});

function showPicture(src, file) {
  if (!file) return;
  const id = ++pictures;
  pictureWaits.set(id, (m) => {
    $("pictureTitle").textContent = src;
    const box = $("picture");
    box.textContent = "";
    if (m.svg) {
      const img = document.createElement("img");
      img.alt = src;
      img.src = URL.createObjectURL(new Blob([m.svg], {type: "image/svg+xml"}));
      box.appendChild(img);
    } else {
      box.textContent = T.pictureFailed + m.error;
    }
    $("pictureDialog").showModal();
  });
  worker.postMessage({type: "picture", id, path: src, file});
}

// ---- Intake: drops and the pickers --------------------------------------

function readEntries(reader) {
  return new Promise((resolve, reject) => reader.readEntries(resolve, reject));
}
function entryFile(entry) { return new Promise((resolve, reject) => entry.file(resolve, reject)); }

// Every file and folder below a dropped entry, with paths from its name.
async function collect(entry, path, items) {
  if (entry.isFile) {
    items.push({path, file: await entryFile(entry)});
  } else if (entry.isDirectory) {
    items.push({path, dir: true});
    const reader = entry.createReader();
    for (;;) {
      const batch = await readEntries(reader);
      if (!batch.length) break;
      for (const child of batch) await collect(child, path + "/" + child.name, items);
    }
  }
}

const drop = $("drop");
for (const type of ["dragenter", "dragover"]) {
  drop.addEventListener(type, (e) => {
    e.preventDefault();
    drop.classList.add("over");
  });
}
drop.addEventListener("dragleave", () => drop.classList.remove("over"));
drop.addEventListener("drop", async (e) => {
  e.preventDefault();
  drop.classList.remove("over");
  const entries = [...e.dataTransfer.items].map((i) => i.webkitGetAsEntry && i.webkitGetAsEntry()).filter(Boolean);
  const items = [], names = [];
  for (const entry of entries) {
    names.push(entry.name);
    await collect(entry, entry.name, items);
  }
  // A browser that gives no entries still gives the files (not folders).
  if (!entries.length) {
    for (const file of e.dataTransfer.files) {
      names.push(file.name);
      items.push({path: file.name, file});
    }
  }
  if (names.length) startRun(items, names);
});
// Files dropped anywhere else do not make the browser open them.
window.addEventListener("dragover", (e) => e.preventDefault());
window.addEventListener("drop", (e) => e.preventDefault());

$("pickFiles").onclick = (e) => {
  e.preventDefault();
  $("fileInput").click();
};
$("pickFolder").onclick = (e) => {
  e.preventDefault();
  $("folderInput").click();
};
// Picked files are named directly; the files of a picked folder keep its
// tree below its name.
function takePicked(input, asFolder) {
  const files = [...input.files];
  input.value = "";
  if (!files.length) return;
  const items = [], names = new Set(), folders = new Set();
  for (const file of files) {
    const path = asFolder && file.webkitRelativePath ? file.webkitRelativePath : file.name;
    const parts = path.split("/");
    for (let i = 1; i < parts.length; ++i) {
      const folder = parts.slice(0, i).join("/");
      if (!folders.has(folder)) {
        folders.add(folder);
        items.push({path: folder, dir: true});
      }
    }
    names.add(parts[0]);
    items.push({path, file});
  }
  // In the order of their names, whatever order the dialog gave.
  startRun(items, [...names].sort());
}
$("fileInput").onchange = () => takePicked($("fileInput"), false);
$("folderInput").onchange = () => takePicked($("folderInput"), true);

// ---- All results as one zip, keeping the tree ---------------------------

const CRC_TABLE = (() => {
  const t = new Uint32Array(256);
  for (let n = 0; n < 256; ++n) {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
    t[n] = c >>> 0;
  }
  return t;
})();
function crc32(bytes) {
  let c = 0xFFFFFFFF;
  for (let i = 0; i < bytes.length; ++i) c = CRC_TABLE[(c ^ bytes[i]) & 0xFF] ^ (c >>> 8);
  return (c ^ 0xFFFFFFFF) >>> 0;
}

// A zip of stored entries with UTF-8 names (flag bit 11), as every unzip
// program of this century reads them.
function makeZip(entries) {
  const enc = new TextEncoder();
  const parts = [], central = [];
  let offset = 0;
  const now = new Date();
  const time = (now.getHours() << 11) | (now.getMinutes() << 5) | (now.getSeconds() >> 1);
  const date = ((now.getFullYear() - 1980) << 9) | ((now.getMonth() + 1) << 5) | now.getDate();
  for (const {name, bytes} of entries) {
    const n = enc.encode(name);
    const crc = crc32(bytes);
    const local = new DataView(new ArrayBuffer(30));
    local.setUint32(0, 0x04034b50, true);
    local.setUint16(4, 20, true);
    local.setUint16(6, 0x0800, true);
    local.setUint16(8, 0, true);
    local.setUint16(10, time, true);
    local.setUint16(12, date, true);
    local.setUint32(14, crc, true);
    local.setUint32(18, bytes.length, true);
    local.setUint32(22, bytes.length, true);
    local.setUint16(26, n.length, true);
    local.setUint16(28, 0, true);
    parts.push(local.buffer, n, bytes);
    const c = new DataView(new ArrayBuffer(46));
    c.setUint32(0, 0x02014b50, true);
    c.setUint16(4, 20, true);
    c.setUint16(6, 20, true);
    c.setUint16(8, 0x0800, true);
    c.setUint16(10, 0, true);
    c.setUint16(12, time, true);
    c.setUint16(14, date, true);
    c.setUint32(16, crc, true);
    c.setUint32(20, bytes.length, true);
    c.setUint32(24, bytes.length, true);
    c.setUint16(28, n.length, true);
    c.setUint32(42, offset, true);
    central.push(c.buffer, n);
    offset += 30 + n.length + bytes.length;
  }
  const size = central.reduce((s, p) => s + p.byteLength, 0);
  const end = new DataView(new ArrayBuffer(22));
  end.setUint32(0, 0x06054b50, true);
  end.setUint16(8, entries.length, true);
  end.setUint16(10, entries.length, true);
  end.setUint32(12, size, true);
  end.setUint32(16, offset, true);
  return new Blob([...parts, ...central, end.buffer], {type: "application/zip"});
}

$("zip").onclick = () => {
  const entries = results.filter((r) => r.done).map((r) => ({name: r.dst, bytes: r.bytes}));
  if (!entries.length) return;
  const a = document.createElement("a");
  a.href = URL.createObjectURL(makeZip(entries));
  a.download = "talvine.zip";
  document.body.appendChild(a);
  a.click();
  a.remove();
};
