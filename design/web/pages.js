// The pages strip and the chosen page's own fields: its number, name,
// exports and problems.
import { draw } from './canvas.js';
import { offerSlot } from './display.js';
import { act, edit, keepView, post, say } from './requests.js';
import { $, addView, chosenPage, FLASH_PAGES, HEIGHT, select, show, state, WIDTH } from './state.js';

function two(n) {
  return String(n).padStart(2, '0');
}

// The display's flash pages: the project's with their pixels, the others
// as a button that adds a page of that number. Rebuilt only when a page's
// number or name changed.
function showPages() {
  const nav = $('pages');
  const pages = state.project.pages;
  const byNumber = new Map(pages.map((p, i) => [p.number, i]));
  const labels = pages.map((p) => two(p.number) + ' ' + p.name).join('|');
  if (nav.dataset.labels !== labels) {
    nav.dataset.labels = labels;
    nav.replaceChildren();
    for (let number = 0; number < FLASH_PAGES; number++) {
      const button = document.createElement('button');
      const i = byNumber.get(number);
      if (i === undefined) {
        button.className = 'empty';
        button.textContent = `+ ${two(number)}`;
        button.title = `Add flash page ${number} to the project`;
      } else {
        const canvas = document.createElement('canvas');
        canvas.width = WIDTH;
        canvas.height = HEIGHT;
        button.append(canvas, two(number) + ' ' + pages[i].name);
        button.dataset.page = i;
      }
      nav.append(button);
    }
  }
  for (const button of nav.querySelectorAll('button[data-page]')) {
    const i = Number(button.dataset.page);
    button.classList.toggle('chosen', i === state.page);
    if (button.firstChild.dataset.hex !== pages[i].image) draw(button.firstChild, pages[i].image);
  }
}

function choosePage(i, next = state.project) {
  state.project = next;
  state.page = i;
  state.group = null;
  const count = chosenPage() ? chosenPage().layers.length : 0;
  select(count ? [count - 1] : []);
  if (chosenPage()) offerSlot(chosenPage().number);
  show();
  keepView();
}

function addPage(number) {
  act(async () => {
    const answer = await post('edit', { op: 'addpage', number, name: 'page_' + number });
    if (answer.ok) choosePage(answer.state.pages.length - 1, answer.state);
    say(answer.ok ? '' : answer.message, !answer.ok);
    return answer;
  });
}

// A copy of the chosen page after it, or the page gone (Ctrl-Z brings it
// back); the page then shown.
function changePages(op, shown, done) {
  act(async () => {
    const page = chosenPage();
    const answer = await post('edit', { op, page: state.page });
    if (answer.ok) choosePage(shown(state.page), answer.state);
    say(answer.ok ? done(page, chosenPage()) : answer.message, !answer.ok);
    return answer;
  });
}

const PAGE_FIELDS = [['page-number', 'number'], ['page-name', 'name']];

function showPage() {
  const page = chosenPage();
  if (!page) return;
  for (const [id, field] of PAGE_FIELDS) if (document.activeElement !== $(id)) $(id).value = page[field];
  for (const link of document.querySelectorAll('#exports a[data-format]'))
    link.href = `api/export?page=${state.page}&format=${link.dataset.format}`;
  $('problems').textContent = page.problems.join('\n');
}

export function startPages() {
  // A button's place in the strip is its flash page's number.
  $('pages').addEventListener('click', (event) => {
    const button = event.target.closest('button');
    if (!button) return;
    if (button.dataset.page !== undefined) choosePage(Number(button.dataset.page));
    else addPage([...button.parentNode.children].indexOf(button));
  });
  for (const [id, field] of PAGE_FIELDS)
    $(id).addEventListener('change', () => edit({ op: 'set', layer: -1, field, value: $(id).value }));
  $('duplicate-page').onclick = () =>
    changePages('duplicatepage', (i) => i + 1, (from, to) => `${from.name} copied to page ${two(to.number)}, ${to.name}`);
  $('remove-page').onclick = () =>
    changePages('removepage', (i) => Math.max(0, i - 1), (from) => `page ${two(from.number)} ${from.name} removed`);
  addView(showPages);
  addView(showPage);
}
