// The tuner's page: shows the shot and its key, edits the keyer's parameters, asks the server
// to re-key the full frame after every change and saves the script. The server sends pictures
// as raw samples (R, G, B, A; 8-bit, or 16-bit little-endian), exactly as the keyer made them.
'use strict';
(() => {
  const token = new URLSearchParams(location.search).get('token') || '';
  const $ = (id) => document.getElementById(id);
  const VIEWS = [
    ['composite', 'Composite'], ['matte', 'Matte'], ['status', 'Status'],
    ['unpremultiplied', 'Unpremultiplied'], ['original', 'Original'],
  ];
  const CLICK_AREA = 9;        // a click picks the mean of this many pixels square
  const DARKEST_SHARE = 0.1;   // "darkest part": the darkest tenth of the area
  const DECIMALS = 4;          // the keyer uses values to four decimals
  const ZOOM_STEP = 1.25;
  const ALPHA_BIT = 1;         // in the host's channel mask
  // The order of the parameter groups: as the user guide explains the keyer, screen first.
  const GROUP_ORDER = ['Screen', 'Balance', 'Spill', 'Colour', 'Mattes', 'Output'];
  const MAX_ZOOM = 32;

  const state = {
    setup: null, params: [], byName: {}, values: {}, frames: [], frameIndex: 0,
    pictures: {}, bitmaps: {}, zoom: 1, cx: 0, cy: 0, fitted: false,
    tool: 'pick', layout: 'single', panes: [], inFlight: false, pending: false,
    renders: 0, lastMs: 0, pickRect: null, drag: null, space: false, error: '',
  };

  // ---- server -----------------------------------------------------------------------------
  async function api(path, body) {
    const options = { headers: { 'X-Tuner-Token': token } };
    if (body !== undefined) {
      options.method = 'POST';
      options.body = JSON.stringify(body);
      options.headers['Content-Type'] = 'application/json';
    }
    const response = await fetch(path, options);
    if (!response.ok) {
      let message = response.status + ' ' + response.statusText;
      try { message = (await response.json()).error || message; } catch (e) { /* not JSON */ }
      throw new Error(message);
    }
    return response;
  }

  async function fetchPicture(response) {
    const h = (name) => parseInt(response.headers.get(name), 10);
    const buffer = await response.arrayBuffer();
    const bps = h('X-Bytes-Per-Sample');
    return {
      width: h('X-Width'), height: h('X-Height'), bps, channels: h('X-Channels'),
      ms: parseFloat(response.headers.get('X-Render-Ms')), bytes: new Uint8Array(buffer),
      data: bps === 2 ? new Uint16Array(buffer) : new Uint8Array(buffer),
    };
  }

  function maxOf(picture) { return picture.bps === 2 ? 65535 : 255; }

  // An offscreen canvas with the picture as the view shows it (the matte as grey).
  function makeBitmap(picture, view) {
    const { width, height, data } = picture;
    const image = new ImageData(width, height);
    const out = image.data;
    const shift = picture.bps === 2 ? 8 : 0;
    const n = width * height * 4;
    if (view === 'matte') {
      for (let i = 0; i < n; i += 4) {
        const v = data[i + 3] >> shift;
        out[i] = v; out[i + 1] = v; out[i + 2] = v; out[i + 3] = 255;
      }
    } else {
      for (let i = 0; i < n; i += 4) {
        out[i] = data[i] >> shift; out[i + 1] = data[i + 1] >> shift;
        out[i + 2] = data[i + 2] >> shift; out[i + 3] = 255;
      }
    }
    const canvas = document.createElement('canvas');
    canvas.width = width;
    canvas.height = height;
    canvas.getContext('2d').putImageData(image, 0, 0);
    return canvas;
  }

  function setPicture(view, picture) {
    state.pictures[view] = picture;
    state.bitmaps[view] = makeBitmap(picture, view);
  }

  function frame() { return state.frames[state.frameIndex]; }

  async function loadOriginal() {
    const response = await api('/api/original?frame=' + frame() + '&token=' + token);
    setPicture('original', await fetchPicture(response));
    draw();
    if (!state.fitted) { fit(); state.fitted = true; }
  }

  function keyedViews() {
    const views = visiblePanes().map((p) => p.view).filter((v) => v !== 'original');
    return [...new Set(views)];
  }

  function requestKey() {
    if (state.inFlight) { state.pending = true; return; }
    runKey();
  }

  async function runKey() {
    state.inFlight = true;
    state.pending = false;
    setStatus('keying\u2026', 'busy');
    try {
      let ms = 0;
      for (const view of keyedViews()) {
        const response = await api('/api/key', { frame: frame(), view, values: state.values });
        const picture = await fetchPicture(response);
        setPicture(view, picture);
        ms += picture.ms;
      }
      state.renders += 1;
      state.lastMs = ms;
      showError('');
      const o = state.pictures.original;
      setStatus(o ? `${o.width}\u00d7${o.height} \u00b7 ${o.bps * 8}-bit \u00b7 key ${ms.toFixed(0)} ms` : '');
    } catch (e) {
      showError(e.message);
      setStatus('error', 'err');
    }
    state.inFlight = false;
    draw();
    if (state.pending) runKey();
  }

  function setStatus(text, kind) {
    const s = $('status');
    s.textContent = text;
    s.className = 'status' + (kind ? ' ' + kind : '');
  }

  function showError(message) {
    state.error = message;
    $('error').hidden = !message;
    $('error').textContent = message;
    for (const p of state.params) {
      const row = p.row;
      if (!row) continue;
      const bad = message.startsWith(p.name + ':');
      row.querySelectorAll('input, select').forEach((el) => el.classList.toggle('bad', bad));
    }
  }

  // ---- parameters ---------------------------------------------------------------------------
  function round(v) { const f = 10 ** DECIMALS; return Math.round(v * f) / f; }

  // The number a parameter stands for now (a following parameter: the one it follows).
  function numberOf(name, depth = 0) {
    const v = state.values[name];
    if (state.byName[v] && depth < 4) return numberOf(v, depth + 1);
    return parseFloat(v);
  }

  function setValue(name, text) {
    state.values[name] = String(text);
    refreshControls();
    requestKey();
  }

  // Parameters without an upper limit (exposure, gamma) get a slider over the useful part.
  const SOFT_MAX = 4;
  function sliderRange(p) { return { min: p.min, max: p.bounded ? p.max : SOFT_MAX }; }

  function buildControls() {
    const groups = new Map();
    for (const p of state.params) {
      if (!groups.has(p.group)) groups.set(p.group, []);
      groups.get(p.group).push(p);
    }
    const root = $('groups');
    root.textContent = '';
    const rank = (g) => (GROUP_ORDER.indexOf(g) < 0 ? GROUP_ORDER.length : GROUP_ORDER.indexOf(g));
    const ordered = [...groups].sort((a, b) => rank(a[0]) - rank(b[0]));
    for (const [group, params] of ordered) {
      const details = document.createElement('details');
      details.className = 'group';
      details.open = true;
      const summary = document.createElement('summary');
      summary.textContent = group;
      const note = document.createElement('span');
      note.className = 'note';
      summary.appendChild(note);
      details.appendChild(summary);
      const rows = document.createElement('div');
      rows.className = 'rows';
      for (const p of params) rows.appendChild(buildRow(p));
      details.appendChild(rows);
      root.appendChild(details);
      const colour = params.filter((p) => /^[rgb][A-Z]/.test(p.name) && p.kind === 'float');
      if (colour.length === 3 && !params[0].name.endsWith('Exposure')) {
        const swatch = document.createElement('span');
        swatch.className = 'swatch';
        note.appendChild(swatch);
        state.swatches = state.swatches || [];
        state.swatches.push({ swatch, names: colour.map((p) => p.name) });
      }
    }
  }

  function buildRow(p) {
    const row = document.createElement('div');
    row.className = 'row';
    row.dataset.name = p.name;
    const label = document.createElement('label');
    label.textContent = p.name;
    label.title = p.help;
    row.appendChild(label);
    const reset = document.createElement('button');
    reset.className = 'reset';
    reset.textContent = '\u21ba';
    reset.title = 'Reset to the default (' + p.default + ')';
    reset.addEventListener('click', () => setValue(p.name, p.default));
    let caption = '';
    if (p.kind === 'text') {
      const select = document.createElement('select');
      select.className = 'wide';
      select.name = p.name;
      for (const a of p.accepted) select.add(new Option(a, a));
      select.addEventListener('change', () => setValue(p.name, select.value));
      row.appendChild(select);
      p.input = select;
      caption = 'default ' + p.default;
    } else if (p.kind === 'int' && p.min === 0 && p.max === 1) {
      const wrap = document.createElement('label');
      wrap.className = 'wide';
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.name = p.name;
      box.addEventListener('change', () => setValue(p.name, box.checked ? '1' : '0'));
      wrap.appendChild(box);
      wrap.appendChild(document.createTextNode(' on'));
      row.appendChild(wrap);
      p.input = box;
      caption = '0 or 1 \u2014 default ' + p.default;
    } else {
      const range = sliderRange(p);
      const slider = document.createElement('input');
      slider.type = 'range';
      slider.min = range.min;
      slider.max = range.max;
      slider.step = p.kind === 'int' ? 1 : (range.max - range.min) / 1000;
      slider.name = p.name + 'Slider';
      const number = document.createElement('input');
      number.type = 'number';
      number.name = p.name;
      number.step = p.kind === 'int' ? 1 : 0.001;
      if (p.bounded) { number.min = p.min; number.max = p.max; }
      slider.addEventListener('input', () => {
        const v = p.kind === 'int' ? slider.value : String(round(parseFloat(slider.value)));
        setValue(p.name, v);
      });
      number.addEventListener('change', () => setValue(p.name, number.value.trim()));
      row.appendChild(slider);
      row.appendChild(number);
      p.input = number;
      p.slider = slider;
      const span = `${p.min} \u2026 ${p.bounded ? p.max : '\u221e'}`;
      caption = span + ' \u2014 default ' + (p.follows ? 'follows ' + p.default : p.default);
    }
    row.appendChild(reset);
    const captionEl = document.createElement('div');
    captionEl.className = 'range';
    captionEl.textContent = caption;
    row.appendChild(captionEl);
    p.row = row;
    p.caption = captionEl;
    p.captionText = caption;
    return row;
  }

  function refreshControls() {
    for (const p of state.params) {
      const v = state.values[p.name];
      const follows = p.follows && v === p.default;
      p.row.classList.toggle('follows', follows);
      const numeric = p.kind !== 'text' && !follows && !p.follows;
      p.row.classList.toggle('changed', numeric ? parseFloat(v) !== parseFloat(p.default) : v !== p.default);
      if (p.kind === 'text') {
        p.input.value = v;
      } else if (p.input.type === 'checkbox') {
        p.input.checked = v === '1';
      } else {
        const n = numberOf(p.name);
        if (document.activeElement !== p.input) p.input.value = follows ? round(n) : v;
        if (document.activeElement !== p.slider) p.slider.value = n;
        p.caption.textContent = follows ? p.captionText + ' (now ' + round(n) + ')' : p.captionText;
      }
    }
    for (const s of state.swatches || []) {
      const rgb = s.names.map((n) => Math.round(255 * Math.min(1, Math.max(0, numberOf(n)))));
      s.swatch.style.background = `rgb(${rgb.join(',')})`;
    }
  }

  // ---- screen pick --------------------------------------------------------------------------
  function pickScreen(rect) {
    const o = state.pictures.original;
    if (!o) return;
    let { x0, y0, x1, y1 } = rect;
    if (x1 - x0 < 2 && y1 - y0 < 2) {  // a click: the area around it
      const half = (CLICK_AREA - 1) / 2;
      const cx = Math.floor(x0), cy = Math.floor(y0);
      x0 = cx - half; y0 = cy - half; x1 = cx + half + 1; y1 = cy + half + 1;
    }
    x0 = Math.max(0, Math.floor(x0)); y0 = Math.max(0, Math.floor(y0));
    x1 = Math.min(o.width, Math.ceil(x1)); y1 = Math.min(o.height, Math.ceil(y1));
    if (x1 <= x0 || y1 <= y0) return;
    const pixels = [];
    const sum = [0, 0, 0];
    for (let y = y0; y < y1; y++) {
      for (let x = x0; x < x1; x++) {
        const i = (y * o.width + x) * 4;
        const px = [o.data[i], o.data[i + 1], o.data[i + 2]];
        pixels.push(px);
        for (let c = 0; c < 3; c++) sum[c] += px[c];
      }
    }
    let chosen = pixels;
    if ($('darkest').checked && pixels.length > 1) {
      // The screen's channel is the strongest of the area's mean; its darkest pixels are the
      // screen in shadow, which the keyer must still key fully.
      const c = sum.indexOf(Math.max(...sum));
      chosen = pixels.slice().sort((a, b) => a[c] - b[c]);
      chosen = chosen.slice(0, Math.max(1, Math.round(chosen.length * DARKEST_SHARE)));
    }
    const mean = [0, 0, 0];
    for (const px of chosen) for (let c = 0; c < 3; c++) mean[c] += px[c];
    const names = ['rScreen', 'gScreen', 'bScreen'];
    names.forEach((n, c) => { state.values[n] = String(round(mean[c] / chosen.length / maxOf(o))); });
    refreshControls();
    requestKey();
  }

  // ---- viewer ---------------------------------------------------------------------------------
  function makePane(view) {
    const pane = document.createElement('div');
    pane.className = 'pane';
    const canvas = document.createElement('canvas');
    pane.appendChild(canvas);
    const head = document.createElement('div');
    head.className = 'head';
    const select = document.createElement('select');
    for (const [v, label] of VIEWS) select.add(new Option(label, v));
    select.value = view;
    head.appendChild(select);
    pane.appendChild(head);
    const entry = { view, pane, canvas, select };
    select.addEventListener('change', () => {
      entry.view = select.value;
      if (entry.view !== 'original' && !state.pictures[entry.view]) requestKey();
      draw();
    });
    hookPointer(entry);
    $('panels').appendChild(pane);
    return entry;
  }

  function visiblePanes() { return state.layout === 'split' ? state.panes : state.panes.slice(0, 1); }

  function imageSize() {
    const o = state.pictures.original;
    return o ? [o.width, o.height] : [1, 1];
  }

  function fit() {
    const [w, h] = imageSize();
    const c = state.panes[0].canvas;
    const dpr = window.devicePixelRatio || 1;
    const cw = c.clientWidth * dpr, ch = c.clientHeight * dpr;
    state.zoom = Math.min(cw / w, ch / h) * 0.98;
    state.cx = w / 2;
    state.cy = h / 2;
    draw();
  }

  function setZoom(z, anchor) {
    z = Math.min(MAX_ZOOM, Math.max(0.02, z));
    if (anchor) {  // keep the picture point under the cursor where it is
      state.cx = anchor.ix - (anchor.ix - state.cx) * state.zoom / z;
      state.cy = anchor.iy - (anchor.iy - state.cy) * state.zoom / z;
    }
    state.zoom = z;
    draw();
  }

  function transformOf(canvas) {
    return {
      s: state.zoom,
      ox: canvas.width / 2 - state.cx * state.zoom,
      oy: canvas.height / 2 - state.cy * state.zoom,
    };
  }

  function toImage(entry, event) {
    const r = entry.canvas.getBoundingClientRect();
    const dpr = window.devicePixelRatio || 1;
    const t = transformOf(entry.canvas);
    return {
      ix: ((event.clientX - r.left) * dpr - t.ox) / t.s,
      iy: ((event.clientY - r.top) * dpr - t.oy) / t.s,
    };
  }

  // Two pictures sit side by side or one above the other, whichever shows them larger.
  function orientPanes() {
    const area = $('panels');
    const [w, h] = imageSize();
    const across = Math.min(area.clientWidth / 2 / w, area.clientHeight / h);
    const stacked = Math.min(area.clientWidth / w, area.clientHeight / 2 / h);
    area.classList.toggle('stacked', state.layout === 'split' && stacked > across);
  }

  function draw() {
    state.panes.forEach((entry, i) => { entry.pane.hidden = i > 0 && state.layout !== 'split'; });
    orientPanes();
    for (const entry of visiblePanes()) {
      const c = entry.canvas;
      const dpr = window.devicePixelRatio || 1;
      const w = Math.round(c.clientWidth * dpr), h = Math.round(c.clientHeight * dpr);
      if (c.width !== w || c.height !== h) { c.width = w; c.height = h; }
      const ctx = c.getContext('2d');
      ctx.setTransform(1, 0, 0, 1, 0, 0);
      ctx.fillStyle = '#0e0f11';
      ctx.fillRect(0, 0, w, h);
      const bitmap = state.bitmaps[entry.view];
      const t = transformOf(c);
      ctx.setTransform(t.s, 0, 0, t.s, t.ox, t.oy);
      ctx.imageSmoothingEnabled = t.s < 1;
      if (bitmap) ctx.drawImage(bitmap, 0, 0);
      if (state.pickRect) {
        const r = state.pickRect;
        ctx.lineWidth = 1.5 / t.s;
        ctx.strokeStyle = '#ffd34d';
        ctx.setLineDash([4 / t.s, 3 / t.s]);
        ctx.strokeRect(r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0);
        ctx.setLineDash([]);
      }
    }
    $('zoomText').textContent = Math.round(state.zoom * 100) + '%';
  }

  function sampleText(picture, x, y, alphaOnly) {
    if (!picture || x < 0 || y < 0 || x >= picture.width || y >= picture.height) return '\u2013';
    const i = (y * picture.width + x) * 4;
    const m = maxOf(picture);
    const f = (v) => (v / m).toFixed(4);
    if (alphaOnly) return 'A ' + f(picture.data[i + 3]);
    const rgb = `R ${f(picture.data[i])}  G ${f(picture.data[i + 1])}  B ${f(picture.data[i + 2])}`;
    return picture.channels & ALPHA_BIT ? rgb + `  A ${f(picture.data[i + 3])}` : rgb;
  }

  function readout(entry, p) {
    const x = Math.floor(p.ix), y = Math.floor(p.iy);
    $('readPos').textContent = `x ${x}  y ${y}`;
    $('readOrig').textContent = sampleText(state.pictures.original, x, y, false);
    const view = entry.view === 'original' ? 'composite' : entry.view;
    $('readKeyName').textContent = view;
    $('readKey').textContent = sampleText(state.pictures[view], x, y, view === 'matte');
  }

  function hookPointer(entry) {
    const c = entry.canvas;
    c.addEventListener('contextmenu', (e) => e.preventDefault());
    c.addEventListener('pointerdown', (e) => {
      const p = toImage(entry, e);
      const pan = e.button !== 0 || state.tool === 'pan' || state.space;
      state.drag = { pan, start: p, x: e.clientX, y: e.clientY };
      if (!pan) state.pickRect = { x0: p.ix, y0: p.iy, x1: p.ix, y1: p.iy };
      c.setPointerCapture(e.pointerId);
      e.preventDefault();
    });
    c.addEventListener('pointermove', (e) => {
      const p = toImage(entry, e);
      readout(entry, p);
      const d = state.drag;
      if (!d) return;
      if (d.pan) {
        const dpr = window.devicePixelRatio || 1;
        state.cx -= (e.clientX - d.x) * dpr / state.zoom;
        state.cy -= (e.clientY - d.y) * dpr / state.zoom;
        d.x = e.clientX; d.y = e.clientY;
      } else {
        state.pickRect = {
          x0: Math.min(d.start.ix, p.ix), y0: Math.min(d.start.iy, p.iy),
          x1: Math.max(d.start.ix, p.ix), y1: Math.max(d.start.iy, p.iy),
        };
      }
      draw();
    });
    c.addEventListener('pointerup', () => {
      const d = state.drag;
      state.drag = null;
      if (d && !d.pan && state.pickRect) {
        pickScreen(state.pickRect);
        const r = state.pickRect;
        if (r.x1 - r.x0 < 2 && r.y1 - r.y0 < 2) state.pickRect = null;
      }
      draw();
    });
    c.addEventListener('wheel', (e) => {
      e.preventDefault();
      setZoom(state.zoom * (e.deltaY < 0 ? ZOOM_STEP : 1 / ZOOM_STEP), toImage(entry, e));
    }, { passive: false });
  }

  function hookBar() {
    document.querySelectorAll('#layout button').forEach((b) => b.addEventListener('click', () => {
      state.layout = b.dataset.layout;
      document.querySelectorAll('#layout button').forEach((x) => x.classList.toggle('on', x === b));
      draw();
      fit();
      requestKey();
    }));
    document.querySelectorAll('#tool button').forEach((b) => b.addEventListener('click', () => {
      state.tool = b.dataset.tool;
      document.querySelectorAll('#tool button').forEach((x) => x.classList.toggle('on', x === b));
      state.panes.forEach((p) => p.pane.classList.toggle('pan', state.tool === 'pan'));
    }));
    $('zoomFit').addEventListener('click', fit);
    $('zoom1').addEventListener('click', () => setZoom(1));
    $('zoomIn').addEventListener('click', () => setZoom(state.zoom * ZOOM_STEP));
    $('zoomOut').addEventListener('click', () => setZoom(state.zoom / ZOOM_STEP));
    window.addEventListener('resize', draw);
    window.addEventListener('keydown', (e) => {
      if (e.target.tagName === 'INPUT' || e.target.tagName === 'SELECT') return;
      if (e.key === ' ') { state.space = true; e.preventDefault(); }
      else if (e.key === 'f') fit();
      else if (e.key === '1') setZoom(1);
      else if (e.key === '+' || e.key === '=') setZoom(state.zoom * ZOOM_STEP);
      else if (e.key === '-') setZoom(state.zoom / ZOOM_STEP);
    });
    window.addEventListener('keyup', (e) => { if (e.key === ' ') state.space = false; });
    $('frameSlider').addEventListener('input', async () => {
      state.frameIndex = parseInt($('frameSlider').value, 10);
      $('frameText').textContent = String(frame());
      state.pictures = {};
      try { await loadOriginal(); } catch (e) { showError(e.message); }
      requestKey();
    });
    $('save').addEventListener('click', async () => {
      try {
        const response = await api('/api/save', { values: state.values });
        const reply = await response.json();
        $('scriptPath').textContent = reply.path;
        $('commandLine').textContent = reply.commandLine;
        $('saved').hidden = false;
        $('saved').textContent = 'Saved ' + new Date().toLocaleTimeString();
        state.saved = reply;
        showError('');
      } catch (e) {
        showError(e.message);
      }
    });
  }

  // ---- start ----------------------------------------------------------------------------------
  async function start() {
    hookBar();
    state.panes = [makePane('composite'), makePane('matte')];
    try {
      const setup = await (await api('/api/setup')).json();
      state.setup = setup;
      state.params = setup.parameters;
      for (const p of state.params) state.byName[p.name] = p;
      state.values = Object.assign({}, setup.values);
      state.frames = setup.frames;
      $('shotName').textContent = setup.inputs.shot;
      $('shotName').title = setup.inputs.shot;
      $('scriptPath').textContent = setup.scriptPath;
      $('commandLine').textContent = setup.commandLine;
      if (state.frames.length > 1) {
        $('frameRow').hidden = false;
        $('frameSlider').max = state.frames.length - 1;
        $('frameText').textContent = String(frame());
      }
      buildControls();
      refreshControls();
      await loadOriginal();
      requestKey();
    } catch (e) {
      showError(e.message);
      setStatus('error', 'err');
    }
  }

  // For scripted checks (the browser test): the state and the bytes each view received.
  window.tuner = {
    state,
    busy: () => state.inFlight || state.pending,
    renders: () => state.renders,
    // SHA-256 of the samples a view shows, as received, and its size.
    digest: async (view) => {
      const p = state.pictures[view];
      if (!p) return null;
      const hash = new Uint8Array(await crypto.subtle.digest('SHA-256', p.bytes));
      return {
        width: p.width, height: p.height, bps: p.bps,
        sha256: Array.from(hash, (b) => b.toString(16).padStart(2, '0')).join(''),
      };
    },
    // Where picture pixel (x, y) lies in the first pane, relative to the pane's centre.
    paneOffset: (x, y) => {
      const c = state.panes[0].canvas;
      const t = transformOf(c);
      const dpr = window.devicePixelRatio || 1;
      return {
        dx: Math.round(((x + 0.5) * t.s + t.ox) / dpr - c.clientWidth / 2),
        dy: Math.round(((y + 0.5) * t.s + t.oy) / dpr - c.clientHeight / 2),
      };
    },
  };
  start();
})();
