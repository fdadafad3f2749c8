// The project as a whole, in the header: its name, undo, redo, save and
// the edits kept from an earlier session; the project file watched for
// changes made outside.
import { act, answerOf, post, say } from './requests.js';
import { $, addView, show, state, typing } from './state.js';

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
  if (event.key === '?' && !typing(event)) {
    $('keys').showModal();
    return event.preventDefault();
  }
  if (!event.ctrlKey && !event.metaKey) return;
  const key = event.key.toLowerCase();
  if (key === 'z' && !event.shiftKey && !typing(event)) undo();
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
  const problems = project.fileProblems.join('\n');
  $('file-problems').hidden = !problems;
  if ($('file-problems-list').textContent !== problems) $('file-problems-list').textContent = problems;
}

// The project file changed outside while edits are unsaved: the user says
// which stays.
function askOutside() {
  act(async () => {
    const take = confirm(
      `${state.project.path} has changed on disk. Show it as it is now and drop your unsaved edits? ` +
        '(Cancel keeps your edits; saving them then asks before overwriting the file.)',
    );
    const answer = await post('outside', { action: take ? 'take' : 'keep' });
    say(answer.message, !answer.ok);
    return answer;
  });
}

// The project file is the source: the server looks at it whenever asked,
// and a change made outside (an editor, a checkout) shows at once. Asked
// only while no change of this page is on its way, whose answer shows the
// project anyway.
const WATCH_MS = 50; // a change is taken on the second look that sees it

async function watch() {
  try {
    if (document.visibilityState === 'visible' && state.project && window.kplSettled()) {
      const answer = await answerOf(await fetch('api/watch?version=' + state.project.version));
      if (answer.pages && window.kplSettled() && Number(answer.version) > Number(state.project.version)) {
        show(answer);
        if (answer.outside) askOutside();
      }
    }
  } catch {
    say('kpl design is not running', true);
  } finally {
    setTimeout(watch, WATCH_MS);
  }
}

export function startProject() {
  $('undo').onclick = undo;
  $('redo').onclick = redo;
  $('save').onclick = () => act(() => save());
  $('show-keys').onclick = () => $('keys').showModal();
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
  watch();
}
