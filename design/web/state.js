// What the modules share: the project as the server last sent it, the
// chosen page and layers, and the views that draw them.

// The display's page and its flash memory.
export const WIDTH = 120;
export const HEIGHT = 32;
export const FLASH_PAGES = 17;

// layer: the chosen layer, whose properties show; selection: the layers
// arrows, Delete, drags, copies and the properties act on, the chosen one
// among them. layers: the kinds of layer and their fields (api/layers),
// fetched once. zoom: the canvas's pixels a page pixel, 0 to fit. group:
// while a group's layers are edited in place, { name, use }: use is the
// chosen page's layer that shows it; the layers are then the group's.
export const state = { project: null, page: 0, layer: -1, selection: new Set(), layers: null, zoom: 0, group: null };

export const $ = (id) => document.getElementById(id);

// A key typed into a field is the field's, not a shortcut.
export const typing = (event) => /^(INPUT|TEXTAREA|SELECT)$/.test(event.target.tagName);

const views = [];

// A view draws from the state every time it changes, in the order added.
export function addView(draw) {
  views.push(draw);
}

export function chosenPage() {
  return state.project.pages[state.page];
}

// The index of the group edited in place, or -1.
export function groupIndex() {
  return state.group ? state.project.groups.indexOf(state.group.name) : -1;
}

// The layers being edited: the chosen page's, or the group's.
export function shownLayers() {
  if (!chosenPage()) return [];
  return state.group ? state.project.groupLayers[groupIndex()] : chosenPage().layers;
}

export function chosenLayer() {
  return shownLayers()[state.layer];
}

// The selected layers' indices, lowest (drawn first) first.
export function selected() {
  return [...state.selection].sort((a, b) => a - b);
}

// Only these layers selected; the last of them chosen.
export function select(layers) {
  state.selection = new Set(layers);
  state.layer = layers.length ? layers[layers.length - 1] : -1;
}

export function show(next = state.project) {
  state.project = next;
  state.page = Math.max(0, Math.min(state.page, next.pages.length - 1));
  // A group is edited while the page still uses it where it did.
  const use = state.group && chosenPage() && chosenPage().layers[state.group.use];
  if (state.group && !(use && use.kind === 'group' && use.group === state.group.name)) state.group = null;
  const count = shownLayers().length;
  state.layer = Math.min(state.layer, count - 1);
  for (const i of state.selection) if (i >= count) state.selection.delete(i);
  // Choosing a layer that is not selected selects it alone.
  if (state.layer >= 0 && !state.selection.has(state.layer)) state.selection = new Set([state.layer]);
  if (state.layer < 0) state.selection.clear();
  for (const draw of views) draw();
}
