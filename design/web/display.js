// The display on a serial port: show, store, store all, start-up options.
// One line transaction at a time; the buttons wait for it.
import { answerOf, post } from './requests.js';
import { $, state } from './state.js';

function sayLine(text, failed) {
  $('line-status').textContent = text;
  $('line-status').className = failed ? 'failed' : '';
}

// The flash page Store offers: the chosen page's number.
export function offerSlot(number) {
  $('slot').value = number;
}

async function onLine(run) {
  const buttons = document.querySelectorAll('#display button');
  buttons.forEach((b) => (b.disabled = true));
  try {
    await run();
  } finally {
    buttons.forEach((b) => (b.disabled = false));
  }
}

async function storeAll() {
  const progress = $('progress');
  progress.value = 0;
  sayLine('Storing every page ...', false);
  const response = await fetch('api/storeall', { method: 'POST', body: new URLSearchParams({ port: $('port').value }) });
  if (!response.headers.get('Content-Type').startsWith('application/x-ndjson')) {
    const answer = await answerOf(response);
    return sayLine(answer.message, !answer.ok);
  }
  const reader = response.body.pipeThrough(new TextDecoderStream()).getReader();
  let text = '';
  for (;;) {
    const { value, done } = await reader.read();
    if (done) break;
    text += value;
    let end;
    while ((end = text.indexOf('\n')) >= 0) {
      const line = JSON.parse(text.slice(0, end));
      text = text.slice(end + 1);
      if ('done' in line) {
        progress.max = line.total;
        progress.value = line.done;
        sayLine(line.message, false);
      } else {
        sayLine(line.message, !line.ok);
      }
    }
  }
}

export function startDisplay() {
  const line = async (route, fields) => {
    const answer = await post(route, { port: $('port').value, ...fields });
    sayLine(answer.message, !answer.ok);
  };
  $('show').onclick = () => onLine(() => line('show', { page: state.page }));
  $('store').onclick = () =>
    onLine(() => line('store', { page: state.page, slot: $('slot').value, confirm: $('store-confirm').checked ? 1 : 0 }));
  $('store-all').onclick = () => onLine(storeAll);
  const options = $('options');
  // As in the configuration tool: checking one of these unchecks the other.
  const exclusive = { 'write-protect': 'font-overwrite', 'font-overwrite': 'write-protect' };
  options.addEventListener('change', (event) => {
    const other = exclusive[event.target.name];
    if (other && event.target.checked) options.querySelector(`[name=${other}]`).checked = false;
  });
  $('send-options').onclick = () =>
    onLine(() => {
      const fields = {};
      for (const box of options.querySelectorAll('input')) fields[box.name] = box.checked ? 1 : 0;
      return line('config', fields);
    });
  $('refresh-ports').onclick = async () => {
    const answer = await answerOf(await fetch('api/ports'));
    if (!answer.ok) return sayLine(answer.message, true);
    $('ports').replaceChildren(...answer.ports.map((p) => new Option(p.description, p.name)));
    if (!$('port').value && answer.ports.length) $('port').value = answer.ports[0].name;
    sayLine(answer.ports.length + ' ports', false);
  };
}
