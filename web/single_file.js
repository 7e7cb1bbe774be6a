// The intro's page as one file that opens from disk (file://), where a page
// cannot fetch the files beside it: the page with its script, the program's
// script and WebAssembly, the music and the icon inside it.
//   node single_file.js FOLDER OUT   FOLDER holds index.html, page.js,
//                                    ZENOrA_intro.js and .wasm, LIGHT.S3M, favicon.ico
'use strict';
const fs = require('fs');
const path = require('path');

const [folder, out] = process.argv.slice(2);
const read = (name) => fs.readFileSync(path.join(folder, name));
// A script's text inside <script>: nothing in it may end the element.
const script = (text) => `<script>${String(text).replace(/<\/(script)/gi, '<\\/$1')}</script>`;

let html = read('index.html').toString();
const replace = (from, to) => {
  if (!html.includes(from)) throw new Error(`index.html has no ${from}`);
  html = html.replace(from, () => to);
};
replace('<link rel="icon" href="favicon.ico">',
        `<link rel="icon" href="data:image/x-icon;base64,${read('favicon.ico').toString('base64')}">`);
html = html.replace(/<link rel="preload"[^>]*>\n/g, '');
const files = {'ZENOrA_intro.wasm': read('ZENOrA_intro.wasm').toString('base64'),
               'LIGHT.S3M': read('LIGHT.S3M').toString('base64')};
const start = html.indexOf('<script src="page.js"');
const end = html.indexOf('</script>', start) + '</script>'.length;
if (start < 0) throw new Error('index.html loads no page.js');
html = html.slice(0, start) + script(`window.zenoraInline = ${JSON.stringify(files)};`) + '\n' +
       script(read('ZENOrA_intro.js')) + '\n' + script(read('page.js')) + html.slice(end);
fs.writeFileSync(`${out}.part`, html);
fs.renameSync(`${out}.part`, out);
