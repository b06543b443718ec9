// Build step: the Ruffle that goes beside the pages, from Ruffle's npm
// package. node make_page_ruffle.mjs PACKAGE_DIR LOADER OUT_DIR
//
// OUT_DIR gets Ruffle's script and its two cores (one for browsers with
// WebAssembly's extensions, one without), the loader, the licence, and in
// place of each .wasm a script that carries its bytes (gzip, base64): a
// page opened from disk can load scripts but cannot fetch the wasm. Source
// maps are left out.
import { copyFileSync, mkdirSync, readdirSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import path from "node:path";
import { gzipSync } from "node:zlib";

const [packageDir, loader, out] = process.argv.slice(2);
if (!out) {
  console.error("usage: make_page_ruffle.mjs PACKAGE_DIR LOADER OUT_DIR");
  process.exit(2);
}
rmSync(out, { recursive: true, force: true });
mkdirSync(out, { recursive: true });
const files = readdirSync(packageDir);
let wasms = 0;
for (const name of files) {
  const from = path.join(packageDir, name);
  if (name === "ruffle.js" || /^core\.ruffle\.[0-9a-f]+\.js$/.test(name) || /^LICENSE/.test(name)) {
    copyFileSync(from, path.join(out, name));
  } else if (name.endsWith(".wasm")) {
    // mtime 0 in the gzip header: the same package gives the same bytes.
    const packed = gzipSync(readFileSync(from), { level: 9 }).toString("base64");
    writeFileSync(path.join(out, name + ".js"), `TembrelRuffle.carry("${name}", "gzip", "${packed}");\n`);
    ++wasms;
  }
}
if (!files.includes("ruffle.js") || wasms === 0) {
  console.error(`${packageDir} does not hold Ruffle's web package`);
  process.exit(1);
}
copyFileSync(loader, path.join(out, "page.js"));
