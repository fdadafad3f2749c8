// Talking to kpl design: every change goes through one queue, one request
// at a time, in order; the answer's project is then shown.
import { $, chosenPage, show, state } from './state.js';

export function say(text, failed = false) {
  $('status').textContent = text;
  $('status').className = failed ? 'failed' : '';
}

export async function answerOf(response) {
  try {
    return await response.json();
  } catch {
    return { ok: false, message: await response.text().catch(() => 'no answer') };
  }
}

// Every change names the version of the project it was made on; one made
// on an older version (another tab changed the project) is refused with
// the project as it is now (409), which this page then shows.
export async function post(route, fields, body) {
  fields = { ...fields, version: state.project ? state.project.version : '' };
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

// Milliseconds from an input to its pixels on the canvas, for the
// benchmark that reads them (scripts/bench-design).
window.kplTimings = [];

// A waiting request with the same key takes the newer value (a slider
// moved on); waiting nudges of one drag add up.
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

// An edit of the chosen page; edits of one key (a slider, a drag) merge
// while they wait.
export function edit(fields, key) {
  // A layer's edit while a group is edited in place is the group's.
  const within = state.group && fields.layer !== -1 ? { within: state.project.groups.indexOf(state.group.name) } : {};
  enqueue({ fields: { page: state.page, ...within, ...fields }, key, started: performance.now() });
}

// Any other request that changes the project: `run` returns its answer.
export function act(run) {
  enqueue({ run, started: performance.now() });
}

// The page shown and the zoom, kept by kpl design for the next session.
export function keepView() {
  const page = chosenPage() ? chosenPage().number : -1;
  fetch('api/view', { method: 'POST', body: new URLSearchParams({ page, zoom: state.zoom }) }).catch(() => {});
}
