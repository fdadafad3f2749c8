// What the modules share: the project as the server last sent it, the
// chosen page and layer, and the views that draw them.

// The display's page and its flash memory.
export const WIDTH = 120;
export const HEIGHT = 32;
export const FLASH_PAGES = 17;

// layers: the kinds of layer and their fields (api/layers), fetched once.
export const state = { project: null, page: 0, layer: -1, layers: null };

export const $ = (id) => document.getElementById(id);

const views = [];

// A view draws from the state every time it changes, in the order added.
export function addView(draw) {
  views.push(draw);
}

export function chosenPage() {
  return state.project.pages[state.page];
}

export function chosenLayer() {
  return chosenPage() ? chosenPage().layers[state.layer] : undefined;
}

export function show(next = state.project) {
  state.project = next;
  state.page = Math.max(0, Math.min(state.page, next.pages.length - 1));
  if (chosenPage()) state.layer = Math.min(state.layer, chosenPage().layers.length - 1);
  for (const draw of views) draw();
}
