// The page's pixels. It never draws a page itself: every pixel on its
// canvases is one of the 480 bytes the server rendered with kpl build's
// code, so the designer and the build cannot differ.
import { act, edit, post, say } from './requests.js';
import { $, addView, chosenLayer, chosenPage, HEIGHT, state, WIDTH } from './state.js';

const SCALE = 6; // the chosen page is shown 6 times its size
const DARK = [29, 43, 29];
const LIGHT = [197, 214, 163];

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

function drawGrid() {
  const grid = $('grid');
  grid.width = WIDTH * SCALE;
  grid.height = HEIGHT * SCALE;
  const context = grid.getContext('2d');
  context.strokeStyle = 'rgba(0, 0, 0, 0.12)';
  context.beginPath();
  for (let x = 0; x <= WIDTH; x++) {
    context.moveTo(x * SCALE + 0.5, 0);
    context.lineTo(x * SCALE + 0.5, grid.height);
  }
  for (let y = 0; y <= HEIGHT; y++) {
    context.moveTo(0, y * SCALE + 0.5);
    context.lineTo(grid.width, y * SCALE + 0.5);
  }
  context.stroke();
}

function pixelAt(event) {
  const box = $('grid').getBoundingClientRect();
  return {
    x: Math.floor((event.clientX - box.left) / (box.width / WIDTH)),
    y: Math.floor((event.clientY - box.top) / (box.height / HEIGHT)),
  };
}

// Move drags the chosen layer; Paint sets or clears the cells of a pixel
// grid layer, as the first cell of the stroke decides.
function onPointer() {
  const grid = $('grid');
  let stroke = 0;
  let last = null;
  let paintValue = 1;
  const paint = (at) => {
    if (at.x < 0 || at.y < 0 || at.x >= WIDTH || at.y >= HEIGHT) return;
    edit({ op: 'paint', layer: state.layer, x: at.x, y: at.y, value: paintValue, group: `paint:${stroke}` });
  };
  grid.addEventListener('pointerdown', (event) => {
    const l = chosenLayer();
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
      edit({ op: 'nudge', layer: state.layer, dx: now.x - last.x, dy: now.y - last.y, group: key }, key);
    }
    last = now;
  });
  grid.addEventListener('pointerup', () => (last = null));
}

function dropPicture(file) {
  act(async () => {
    say('Adding ' + file.name + ' ...');
    const answer = await post('picture', { page: state.page, name: file.name }, file);
    if (answer.ok) state.layer = answer.state.pages[state.page].layers.length - 1;
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
    if (file) dropPicture(file);
  });
}

export function startCanvas() {
  drawGrid();
  onPointer();
  onDrop();
  addView(() => {
    if (chosenPage() && $('page').dataset.hex !== chosenPage().image) draw($('page'), chosenPage().image);
  });
}
