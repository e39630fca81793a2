// The page's script, in front of emscripten's runtime: reads the input the
// user gives (a file chosen or dropped, or a pasted listing), hands its bytes
// to tolvik_web_decode and shows the views it returns. Everything stays in
// this page: the WebAssembly is compiled from the bytes inlined here, and the
// JSON document is downloaded from memory.

// Compiled from the inlined bytes, so that not even a data: URL is fetched.
Module.instantiateWasm = (imports, receive) => {
  WebAssembly.instantiate(getBinary(wasmBinaryFile), imports).then(
    (result) => receive(result.instance),
    (error) => Module.onAbort(error));
  return {};
};

(() => {
  const $ = (id) => document.getElementById(id);
  const report = $('report');
  const check = $('check');
  const map = $('map');
  const status = $('status');
  const download = $('download');
  const level = $('level');
  const listing = $('listing');

  // What the test and a curious user can read: when the decoder was ready,
  // and how long each decoding and each input took, in milliseconds.
  const times = window.tolvikTimes = {ready: null, warm: null, decode: [], shown: []};
  let input = null;  // {bytes, name, listing} of the last input
  let owners = [];   // per view segment: the map entry of each byte
  let bases = [];    // per view segment: the map's offset of its byte 0
  let cells = [];    // per view segment: the element of each byte
  let lit = [];      // the elements highlighted
  let entries = [];
  let json = null;   // the last JSON document's bytes
  let resolveReady;
  const ready = new Promise((resolve) => { resolveReady = resolve; });

  Module.onRuntimeInitialized = () => {
    warm();
    times.ready = performance.now();
    report.textContent = 'Choose or drop a parameter page, or paste a hex listing.';
    document.body.dataset.state = 'ready';
    resolveReady();
  };
  Module.onAbort = (what) => {
    report.textContent = 'The decoder could not start in this browser: ' + what;
    document.body.dataset.state = 'failed';
  };

  // The browser compiles each function of the decoder when it is first
  // called, which would make the first page take several milliseconds:
  // pages of both layouts, a dump and a listing go through it once first.
  function warm() {
    const start = performance.now();
    const signature = (text) => Array.from(text, (c) => c.charCodeAt(0));
    const dump = new Uint8Array(768);
    for (const at of [0, 256, 512]) dump.set(signature('ONFI'), at);
    const jedec = new Uint8Array(512);
    jedec.set(signature('JESD'));
    const listed = new Uint8Array(signature('4f4e4649'));
    for (const bytes of [dump.subarray(0, 256), jedec, dump, listed]) {
      HEAPU8.set(bytes, Module._tolvik_web_input());
      Module._tolvik_web_decode(bytes.length, bytes === listed ? 1 : 0, 2);
    }
    times.warm = performance.now() - start;
  }

  // Bytes as the command writes them, one character each: the report may
  // hold any byte of the page's text fields.
  function bytesText(bytes) {
    let text = '';
    for (let at = 0; at < bytes.length; at += 8192) {
      text += String.fromCharCode.apply(null, bytes.subarray(at, at + 8192));
    }
    return text;
  }

  // The words of tolvik_web_decode's result, in order (web/bindings.cpp).
  const kViews = ['dump', 'hex', 'layout', 'report', 'reportLength', 'check', 'checkLength', 'json', 'jsonLength',
    'view', 'pageLength', 'extendedLength', 'marks'];

  function hex2(n) { return n.toString(16).padStart(2, '0'); }
  function hex3(n) { return n.toString(16).padStart(3, '0'); }

  // Runs the decoder over the held input and shows every view.
  function decode() {
    const start = performance.now();
    const bytes = input.bytes.subarray(0, Module._tolvik_web_input_capacity());
    HEAPU8.set(bytes, Module._tolvik_web_input());
    const name = new TextEncoder().encode(input.name).subarray(0, Module._tolvik_web_name_capacity() - 1);
    const namePointer = Module._tolvik_web_name();
    HEAPU8.set(name, namePointer);
    HEAPU8[namePointer + name.length] = 0;
    const words = Module._tolvik_web_decode(bytes.length, input.listing ? 1 : 0, Number(level.value)) >> 2;
    const v = {};
    kViews.forEach((key, k) => { v[key] = HEAPU32[words + k]; });
    times.decode.push(performance.now() - start);

    report.textContent = bytesText(HEAPU8.subarray(v.report, v.report + v.reportLength));
    showCheck(bytesText(HEAPU8.subarray(v.check, v.check + v.checkLength)));
    json = HEAPU8.slice(v.json, v.json + v.jsonLength);
    let doc = {};
    try {
      doc = JSON.parse(bytesText(json));
    } catch (error) {
      doc = {};
    }
    const shown = v.pageLength + v.extendedLength;
    showMap(doc.map || [], HEAPU8.slice(v.view, v.view + shown), HEAPU8.slice(v.marks, v.marks + shown),
      v.pageLength, v.extendedLength, v.layout);
    download.disabled = false;

    const layouts = ['no page found', 'ONFI', 'JEDEC'];
    status.textContent = input.name + ': ' + input.bytes.length + (v.hex ? ' characters of hex listing, ' : ' bytes, ') +
      layouts[v.layout] + (v.layout ? (v.dump ? ' whole dump' : ' page') : '');
    document.body.dataset.decodes = String(Number(document.body.dataset.decodes || 0) + 1);
    requestAnimationFrame(() => times.shown.push(performance.now() - start));
  }

  // The findings block, failures and warnings coloured.
  function showCheck(text) {
    check.textContent = '';
    for (const line of text.split(/(?<=\n)/)) {
      if (!line) continue;
      const span = document.createElement('span');
      span.textContent = line;
      if (line.startsWith('FAIL ')) span.className = 'fail';
      if (line.startsWith('WARN ')) span.className = 'warn';
      check.append(span);
    }
  }

  // The hex view: the page decoded and the extended page used, 16 bytes a
  // row. The map's entries name each byte's field: the page's first, in
  // byte order, then the extended page's, counted from its first entry.
  function showMap(list, bytes, marks, pageLength, extendedLength, layout) {
    entries = list;
    const segments = [{length: pageLength, from: 0, title: layout ? 'Page' : 'Input (no page found)'}];
    if (extendedLength) segments.push({length: extendedLength, from: pageLength, title: 'Extended page'});
    owners = segments.map((segment) => new Int32Array(segment.length).fill(-1));
    bases = [0, 0];
    let segment = 0;
    let last = -1;
    list.forEach((entry, index) => {
      if (segment === 0 && (entry.first <= last || entry.last >= pageLength)) {
        segment = 1;
        bases[1] = entry.first;
      }
      if (segment >= segments.length) return;
      const base = bases[segment];
      for (let at = Math.max(entry.first - base, 0); at <= entry.last - base && at < segments[segment].length; ++at) {
        owners[segment][at] = index;
      }
      last = entry.last;
    });
    map.textContent = '';
    cells = segments.map(() => []);
    lit = [];
    segments.forEach((seg, s) => {
      const title = document.createElement('h3');
      title.textContent = seg.title;
      map.append(title);
      for (let row = 0; row < seg.length; row += 16) {
        const line = document.createElement('div');
        line.className = 'row';
        const at = document.createElement('span');
        at.className = 'at';
        at.textContent = hex3(row) + ' ';
        line.append(at);
        let text = '';
        for (let k = row; k < row + 16 && k < seg.length; ++k) {
          const value = bytes[seg.from + k];
          const mark = marks[seg.from + k];
          const cell = document.createElement('span');
          cell.className = 'b' + (value === 0 ? ' z' : '') + (mark & 1 ? ' r' : '') + (mark & 2 ? ' f' : '');
          cell.dataset.s = String(s);
          cell.dataset.at = String(k);
          cell.textContent = hex2(value);
          cells[s].push(cell);
          line.append(cell, ' ');
          text += value >= 0x20 && value < 0x7f ? String.fromCharCode(value) : '.';
        }
        const ascii = document.createElement('span');
        ascii.className = 'text';
        ascii.textContent = text;
        line.append(ascii);
        map.append(line);
      }
    });
    point(null);
  }

  // The field of the byte pointed at: its bytes highlighted, its range,
  // name and value shown.
  function point(cell) {
    for (const old of lit) old.classList.remove('hl');
    lit = [];
    const range = $('field-range');
    const name = $('field-name');
    const value = $('field-value');
    range.textContent = name.textContent = value.textContent = '';
    if (!cell) return;
    const s = Number(cell.dataset.s);
    const at = Number(cell.dataset.at);
    const index = owners[s] ? owners[s][at] : -1;
    if (index < 0) {
      range.textContent = '0x' + hex3(at);
      return;
    }
    const entry = entries[index];
    const first = entry.first - bases[s];
    const last = entry.last - bases[s];
    range.textContent = '0x' + hex3(first) + (last > first ? '-0x' + hex3(last) : '');
    name.textContent = entry.name;
    value.textContent = typeof entry.value === 'string' ? entry.value : JSON.stringify(entry.value);
    for (let k = Math.max(first, 0); k <= last && k < cells[s].length; ++k) {
      cells[s][k].classList.add('hl');
      lit.push(cells[s][k]);
    }
  }

  map.addEventListener('mouseover', (event) => {
    const cell = event.target.closest('.b');
    if (cell) point(cell);
  });
  map.addEventListener('click', (event) => point(event.target.closest('.b')));

  async function take(bytes, name, isListing) {
    await ready;
    input = {bytes, name, listing: isListing};
    decode();
  }

  async function takeFile(file) {
    if (!file) return;
    try {
      await take(new Uint8Array(await file.arrayBuffer()), file.name, false);
    } catch (error) {
      report.textContent = 'Open file Error\n';
    }
  }

  // The last input given is the one shown: a file clears the text area, a
  // listing the file chooser.
  $('file').addEventListener('change', (event) => {
    listing.value = '';
    takeFile(event.target.files[0]);
  });
  listing.addEventListener('input', () => {
    $('file').value = '';
    if (listing.value.trim()) take(new TextEncoder().encode(listing.value), '-', true);
  });
  level.addEventListener('change', () => { if (input) decode(); });

  // Drops anywhere on the page; the browser must not open the file instead.
  const drop = $('drop');
  document.addEventListener('dragover', (event) => {
    event.preventDefault();
    drop.classList.add('over');
  });
  document.addEventListener('dragleave', () => drop.classList.remove('over'));
  document.addEventListener('drop', (event) => {
    drop.classList.remove('over');
    // Text dropped into the text area goes in as if typed.
    if (!event.dataTransfer.files.length) return;
    event.preventDefault();
    listing.value = '';
    takeFile(event.dataTransfer.files[0]);
  });

  // The command's -j -c -m document, from memory: a blob URL, no request.
  download.addEventListener('click', () => {
    if (!json) return;
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([json], {type: 'application/json'}));
    link.download = (input.name === '-' ? 'listing' : input.name) + '.json';
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 0);
  });
})();
