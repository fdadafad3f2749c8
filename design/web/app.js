// The designer's page. It never draws a page itself: every pixel on its
// canvases is one of the 480 bytes the server rendered with kpl build's
// code, so the designer and the build cannot differ.

const $ = (id) => document.getElementById(id);
const SCALE = 6; // the chosen page is shown 6 times its size
const DARK = [29, 43, 29];
const LIGHT = [197, 214, 163];

let state = null;
let pageIndex = 0;
let layerIndex = -1;
let shownKey = ''; // what the properties form was built for
// Milliseconds from an input to its pixels on the canvas, for the
// benchmark that reads them (scripts/bench-design).
window.kplTimings = [];

function say(text, failed = false) {
  $('status').textContent = text;
  $('status').className = failed ? 'failed' : '';
}

function sayLine(text, failed) {
  $('line-status').textContent = text;
  $('line-status').className = failed ? 'failed' : '';
}

async function answerOf(response) {
  try {
    return await response.json();
  } catch {
    return { ok: false, message: await response.text().catch(() => 'no answer') };
  }
}

// Every change names the version of the project it was made on; one made
// on an older version (another tab changed the project) is refused with
// the project as it is now (409), which this page then shows.
async function post(route, fields, body) {
  fields = { ...fields, version: state ? state.version : '' };
  try {
    const response = await fetch('api/' + route + (body ? '?' + new URLSearchParams(fields) : ''), {
      method: 'POST',
      body: body || new URLSearchParams(fields),
    });
    const answer = await answerOf(response);
    answer.stale = response.status === 409;
    return answer;
  } catch {
    return { ok: false, message: 'kpl design is not running' };
  }
}

// Requests that change the project go one at a time, in order. A waiting
// request with the same key takes the newer value (a slider moved on);
// waiting nudges of one drag add up.
const queue = [];
let busy = false;

function enqueue(task) {
  window.kplQueued++;
  const waiting = task.key ? queue.find((t) => t.key === task.key) : null;
  if (waiting && task.fields && task.fields.op === 'nudge') {
    waiting.fields.dx = Number(waiting.fields.dx) + Number(task.fields.dx);
    waiting.fields.dy = Number(waiting.fields.dy) + Number(task.fields.dy);
  } else if (waiting) {
    waiting.fields = task.fields;
  } else {
    queue.push(task);
  }
  pump();
}

async function pump() {
  if (busy || queue.length === 0) return;
  busy = true;
  const task = queue.shift();
  try {
    const answer = await (task.run ? task.run() : post('edit', task.fields));
    if (answer.state) show(answer.state);
    if (!task.run || answer.stale) say(answer.ok ? '' : answer.message, !answer.ok);
    const started = task.started;
    requestAnimationFrame(() => window.kplTimings.push(performance.now() - started));
  } finally {
    busy = false;
    pump();
  }
}

// For tests and benchmarks: how many requests were asked for so far, and
// whether none is waiting or on its way.
window.kplQueued = 0;
window.kplSettled = () => !busy && queue.length === 0;

function edit(fields, key) {
  enqueue({ fields: { page: pageIndex, ...fields }, key, started: performance.now() });
}

function act(run) {
  enqueue({ run, started: performance.now() });
}

// The 480 bytes: 4 bands of 8 rows, a byte per column, bit 0 on top.
function draw(canvas, hex) {
  const context = canvas.getContext('2d');
  const picture = context.createImageData(120, 32);
  for (let y = 0; y < 32; y++) {
    for (let x = 0; x < 120; x++) {
      const at = ((y >> 3) * 120 + x) * 2;
      const dark = (parseInt(hex.substr(at, 2), 16) >> (y & 7)) & 1;
      picture.data.set(dark ? DARK : LIGHT, (y * 120 + x) * 4);
      picture.data[(y * 120 + x) * 4 + 3] = 255;
    }
  }
  context.putImageData(picture, 0, 0);
  canvas.dataset.hex = hex;
}

function drawGrid() {
  const grid = $('grid');
  grid.width = 120 * SCALE;
  grid.height = 32 * SCALE;
  const context = grid.getContext('2d');
  context.strokeStyle = 'rgba(0, 0, 0, 0.12)';
  context.beginPath();
  for (let x = 0; x <= 120; x++) {
    context.moveTo(x * SCALE + 0.5, 0);
    context.lineTo(x * SCALE + 0.5, grid.height);
  }
  for (let y = 0; y <= 32; y++) {
    context.moveTo(0, y * SCALE + 0.5);
    context.lineTo(grid.width, y * SCALE + 0.5);
  }
  context.stroke();
}

function page() {
  return state.pages[pageIndex];
}

function layer() {
  return page() ? page().layers[layerIndex] : undefined;
}

function two(n) {
  return String(n).padStart(2, '0');
}

// The display's 17 flash pages: the project's with their pixels, the
// others as a button that adds a page of that number.
function showPages() {
  const nav = $('pages');
  const byNumber = new Map(state.pages.map((p, i) => [p.number, i]));
  const labels = state.pages.map((p) => two(p.number) + ' ' + p.name).join('|');
  if (nav.dataset.labels !== labels) {
    nav.dataset.labels = labels;
    nav.replaceChildren();
    for (let number = 0; number < 17; number++) {
      const button = document.createElement('button');
      const i = byNumber.get(number);
      if (i === undefined) {
        button.className = 'empty';
        button.textContent = `+ ${two(number)}`;
        button.title = `Add flash page ${number} to the project`;
        button.onclick = () => addPage(number);
      } else {
        const canvas = document.createElement('canvas');
        canvas.width = 120;
        canvas.height = 32;
        button.append(canvas, two(number) + ' ' + state.pages[i].name);
        button.dataset.page = i;
        button.onclick = () => choosePage(i);
      }
      nav.append(button);
    }
  }
  for (const button of nav.querySelectorAll('button[data-page]')) {
    const i = Number(button.dataset.page);
    button.classList.toggle('chosen', i === pageIndex);
    if (button.firstChild.dataset.hex !== state.pages[i].image) draw(button.firstChild, state.pages[i].image);
  }
}

function addPage(number) {
  act(async () => {
    const answer = await post('edit', { op: 'addpage', number, name: 'page_' + number });
    if (answer.ok) choosePage(answer.state.pages.length - 1, answer.state);
    say(answer.ok ? '' : answer.message, !answer.ok);
    return answer;
  });
}

function choosePage(i, next = state) {
  state = next;
  pageIndex = i;
  layerIndex = page().layers.length - 1;
  $('slot').value = page().number;
  show(state);
}

function describe(l) {
  if (l.name) return l.name;
  switch (l.kind) {
    case 'text': return 'text "' + l.text.replace(/\n/g, ' ') + '"';
    case 'picture': return 'picture ' + l.file;
    case 'line': return `line ${l.x},${l.y} to ${l.x2},${l.y2}`;
    case 'rectangle': return `rectangle ${l.width} x ${l.height}`;
    case 'pixels': return `pixels ${l.rows.length ? l.rows[0].length : 0} x ${l.rows.length}`;
    default: return 'group ' + l.group;
  }
}

function showLayers() {
  const list = $('layers');
  list.replaceChildren();
  const layers = page() ? page().layers : [];
  // The topmost layer (drawn last) first, as people expect.
  for (let i = layers.length - 1; i >= 0; i--) {
    const l = layers[i];
    const item = document.createElement('li');
    item.className = (i === layerIndex ? 'chosen ' : '') + (l.hidden ? 'hidden' : '');
    const visible = document.createElement('input');
    visible.type = 'checkbox';
    visible.checked = !l.hidden;
    visible.title = 'Shown here (hidden layers are still saved, built and stored)';
    visible.onclick = (event) => {
      event.stopPropagation();
      edit({ op: 'hide', layer: i, value: visible.checked ? 0 : 1 });
    };
    const name = document.createElement('span');
    name.textContent = describe(l);
    const buttons = [
      ['\u2191', 'Up', () => moveLayer(i, i + 1)],
      ['\u2193', 'Down', () => moveLayer(i, i - 1)],
      ['\u2715', 'Remove', () => removeLayer(i)],
    ].map(([text, title, run]) => {
      const button = document.createElement('button');
      button.textContent = text;
      button.title = title;
      button.onclick = (event) => {
        event.stopPropagation();
        run();
      };
      return button;
    });
    item.append(visible, name, ...buttons);
    item.onclick = () => {
      layerIndex = i;
      show(state);
    };
    list.append(item);
  }
}

function moveLayer(i, to) {
  if (to < 0 || to >= page().layers.length) return;
  edit({ op: 'move', layer: i, to });
  if (layerIndex === i) layerIndex = to;
}

function removeLayer(i) {
  edit({ op: 'remove', layer: i });
  if (layerIndex >= i) layerIndex--;
}

// Each kind's fields: [field, label, input kind, choices].
const INK = ['ink', 'Ink', 'select', ['black', 'white', 'invert']];
const BOX = [['width', 'Width', 'number'], ['height', 'Height', 'number']];
const FIELDS = {
  text: [['text', 'Text', 'textarea'], ['font', 'Font', 'font'], ['size', 'Size', 'number'],
    ['anchor', 'Anchor', 'select', ['top-left', 'top', 'top-right', 'left', 'centre', 'right',
      'bottom-left', 'bottom', 'bottom-right']], ['x', 'X', 'number'], ['y', 'Y', 'number'],
    ...BOX, INK],
  picture: [['file', 'File', 'text'], ['threshold', 'Threshold', 'range'],
    ['dither', 'Dither', 'select', ['none', 'floyd-steinberg', 'atkinson', 'bayer']],
    ['fit', 'Scale', 'select', ['fit', 'fill', 'stretch']], ['invert', 'Invert', 'checkbox'],
    ['opaque', 'Opaque', 'checkbox'], ['x', 'X', 'number'], ['y', 'Y', 'number'], ...BOX, INK],
  line: [['x', 'X', 'number'], ['y', 'Y', 'number'], ['x2', 'X2', 'number'], ['y2', 'Y2', 'number'], INK],
  rectangle: [['x', 'X', 'number'], ['y', 'Y', 'number'], ...BOX, ['filled', 'Filled', 'checkbox'], INK],
  pixels: [['rows', 'Rows', 'textarea'], ['x', 'X', 'number'], ['y', 'Y', 'number'], INK],
  group: [['group', 'Group', 'group'], ['x', 'X', 'number'], ['y', 'Y', 'number']],
};

function valueOf(l, field) {
  return field === 'rows' ? l.rows.join('\n') : l[field];
}

function buildProperties(l) {
  const form = $('properties');
  form.replaceChildren();
  if (!l) return;
  // Every layer may be named, for this list only.
  for (const [field, label, kind, choices] of [['name', 'Name', 'text'], ...FIELDS[l.kind]]) {
    let input;
    if (kind === 'select' || kind === 'group') {
      input = document.createElement('select');
      for (const choice of kind === 'group' ? state.groups : choices) input.add(new Option(choice));
    } else if (kind === 'textarea') {
      input = document.createElement('textarea');
      input.rows = field === 'rows' ? 6 : 2;
    } else {
      input = document.createElement('input');
      input.type = kind === 'font' ? 'text' : kind;
      if (kind === 'font') input.setAttribute('list', 'fonts');
      if (kind === 'range') Object.assign(input, { min: 0, max: 255 });
    }
    input.name = field;
    const send = () => {
      let value = kind === 'checkbox' ? (input.checked ? 1 : 0) : input.value;
      if (kind === 'number' && !/^-?\d+$/.test(value)) return;
      const key = `set:${pageIndex}:${layerIndex}:${field}`;
      edit({ op: 'set', layer: layerIndex, field, value, group: key }, key);
    };
    // A choice is made once (change, as a list fires it for mouse, keys and
    // scripts alike); a number or slider follows every step (input).
    const settled = kind === 'file' || kind === 'text' || kind === 'select' || kind === 'group';
    input.addEventListener(settled ? 'change' : 'input', send);
    const row = document.createElement('label');
    row.append(label, input);
    form.append(row);
  }
  const fonts = document.createElement('datalist');
  fonts.id = 'fonts';
  for (const name of [...state.fonts, ...state.builtinFonts]) fonts.append(new Option(name));
  form.append(fonts);
}

function showProperties() {
  const l = layer();
  const key = l ? `${pageIndex}:${layerIndex}:${l.kind}` : '';
  if (key !== shownKey) {
    shownKey = key;
    buildProperties(l);
  }
  if (!l) return;
  for (const input of $('properties').elements) {
    if (input === document.activeElement) continue;
    if (input.type === 'checkbox') input.checked = l[input.name];
    else input.value = valueOf(l, input.name);
  }
}

function show(next) {
  state = next;
  pageIndex = Math.max(0, Math.min(pageIndex, state.pages.length - 1));
  if (page()) layerIndex = Math.min(layerIndex, page().layers.length - 1);
  $('project').textContent = state.path + (state.changed ? ' *' : '');
  $('recovery').hidden = !state.recovered;
  $('undo').disabled = !state.canUndo;
  $('redo').disabled = !state.canRedo;
  showPages();
  if (page()) {
    if ($('page').dataset.hex !== page().image) draw($('page'), page().image);
    for (const [id, field] of [['page-number', 'number'], ['page-name', 'name']])
      if (document.activeElement !== $(id)) $(id).value = page()[field];
    for (const link of document.querySelectorAll('#exports a[data-format]'))
      link.href = `api/export?page=${pageIndex}&format=${link.dataset.format}`;
    $('problems').textContent = page().problems.join('\n');
  }
  showLayers();
  showProperties();
}

function pixelAt(event) {
  const box = $('grid').getBoundingClientRect();
  return {
    x: Math.floor((event.clientX - box.left) / (box.width / 120)),
    y: Math.floor((event.clientY - box.top) / (box.height / 32)),
  };
}

let stroke = 0;

function onCanvas() {
  const grid = $('grid');
  let last = null;
  let paintValue = 1;
  grid.addEventListener('pointerdown', (event) => {
    const l = layer();
    if (!l) return say('Choose a layer first', true);
    const tool = document.querySelector('input[name=tool]:checked').value;
    if (tool === 'paint' && l.kind !== 'pixels')
      return say('Pixels are painted into a pixel grid layer: add one or choose it', true);
    grid.setPointerCapture(event.pointerId);
    stroke++;
    last = pixelAt(event);
    if (tool === 'paint') {
      // Judged by the grid, not the page: with white or inverting ink a
      // drawn cell is light on the page.
      const row = l.rows[last.y - l.y] || '';
      paintValue = row[last.x - l.x] === '#' ? 0 : 1;
      paint(last);
    }
    grid.dataset.tool = tool;
  });
  grid.addEventListener('pointermove', (event) => {
    if (!last || !event.buttons) return;
    const now = pixelAt(event);
    if (now.x === last.x && now.y === last.y) return;
    if (grid.dataset.tool === 'paint') {
      // Every pixel between two pointer events: a quick stroke leaves no gaps.
      const steps = Math.max(Math.abs(now.x - last.x), Math.abs(now.y - last.y));
      for (let step = 1; step <= steps; step++)
        paint({
          x: last.x + Math.round(((now.x - last.x) * step) / steps),
          y: last.y + Math.round(((now.y - last.y) * step) / steps),
        });
    } else {
      const key = `drag:${stroke}`;
      edit({ op: 'nudge', layer: layerIndex, dx: now.x - last.x, dy: now.y - last.y, group: key }, key);
    }
    last = now;
  });
  grid.addEventListener('pointerup', () => (last = null));
  const paint = (at) => {
    if (at.x < 0 || at.y < 0 || at.x >= 120 || at.y >= 32) return;
    edit({ op: 'paint', layer: layerIndex, x: at.x, y: at.y, value: paintValue, group: `paint:${stroke}` });
  };
}

function onDrop() {
  const stage = $('stage');
  stage.addEventListener('dragover', (event) => {
    event.preventDefault();
    stage.classList.add('over');
  });
  stage.addEventListener('dragleave', () => stage.classList.remove('over'));
  stage.addEventListener('drop', (event) => {
    event.preventDefault();
    stage.classList.remove('over');
    const file = event.dataTransfer.files[0];
    if (file) dropPicture(file);
  });
}

function dropPicture(file) {
  act(async () => {
    say('Adding ' + file.name + ' ...');
    const answer = await post('picture', { page: pageIndex, name: file.name }, file);
    if (answer.ok) layerIndex = answer.state.pages[pageIndex].layers.length - 1;
    say(answer.message, !answer.ok);
    return answer;
  });
}
window.kplDropPicture = dropPicture; // tests hand it a File

async function save(extra = {}) {
  const answer = await post('save', extra);
  if (answer.changedOnDisk) {
    if (confirm(`${state.path} has changed on disk since it was read. Overwrite it?`))
      return save({ ...extra, overwrite: 1 });
    say('Not saved: the file on disk was kept', true);
    return answer;
  }
  if (answer.lostComments && answer.lostComments.length) {
    const lines = answer.lostComments.join(', ');
    if (confirm(`Saving drops the comments on line ${lines} of ${state.path}, which the project format keeps nowhere. Save anyway?`))
      return save({ ...extra, dropComments: 1 });
    say('Not saved: the comments were kept', true);
    return answer;
  }
  say(answer.message, !answer.ok);
  return answer;
}

function onKeys() {
  document.addEventListener('keydown', (event) => {
    const typing = /^(INPUT|TEXTAREA|SELECT)$/.test(event.target.tagName);
    const key = event.key.toLowerCase();
    if (event.ctrlKey || event.metaKey) {
      if (key === 'z' && !event.shiftKey && !typing) act(() => post('undo', {}));
      else if ((key === 'z' && event.shiftKey) || key === 'y') act(() => post('redo', {}));
      else if (key === 's') act(() => save());
      else return;
      event.preventDefault();
      return;
    }
    if (typing || !layer()) return;
    const moves = { arrowleft: [-1, 0], arrowright: [1, 0], arrowup: [0, -1], arrowdown: [0, 1] };
    if (moves[key]) {
      const group = `keys:${pageIndex}:${layerIndex}`;
      edit({ op: 'nudge', layer: layerIndex, dx: moves[key][0], dy: moves[key][1], group }, group);
    } else if (key === 'delete') {
      removeLayer(layerIndex);
    } else {
      return;
    }
    event.preventDefault();
  });
}

// The display: one line transaction at a time; the buttons wait for it.
async function onLine(run) {
  const buttons = document.querySelectorAll('#display button');
  buttons.forEach((b) => (b.disabled = true));
  try {
    await run();
  } finally {
    buttons.forEach((b) => (b.disabled = false));
  }
}

async function storeAll() {
  const progress = $('progress');
  progress.value = 0;
  sayLine('Storing every page ...', false);
  const response = await fetch('api/storeall', { method: 'POST', body: new URLSearchParams({ port: $('port').value }) });
  if (!response.headers.get('Content-Type').startsWith('application/x-ndjson')) {
    const answer = await answerOf(response);
    return sayLine(answer.message, !answer.ok);
  }
  const reader = response.body.pipeThrough(new TextDecoderStream()).getReader();
  let text = '';
  for (;;) {
    const { value, done } = await reader.read();
    if (done) break;
    text += value;
    let end;
    while ((end = text.indexOf('\n')) >= 0) {
      const line = JSON.parse(text.slice(0, end));
      text = text.slice(end + 1);
      if ('done' in line) {
        progress.max = line.total;
        progress.value = line.done;
        sayLine(line.message, false);
      } else {
        sayLine(line.message, !line.ok);
      }
    }
  }
}

function onDisplay() {
  const line = async (route, fields) => {
    const answer = await post(route, { port: $('port').value, ...fields });
    sayLine(answer.message, !answer.ok);
  };
  $('show').onclick = () => onLine(() => line('show', { page: pageIndex }));
  $('store').onclick = () =>
    onLine(() => line('store', { page: pageIndex, slot: $('slot').value, confirm: $('store-confirm').checked ? 1 : 0 }));
  $('store-all').onclick = () => onLine(storeAll);
  const options = $('options');
  // As in the configuration tool: checking one of these unchecks the other.
  const exclusive = { 'write-protect': 'font-overwrite', 'font-overwrite': 'write-protect' };
  options.addEventListener('change', (event) => {
    const other = exclusive[event.target.name];
    if (other && event.target.checked) options.querySelector(`[name=${other}]`).checked = false;
  });
  $('send-options').onclick = () =>
    onLine(() => {
      const fields = {};
      for (const box of options.querySelectorAll('input')) fields[box.name] = box.checked ? 1 : 0;
      return line('config', fields);
    });
  $('refresh-ports').onclick = async () => {
    const answer = await answerOf(await fetch('api/ports'));
    if (!answer.ok) return sayLine(answer.message, true);
    $('ports').replaceChildren(...answer.ports.map((p) => new Option(p.description, p.name)));
    if (!$('port').value && answer.ports.length) $('port').value = answer.ports[0].name;
    sayLine(answer.ports.length + ' ports', false);
  };
}

async function start() {
  drawGrid();
  onCanvas();
  onDrop();
  onKeys();
  onDisplay();
  $('undo').onclick = () => act(() => post('undo', {}));
  $('redo').onclick = () => act(() => post('redo', {}));
  $('save').onclick = () => act(() => save());
  for (const action of ['restore', 'discard'])
    $(action).onclick = () =>
      act(async () => {
        const answer = await post('recovery', { action });
        say(answer.message, !answer.ok);
        return answer;
      });
  // Back from another program: pictures and fonts changed there show.
  window.addEventListener('focus', () => act(async () => ({ state: await answerOf(await fetch('api/state')) })));
  $('add').onclick = () => {
    edit({ op: 'add', kind: $('new-kind').value, after: layerIndex });
    layerIndex++;
  };
  for (const [id, field] of [['page-number', 'number'], ['page-name', 'name']])
    $(id).addEventListener('change', () => edit({ op: 'set', layer: -1, field, value: $(id).value }));
  window.addEventListener('beforeunload', (event) => {
    if (state && state.changed) event.preventDefault();
  });
  const answer = await answerOf(await fetch('api/state'));
  layerIndex = answer.pages.length ? answer.pages[0].layers.length - 1 : -1;
  show(answer);
  $('slot').value = page() ? page().number : 0;
  document.body.dataset.ready = '1';
}

start();
