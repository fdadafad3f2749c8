// The page's pixels. It never draws a page itself: every pixel on its
// canvases is one of the 480 bytes the server rendered with kpl build's
// code, so the designer and the build cannot differ. Which layer a click
// falls on and a layer's box come from the server too.
import { enterGroup } from './layers.js';
import { act, answerOf, edit, keepView, post, say } from './requests.js';
import { $, addView, chosenLayer, chosenPage, HEIGHT, select, selected, show, state, typing, WIDTH } from './state.js';

// Where the group edited in place is used on the page: its layers' boxes
// there, and its offset.
const use = () => chosenPage().layers[state.group.use];

const DARK = [29, 43, 29];
const LIGHT = [197, 214, 163];
const ZOOMS = [2, 3, 4, 5, 6, 8, 10, 12];
const GRID_FROM = 4; // below this the grid would hide the pixels

// The 480 bytes: 4 bands of 8 rows, a byte per column, bit 0 on top.
export function draw(canvas, hex) {
  const context = canvas.getContext('2d');
  const picture = context.createImageData(WIDTH, HEIGHT);
  for (let y = 0; y < HEIGHT; y++) {
    for (let x = 0; x < WIDTH; x++) {
      const at = ((y >> 3) * WIDTH + x) * 2;
      const dark = (parseInt(hex.substr(at, 2), 16) >> (y & 7)) & 1;
      picture.data.set(dark ? DARK : LIGHT, (y * WIDTH + x) * 4);
      picture.data[(y * WIDTH + x) * 4 + 3] = 255;
    }
  }
  context.putImageData(picture, 0, 0);
  canvas.dataset.hex = hex;
}

// The zoom shown: the one chosen, or to fit the space beside the columns.
export function scale() {
  if (state.zoom) return state.zoom;
  const room = Math.floor(($('stage-box').clientWidth - 4) / WIDTH);
  return Math.max(1, Math.min(ZOOMS[ZOOMS.length - 1], room));
}

function drawGrid(zoom) {
  const grid = $('grid');
  grid.width = WIDTH * zoom;
  grid.height = HEIGHT * zoom;
  if (zoom < GRID_FROM) return;
  const context = grid.getContext('2d');
  context.strokeStyle = 'rgba(0, 0, 0, 0.12)';
  context.beginPath();
  for (let x = 0; x <= WIDTH; x++) {
    context.moveTo(x * zoom + 0.5, 0);
    context.lineTo(x * zoom + 0.5, grid.height);
  }
  for (let y = 0; y <= HEIGHT; y++) {
    context.moveTo(0, y * zoom + 0.5);
    context.lineTo(grid.width, y * zoom + 0.5);
  }
  context.stroke();
}

// Each selected layer's box, and around several the box of them all;
// drawn again only when they or the zoom changed.
let drawnBoxes = '';

function drawSelection() {
  const marks = $('marks');
  const zoom = scale();
  const box = (i) => (state.group ? use().inner[i] : chosenPage().layers[i].box);
  const boxes = chosenPage() ? selected().map(box).filter((b) => b) : [];
  const key = zoom + ':' + JSON.stringify(boxes);
  if (key === drawnBoxes) return;
  drawnBoxes = key;
  if (marks.width !== WIDTH * zoom) {
    marks.width = WIDTH * zoom;
    marks.height = HEIGHT * zoom;
  }
  const context = marks.getContext('2d');
  context.clearRect(0, 0, marks.width, marks.height);
  marks.dataset.box = '';
  if (!boxes.length) return;
  const outline = (box, dashed) => {
    context.setLineDash(dashed ? [4, 3] : []);
    context.strokeRect(box[0] * zoom - 0.5, box[1] * zoom - 0.5, box[2] * zoom + 1, box[3] * zoom + 1);
  };
  context.lineWidth = 1;
  context.strokeStyle = '#0a5cd6';
  if (boxes.length > 1) for (const box of boxes) outline(box, true);
  const left = Math.min(...boxes.map((b) => b[0]));
  const top = Math.min(...boxes.map((b) => b[1]));
  const all = [left, top, Math.max(...boxes.map((b) => b[0] + b[2])) - left,
    Math.max(...boxes.map((b) => b[1] + b[3])) - top];
  context.lineWidth = 2;
  outline(all, false);
  marks.dataset.box = all.join(',');
}

let shownZoom = 0;

function showZoom() {
  const zoom = scale();
  $('zoom').value = String(state.zoom);
  if (zoom !== shownZoom) {
    shownZoom = zoom;
    const stage = $('stage');
    stage.style.width = WIDTH * zoom + 'px';
    stage.style.height = HEIGHT * zoom + 'px';
    stage.dataset.zoom = zoom;
    drawGrid(zoom);
  }
  drawSelection();
}

// A zoom (0 fits), kept for the next session.
function zoomTo(zoom) {
  state.zoom = zoom;
  showZoom();
  keepView();
}

function zoomStep(by) {
  const now = scale();
  const next = by > 0 ? ZOOMS.find((z) => z > now) : [...ZOOMS].reverse().find((z) => z < now);
  if (next) zoomTo(next);
}

function pixelAt(event) {
  const box = $('grid').getBoundingClientRect();
  return {
    x: Math.floor((event.clientX - box.left) / (box.width / WIDTH)),
    y: Math.floor((event.clientY - box.top) / (box.height / HEIGHT)),
  };
}

function toggle(i) {
  const layers = selected();
  select(layers.includes(i) ? layers.filter((l) => l !== i) : [...layers, i]);
}

// A drag's nudges wait for the click's answer (which layers it moves),
// then go as the pointer moves; waiting ones add up (requests.js).
function flush(drag) {
  if (!drag.layers || !drag.layers.length || (!drag.dx && !drag.dy)) return;
  edit({ op: 'nudge', layers: drag.layers.join(','), dx: drag.dx, dy: drag.dy, group: drag.key }, drag.key);
  drag.dx = drag.dy = 0;
}

let strokes = 0;

// Move: a click selects the topmost shown layer under the pointer (Shift
// adds it or takes it out; a click again without moving reaches the one
// beneath), and a drag moves what was clicked: the selection when the
// click was on it. The server says which layers are there.
function pressMove(event) {
  const at = pixelAt(event);
  const drag = { moved: false, layers: null, dx: 0, dy: 0, key: `drag:${++strokes}`, additive: event.shiftKey };
  act(async () => {
    const within = state.group ? `&use=${state.group.use}` : '';
    const answer = await answerOf(await fetch(`api/at?page=${state.page}&x=${at.x}&y=${at.y}${within}`));
    const under = answer.ok ? answer.layers : [];
    const top = under.length ? under[0] : -1;
    drag.under = under;
    drag.alone = state.selection.size === 1 && state.selection.has(top);
    if (drag.additive) {
      if (top >= 0) toggle(top);
      drag.layers = [];
    } else if (top >= 0 && state.selection.has(top)) {
      drag.layers = selected();
    } else {
      select(top >= 0 ? [top] : []);
      drag.layers = top >= 0 ? [top] : [];
    }
    show();
    flush(drag);
    return { ok: true };
  });
  return drag;
}

// A click without a move on the layer chosen alone: the next one beneath
// (not the second click of a double-click).
function release(drag) {
  if (drag.moved || drag.additive || drag.clicks > 1) return;
  act(async () => {
    if (drag.alone && drag.under.length > 1) {
      const i = drag.under.indexOf(state.layer);
      select([drag.under[(i + 1) % drag.under.length]]);
      show();
    }
    return { ok: true };
  });
}

// Paint sets or clears the cells of a pixel grid layer, as the first cell
// of the stroke decides.
function onPointer() {
  const grid = $('grid');
  let drag = null;
  let last = null;
  let paintValue = 1;
  // In a group, the group's own coordinates.
  const offset = () => (state.group ? { x: use().x, y: use().y } : { x: 0, y: 0 });
  const paint = (at) => {
    if (at.x < 0 || at.y < 0 || at.x >= WIDTH || at.y >= HEIGHT) return;
    const { x, y } = offset();
    edit({ op: 'paint', layer: state.layer, x: at.x - x, y: at.y - y, value: paintValue, group: `paint:${strokes}` });
  };
  grid.addEventListener('pointerdown', (event) => {
    if (event.button !== 0) return;
    const tool = document.querySelector('input[name=tool]:checked').value;
    grid.dataset.tool = tool;
    grid.setPointerCapture(event.pointerId);
    last = pixelAt(event);
    if (tool === 'move') {
      drag = pressMove(event);
      return;
    }
    const l = chosenLayer();
    if (!l || l.kind !== 'pixels') {
      last = null;
      return say('Pixels are painted into a pixel grid layer: add one or choose it', true);
    }
    strokes++;
    // Judged by the grid, not the page: with white or inverting ink a
    // drawn cell is light on the page.
    const row = l.rows[last.y - offset().y - l.y] || '';
    paintValue = row[last.x - offset().x - l.x] === '#' ? 0 : 1;
    paint(last);
  });
  grid.addEventListener('pointermove', (event) => {
    const now = pixelAt(event);
    $('pointer').textContent = now.x >= 0 && now.y >= 0 && now.x < WIDTH && now.y < HEIGHT ? `${now.x}, ${now.y}` : '';
    if (!last || !event.buttons) return;
    if (now.x === last.x && now.y === last.y) return;
    if (grid.dataset.tool === 'paint') {
      // Every pixel between two pointer events: a quick stroke leaves no gaps.
      const steps = Math.max(Math.abs(now.x - last.x), Math.abs(now.y - last.y));
      for (let step = 1; step <= steps; step++)
        paint({
          x: last.x + Math.round(((now.x - last.x) * step) / steps),
          y: last.y + Math.round(((now.y - last.y) * step) / steps),
        });
    } else if (drag && !drag.additive) {
      drag.dx += now.x - last.x;
      drag.dy += now.y - last.y;
      drag.moved = true;
      flush(drag);
    }
    last = now;
  });
  // The second click of a double-click does not reach beneath.
  grid.addEventListener('mousedown', (event) => drag && (drag.clicks = event.detail));
  // A double-click on a group's use edits its layers in place.
  grid.addEventListener('dblclick', () => act(async () => (enterGroup(), { ok: true })));
  grid.addEventListener('pointerleave', () => ($('pointer').textContent = ''));
  grid.addEventListener('pointerup', () => {
    if (drag) release(drag);
    drag = null;
    last = null;
  });
}

function dropPicture(file, at = { x: 0, y: 0 }) {
  act(async () => {
    say('Adding ' + file.name + ' ...');
    const answer = await post('picture', { page: state.page, name: file.name, x: at.x, y: at.y }, file);
    if (answer.ok) select([answer.state.pages[state.page].layers.length - 1]);
    say(answer.message, !answer.ok);
    return answer;
  });
}
window.kplDropPicture = dropPicture; // tests hand it a File

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
    const at = pixelAt(event);
    if (file) dropPicture(file, { x: Math.max(0, at.x), y: Math.max(0, at.y) });
  });
}

// + and - (with Ctrl or not) and Ctrl with the wheel zoom; 0 fits.
function onZoom() {
  $('zoom').replaceChildren(new Option('Fit', '0'), ...ZOOMS.map((z) => new Option(`${z}x`, String(z))));
  $('zoom').addEventListener('change', () => zoomTo(Number($('zoom').value)));
  $('zoom-in').onclick = () => zoomStep(1);
  $('zoom-out').onclick = () => zoomStep(-1);
  $('stage-box').addEventListener(
    'wheel',
    (event) => {
      if (!event.ctrlKey) return;
      event.preventDefault();
      zoomStep(event.deltaY < 0 ? 1 : -1);
    },
    { passive: false },
  );
  document.addEventListener('keydown', (event) => {
    if (typing(event) || event.altKey || document.querySelector('dialog[open]'))
      return;
    if (event.key === '+' || event.key === '=') zoomStep(1);
    else if (event.key === '-') zoomStep(-1);
    else if (event.key === '0') zoomTo(0);
    else return;
    event.preventDefault();
  });
  window.addEventListener('resize', () => state.zoom || showZoom());
}

export function startCanvas() {
  $('picture-file').addEventListener('change', (event) => {
    if (event.target.files[0]) dropPicture(event.target.files[0]);
    event.target.value = '';
  });
  onZoom();
  onPointer();
  onDrop();
  addView(() => {
    if (chosenPage() && $('page').dataset.hex !== chosenPage().image) draw($('page'), chosenPage().image);
    showZoom();
  });
}
