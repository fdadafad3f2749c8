// The chosen page's layer list, the topmost layer (drawn last) first, as
// people expect (or a group's, while it is edited in place); adding a
// layer; groups made, edited and undone; the keys that move and remove
// the selected ones.
import { act, edit, post, say } from './requests.js';
import { $, addView, chosenLayer, chosenPage, select, selected, show, shownLayers, state, typing } from './state.js';

// The list's words for a layer: its name, or its kind's summary with the
// fields' values put in ("line {x},{y} to {x2},{y2}").
function describe(l) {
  if (l.name) return l.name;
  const kind = state.layers.kinds.find((k) => k.name === l.kind);
  return kind.summary.replace(/\{(\w+)\}/g, (_, key) => {
    const value = l[key];
    if (Array.isArray(value)) return `${value.length ? value[0].length : 0} x ${value.length}`;
    return String(value).replace(/\n/g, ' ');
  });
}

// The kinds a layer can be added as (a picture is dropped in).
export function offerKinds() {
  const kinds = state.layers.kinds.filter((k) => k.added).map((k) => new Option(k.name));
  $('new-kind').replaceChildren(...kinds);
}

function moveLayer(i, to) {
  if (to < 0 || to >= shownLayers().length) return;
  edit({ op: 'move', layer: i, to });
  if (state.layer === i) state.layer = to;
}

function removeLayer(i) {
  edit({ op: 'remove', layer: i });
  if (state.layer >= i) state.layer--;
}

// The selected layers removed; the one below the lowest of them chosen.
export function removeSelected() {
  const layers = selected();
  if (!layers.length) return;
  edit({ op: 'remove', layers: layers.join(',') });
  select(layers[0] > 0 ? [layers[0] - 1] : []);
}

// Each row's buttons, in their order.
const ROW_BUTTONS = [
  { text: '\u2191', title: 'Up', run: (i) => moveLayer(i, i + 1) },
  { text: '\u2193', title: 'Down', run: (i) => moveLayer(i, i - 1) },
  { text: '\u2715', title: 'Remove', run: (i) => removeLayer(i) },
];

function newRow() {
  const item = document.createElement('li');
  const visible = document.createElement('input');
  visible.type = 'checkbox';
  visible.title = 'Shown here (hidden layers are still saved, built and stored)';
  const buttons = ROW_BUTTONS.map(({ text, title }) => {
    const button = document.createElement('button');
    button.textContent = text;
    button.title = title;
    return button;
  });
  item.append(visible, document.createElement('span'), ...buttons);
  return item;
}

const layers = shownLayers;

// Rows are kept and only what changed in them is set: a row per layer,
// its layer told by its place in the list.
function showLayers() {
  const list = $('layers');
  const all = layers();
  while (list.children.length > all.length) list.lastChild.remove();
  while (list.children.length < all.length) list.append(newRow());
  for (let row = 0; row < all.length; row++) {
    const i = all.length - 1 - row;
    const l = all[i];
    const item = list.children[row];
    item.classList.toggle('chosen', state.selection.has(i));
    item.classList.toggle('hidden', !!l.hidden);
    const [visible, name] = item.children;
    if (visible.checked !== !l.hidden) visible.checked = !l.hidden;
    visible.disabled = !!state.group; // a group's layers are hidden with its use
    const text = describe(l);
    if (name.textContent !== text) name.textContent = text;
  }
}

function onList(event) {
  const list = $('layers');
  const item = event.target.closest('li');
  if (!item) return;
  const i = layers().length - 1 - [...list.children].indexOf(item);
  if (event.target.type === 'checkbox') {
    edit({ op: 'hide', layer: i, value: event.target.checked ? 0 : 1 });
  } else if (event.target.tagName === 'BUTTON') {
    ROW_BUTTONS[[...item.querySelectorAll('button')].indexOf(event.target)].run(i);
  } else if (event.shiftKey || event.ctrlKey || event.metaKey) {
    // Added to the selection, or taken out of it.
    const layers = selected();
    select(layers.includes(i) ? layers.filter((l) => l !== i) : [...layers, i]);
    show();
  } else {
    select([i]);
    show();
  }
}

// Arrows move the selection a pixel (with Shift 8), Delete removes it,
// Escape lets it go (and then leaves a group), Ctrl-A selects every layer
// of the page, Ctrl-G groups them, Ctrl-Shift-G ungroups.
function onKeys(event) {
  if (typing(event) || !chosenPage() || document.querySelector('dialog[open]')) return;
  const key = event.key.toLowerCase();
  if ((event.ctrlKey || event.metaKey) && key === 'a') {
    select(layers().map((_, i) => i));
    show();
    return event.preventDefault();
  }
  if ((event.ctrlKey || event.metaKey) && key === 'g') {
    event.preventDefault();
    return event.shiftKey ? ungroup() : group();
  }
  const chosen = selected();
  if (key === 'escape' && !chosen.length && state.group) return leaveGroup();
  if (event.ctrlKey || event.metaKey || event.altKey || !chosen.length) return;
  const moves = { arrowleft: [-1, 0], arrowright: [1, 0], arrowup: [0, -1], arrowdown: [0, 1] };
  const step = event.shiftKey ? 8 : 1;
  if (moves[key]) {
    const group = `keys:${state.page}:${chosen.join(',')}`;
    edit({ op: 'nudge', layers: chosen.join(','), dx: moves[key][0] * step, dy: moves[key][1] * step, group }, group);
  } else if (key === 'delete') {
    removeSelected();
  } else if (key === 'escape') {
    select([]);
    show();
  } else {
    return;
  }
  event.preventDefault();
}

// The selected layers made a group, its use chosen where the topmost was.
function group() {
  const layers = selected();
  if (state.group || !layers.length) return say('Select the page\'s layers to group first', true);
  const at = layers[layers.length - 1] - layers.length + 1;
  act(async () => {
    const answer = await post('edit', { op: 'group', page: state.page, layers: layers.join(',') });
    if (answer.ok) select([at]);
    say(answer.ok ? `${answer.state.groups[answer.state.groups.length - 1]} made of ${layers.length} layers` : answer.message, !answer.ok);
    return answer;
  });
}

// The chosen group's use becomes its layers, selected.
function ungroup() {
  const l = chosenLayer();
  if (state.group || !l || l.kind !== 'group') return say('Choose a group on the page first', true);
  const at = state.layer;
  const count = state.project.groupLayers[state.project.groups.indexOf(l.group)].length;
  act(async () => {
    const answer = await post('edit', { op: 'ungroup', page: state.page, layer: at });
    if (answer.ok) select([...Array(count).keys()].map((i) => at + i));
    say(answer.ok ? `${l.group} ungrouped here` : answer.message, !answer.ok);
    return answer;
  });
}

// A group's layers edited where the chosen use shows them: every page
// that uses it changes.
export function enterGroup() {
  const l = chosenLayer();
  if (state.group || !l || l.kind !== 'group' || state.project.groups.indexOf(l.group) < 0) return;
  state.group = { name: l.group, use: state.layer };
  select([]);
  show();
}

function leaveGroup() {
  const use = state.group.use;
  state.group = null;
  select([use]);
  show();
}

function showGroupMode() {
  $('group-mode').hidden = !state.group;
  if (state.group) $('group-name').textContent = state.group.name;
  const l = chosenLayer();
  $('edit-group').disabled = !!state.group || !l || l.kind !== 'group';
  $('ungroup').disabled = $('edit-group').disabled;
  $('group').disabled = !!state.group || !selected().length;
}

export function startLayers() {
  $('group').onclick = group;
  $('ungroup').onclick = ungroup;
  $('edit-group').onclick = enterGroup;
  $('leave-group').onclick = leaveGroup;
  addView(showGroupMode);
  $('layers').addEventListener('click', onList);
  document.addEventListener('keydown', onKeys);
  $('add').onclick = () => {
    edit({ op: 'add', kind: $('new-kind').value, after: state.layer });
    select([state.layer + 1]);
  };
  addView(showLayers);
}
