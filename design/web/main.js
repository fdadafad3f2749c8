// The designer's page: starts each part, then shows the project as kpl
// design holds it.
import { startCanvas } from './canvas.js';
import { startClipboard } from './clipboard.js';
import { offerSlot, startDisplay } from './display.js';
import { offerKinds, startLayers } from './layers.js';
import { startPages } from './pages.js';
import { startProject } from './project.js';
import { startProperties } from './properties.js';
import { answerOf } from './requests.js';
import { chosenPage, select, show, state } from './state.js';

async function start() {
  // In the order they are drawn after each change.
  startProject();
  startPages();
  startCanvas();
  startLayers();
  startProperties();
  startDisplay();
  startClipboard();
  state.layers = await answerOf(await fetch('api/layers'));
  offerKinds();
  const answer = await answerOf(await fetch('api/state'));
  // The page and zoom of the last session.
  state.page = Math.max(0, answer.pages.findIndex((p) => p.number === answer.view.page));
  state.zoom = answer.view.zoom;
  const count = answer.pages.length ? answer.pages[state.page].layers.length : 0;
  select(count ? [count - 1] : []);
  show(answer);
  offerSlot(chosenPage() ? chosenPage().number : 0);
  document.body.dataset.ready = '1';
}

start();
