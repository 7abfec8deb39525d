// Independent DWG readers, as test oracles only: the WebAssembly builds of
// LibreDWG (@mlightcad/libredwg-web) and libdxfrw (@mlightcad/libdxfrw-web),
// installed by install-oracles.sh into node_modules here. Never part of the
// product.
//
//   node bench/dwg/oracles.mjs libredwg|libdxfrw FILE...
//
// Prints one JSON line per file: the layer table (name, on, frozen, locked,
// colour), the number of top-level objects per layer in model and paper
// space, and the milliseconds taken to read the file and list that.
import { readFileSync } from "node:fs";
import { performance } from "node:perf_hooks";
import { createRequire } from "node:module";

const require = createRequire(import.meta.url);
const [reader, ...files] = process.argv.slice(2);

async function libredwgReader() {
  const { LibreDwg, Dwg_File_Type } = await import("@mlightcad/libredwg-web");
  const lib = await LibreDwg.create();
  return (bytes) => {
    const dwg = lib.dwg_read_data(bytes, Dwg_File_Type.DWG);
    if (!dwg) throw new Error("libredwg could not read the file");
    const db = lib.convert(dwg);
    lib.dwg_free(dwg);
    const layers = db.tables.LAYER.entries.map((l) => ({
      name: l.name, on: !l.off, frozen: !!l.frozen, locked: !!l.locked, color: Math.abs(l.colorIndex),
    }));
    const counts = {};
    const add = (list) => {
      for (const e of list || []) counts[e.layer] = (counts[e.layer] || 0) + 1;
    };
    add(db.entities);  // model space
    for (const b of db.tables.BLOCK_RECORD.entries) if (/^\*paper_space/i.test(b.name)) add(b.entities);
    return { layers, counts };
  };
}

async function libdxfrwReader() {
  const path = require.resolve("@mlightcad/libdxfrw-web/dist/libdxfrw.js");
  const mod = await import(path);
  const lib = await (mod.default || mod.createModule)();
  return (bytes) => {
    const database = new lib.DRW_Database();
    const handler = new lib.DRW_FileHandler();
    handler.database = database;
    const dwg = new lib.DRW_DwgR(bytes);
    const ok = dwg.read(handler, false);
    dwg.delete();
    if (!ok) throw new Error("libdxfrw could not read the file");
    const layers = [];
    for (let i = 0, n = database.layers.size(); i < n; ++i) {
      const l = database.layers.get(i);
      layers.push({ name: l.name.replace(/\0+$/, ""), on: l.color >= 0, frozen: (l.flags & 1) !== 0, locked: (l.flags & 4) !== 0, color: Math.abs(l.color) });
    }
    const counts = {};
    const add = (list) => {
      for (let i = 0, n = list.size(); i < n; ++i) {
        const e = list.get(i);
        const layer = e.layer.replace(/\0+$/, "");
        counts[layer] = (counts[layer] || 0) + 1;
      }
    };
    if (database.mBlock) add(database.mBlock.entities);
    for (let i = 0, n = database.blocks.size(); i < n; ++i) {
      const b = database.blocks.get(i);
      if (/^\*paper_space/i.test(b.name)) add(b.entities);
    }
    database.delete();
    handler.delete();
    return { layers, counts };
  };
}

const read = reader === "libredwg" ? await libredwgReader() : await libdxfrwReader();
for (const file of files) {
  const bytes = readFileSync(file);
  const start = performance.now();
  try {
    const r = read(reader === "libredwg" ? bytes : bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length));
    console.log(JSON.stringify({ file, ms: performance.now() - start, ...r }));
  } catch (e) {
    console.log(JSON.stringify({ file, error: String(e && e.message ? e.message : e) }));
  }
}
