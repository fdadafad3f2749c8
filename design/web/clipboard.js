// Copy, cut, paste and duplicate of layers through the system clipboard,
// as the layers' text in the project file (the server writes and reads
// it), so that they paste into the project file in an editor and back;
// aligning the selection.
import { removeSelected } from './layers.js';
import { act, edit, post, say } from './requests.js';
import { $, chosenPage, groupIndex, select, selected, shownLayers, state, typing } from './state.js';


function plural(count, what) {
  return `${count} ${what}${count === 1 ? '' : 's'}`;
}

// The selected layers, in the file's order.
function copied(event) {
  const layers = selected();
  if (typing(event) || !chosenPage() || !layers.length) return false;
  const text = layers.map((i) => shownLayers()[i].toml).join('\n');
  event.clipboardData.setData('text/plain', text);
  event.preventDefault();
  say(plural(layers.length, 'layer') + (event.type === 'cut' ? ' cut' : ' copied'));
  return true;
}

// New layers above the topmost selected one (or on top), then selected.
function insert(fields, done) {
  const page = state.page;
  const group = groupIndex();
  const before = shownLayers().length;
  const at = selected().length ? selected()[selected().length - 1] + 1 : before;
  act(async () => {
    const answer = await post('edit', { page, after: at - 1, ...fields });
    if (answer.ok) {
      const count = (group >= 0 ? answer.state.groupLayers[group] : answer.state.pages[page].layers).length - before;
      select([...Array(count).keys()].map((i) => at + i));
      say(plural(count, 'layer') + ' ' + done);
    } else {
      say(answer.message, true);
    }
    return answer;
  });
}

function onPaste(event) {
  if (typing(event) || !chosenPage()) return;
  const text = event.clipboardData.getData('text/plain');
  if (!text) return;
  event.preventDefault();
  insert({ op: 'paste', text }, 'pasted');
}

function onKeys(event) {
  if (typing(event) || !(event.ctrlKey || event.metaKey) || event.key.toLowerCase() !== 'd') return;
  event.preventDefault(); // not the browser's bookmark
  if (selected().length) insert({ op: 'duplicate', layers: selected().join(',') }, 'duplicated');
}

function align(edge) {
  const layers = selected();
  if (!layers.length) return say('Select the layers to align first', true);
  // Within a group: where the use being edited draws its layers.
  const use = state.group ? { use: state.group.use } : {};
  edit({ op: 'align', layers: layers.join(','), edge, to: layers.length > 1 ? $('align-to').value : 'page', ...use });
}

export function startClipboard() {
  document.addEventListener('copy', copied);
  document.addEventListener('cut', (event) => copied(event) && removeSelected());
  document.addEventListener('paste', onPaste);
  document.addEventListener('keydown', onKeys);
  $('align').addEventListener('click', (event) => {
    const button = event.target.closest('button');
    if (button) align(button.dataset.edge);
  });
}
