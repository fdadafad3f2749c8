// The chosen layer's properties: a form built from a list of fields, again
// only when another layer or kind is chosen; its inputs follow the project.
// A change is made to every selected layer that has the field.
import { edit } from './requests.js';
import { $, addView, chosenLayer, selected, state } from './state.js';

// The input each type of field is offered in.
const INPUTS = {
  whole: 'number', level: 'range', flag: 'checkbox', words: 'text', file: 'text',
  text: 'textarea', font: 'font', group: 'group', choice: 'select', rows: 'textarea',
};

// A kind's fields as the form takes them: { key, label, type, range:
// [min, max], choices }, from the server's table of fields (api/layers).
// zero: what the table's doc says 0 means ("(0: the font's)"), shown
// instead of a 0.
function fieldsOf(kind) {
  return state.layers.fields.filter((f) => f.kinds.includes(kind)).map((f) => ({
    key: f.key, label: f.label, type: INPUTS[f.type], choices: f.choices, lines: f.type === 'rows' ? 6 : 2,
    range: 'lowest' in f ? [f.lowest, f.highest] : undefined, zero: (/\(0: ([^)]*)\)/.exec(f.doc) || [])[1],
  }));
}

let shownKey = ''; // what the form was built for
const shownFields = new Map(); // its fields by key

// Null fields: an empty form (no layer chosen).
function buildProperties(fields) {
  const form = $('properties');
  form.replaceChildren();
  shownFields.clear();
  if (!fields) return;
  for (const field of fields) {
    const { key, type } = field;
    let input;
    if (type === 'select' || type === 'group') {
      input = document.createElement('select');
      for (const choice of type === 'group' ? state.project.groups : field.choices) input.add(new Option(choice));
    } else if (type === 'textarea') {
      input = document.createElement('textarea');
      input.rows = field.lines;
    } else {
      input = document.createElement('input');
      input.type = type === 'font' ? 'text' : type;
      if (type === 'font') input.setAttribute('list', 'fonts');
      if (field.range) Object.assign(input, { min: field.range[0], max: field.range[1] });
      if (field.zero) input.placeholder = field.zero;
    }
    input.name = key;
    shownFields.set(key, field);
    const row = document.createElement('label');
    row.append(field.label, input);
    // A slider says its value.
    if (type === 'range') row.append(document.createElement('output'));
    form.append(row);
  }
  const fonts = document.createElement('datalist');
  fonts.id = 'fonts';
  for (const name of [...state.project.fonts, ...state.project.builtinFonts]) fonts.append(new Option(name));
  form.append(fonts);
}

function send(event) {
  const input = event.target;
  const field = shownFields.get(input.name);
  if (!field) return;
  const kind = field.type;
  // A choice is made once (change, as a list fires it for mouse, keys and
  // scripts alike); a number or slider follows every step (input).
  const settled = kind === 'file' || kind === 'text' || kind === 'select' || kind === 'group';
  if (event.type !== (settled ? 'change' : 'input')) return;
  if (kind === 'range') input.nextElementSibling.value = input.value;
  let value = kind === 'checkbox' ? (input.checked ? 1 : 0) : input.value;
  if (value === '' && field.zero) value = '0';
  if (kind === 'number' && !/^-?\d+$/.test(value)) return;
  const layers = selected().join(',');
  const key = `set:${state.page}:${layers}:${field.key}`;
  edit({ op: 'set', layers, field: field.key, value, group: key }, key);
}

function valueOf(l, field) {
  return Array.isArray(l[field]) ? l[field].join('\n') : l[field];
}

function showProperties() {
  const l = chosenLayer();
  const key = l ? `${state.page}:${state.layer}:${l.kind}` : '';
  if (key !== shownKey) {
    shownKey = key;
    buildProperties(l && fieldsOf(l.kind));
  }
  if (!l) return;
  for (const input of $('properties').elements) {
    const field = shownFields.get(input.name);
    if (input === document.activeElement || !field) continue;
    if (input.type === 'checkbox') input.checked = l[input.name];
    else input.value = field.zero && l[input.name] === 0 ? '' : valueOf(l, input.name);
    if (input.type === 'range') input.nextElementSibling.value = input.value;
  }
}

export function startProperties() {
  const form = $('properties');
  form.addEventListener('input', send);
  form.addEventListener('change', send);
  addView(showProperties);
}
