// The project as a whole, in the header: its name, undo, redo, save and
// the edits kept from an earlier session.
import { act, answerOf, post, say } from './requests.js';
import { $, addView, state } from './state.js';

async function save(extra = {}) {
  const answer = await post('save', extra);
  if (answer.changedOnDisk) {
    if (confirm(`${state.project.path} has changed on disk since it was read. Overwrite it?`))
      return save({ ...extra, overwrite: 1 });
    say('Not saved: the file on disk was kept', true);
    return answer;
  }
  if (answer.lostComments && answer.lostComments.length) {
    const lines = answer.lostComments.join(', ');
    if (confirm(`Saving drops the comments on line ${lines} of ${state.project.path}, which the project format keeps nowhere. Save anyway?`))
      return save({ ...extra, dropComments: 1 });
    say('Not saved: the comments were kept', true);
    return answer;
  }
  say(answer.message, !answer.ok);
  return answer;
}

const undo = () => act(() => post('undo', {}));
const redo = () => act(() => post('redo', {}));

function onKeys(event) {
  if (!event.ctrlKey && !event.metaKey) return;
  const typing = /^(INPUT|TEXTAREA|SELECT)$/.test(event.target.tagName);
  const key = event.key.toLowerCase();
  if (key === 'z' && !event.shiftKey && !typing) undo();
  else if ((key === 'z' && event.shiftKey) || key === 'y') redo();
  else if (key === 's') act(() => save());
  else return;
  event.preventDefault();
}

function showProject() {
  const project = state.project;
  $('project').textContent = project.path + (project.changed ? ' *' : '');
  $('recovery').hidden = !project.recovered;
  $('undo').disabled = !project.canUndo;
  $('redo').disabled = !project.canRedo;
}

export function startProject() {
  $('undo').onclick = undo;
  $('redo').onclick = redo;
  $('save').onclick = () => act(() => save());
  for (const action of ['restore', 'discard'])
    $(action).onclick = () =>
      act(async () => {
        const answer = await post('recovery', { action });
        say(answer.message, !answer.ok);
        return answer;
      });
  document.addEventListener('keydown', onKeys);
  // Back from another program: pictures and fonts changed there show.
  window.addEventListener('focus', () => act(async () => ({ state: await answerOf(await fetch('api/state')) })));
  window.addEventListener('beforeunload', (event) => {
    if (state.project && state.project.changed) event.preventDefault();
  });
  addView(showProject);
}
