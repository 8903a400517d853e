// The venue page: every text a unit, a file or a person gives is inserted as text, never as HTML.

import { languages, preferred } from '/texts.js';

const main = document.getElementById('main');
const banner = document.getElementById('banner');
const who = document.getElementById('who');
const home = document.getElementById('home');
const switcher = document.getElementById('language');

let language = chosenLanguage();
let t = languages[language];
let session = null;  // { user, role, csrf, staff, chain }
let units = new Map();  // by unit.id || unit.name
let live = [];  // the live settings and their values as the service names them
let scenes = [];  // the scenes this person may see, where the service has them
let events = null;
let connected = true;
let view = null;  // what is on screen: the overview's cards, or a room's controls

function chosenLanguage() {
  let stored = null;
  try { stored = localStorage.getItem('quorin-language'); } catch (error) { stored = null; }
  return stored in languages ? stored : preferred(navigator.languages || [navigator.language || '']);
}

// A text of the table with {name} filled in.
function words(template, values = {}) {
  return template.replace(/\{(\w+)\}/g, (all, name) => String(values[name] ?? ''));
}

function settingName(name) {
  return t.settings[name] ?? name;
}

// A choice as a person reads it: its plain name beside the short one the unit shows.
function choiceName(shown) {
  return t.choices[shown] ? shown + ' · ' + t.choices[shown] : shown;
}

// An element with attributes and children; strings become text nodes.
function el(tag, attributes = {}, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (value === false || value === null || value === undefined) continue;
    if (name.startsWith('on')) node.addEventListener(name.slice(2), value);
    else if (name === 'value') node.value = value;
    else node.setAttribute(name, value === true ? '' : String(value));
  }
  for (const child of children.flat()) {
    if (child !== null && child !== undefined && child !== false)
      node.append(child instanceof Node ? child : document.createTextNode(String(child)));
  }
  return node;
}

// Why the service said no, in the page's language: by the answer's code, never its English.
function reason(result) {
  if (result.status === 0) return t.codes.unreachable;
  const code = result.body && result.body.code;
  return words(t.codes[code] ?? t.codes.other, { seconds: result.retryAfter ?? '' });
}

function unitKey(unit) {
  return unit.id || unit.name;
}

function unitPath(key) {
  return '/units/' + encodeURIComponent(key);
}

// A request of the API; a change carries the session's CSRF token beside its cookie.
async function api(method, path, body, type = 'application/json') {
  const headers = {};
  if (method !== 'GET') {
    headers['X-Quorin-CSRF'] = session ? session.csrf : '';
    headers['Content-Type'] = type;
  }
  let response;
  try {
    response = await fetch('/api/v1' + path, { method, headers, body, credentials: 'same-origin' });
  } catch (error) {
    return { status: 0, body: null };
  }
  let json = null;
  try { json = JSON.parse(await response.text()); } catch (error) { json = null; }
  if (response.status === 401 && path !== '/login' && session) showLogin(t.sessionEnded);
  return { status: response.status, body: json, retryAfter: response.headers.get('Retry-After') };
}

function canChange(name) {
  return session && (session.role === 'admin' || (session.role === 'staff' && session.staff.includes(name)));
}

// A message beside the controls it is about, read out politely, gone after a while.
function note() {
  const node = el('p', { class: 'note', role: 'status' });
  let timer = 0;
  node.say = (text, good = false) => {
    clearTimeout(timer);
    node.textContent = text;
    node.className = 'note' + (good ? ' ok' : '');
    if (text) timer = setTimeout(() => { node.textContent = ''; }, good ? 6000 : 20000);
  };
  return node;
}

// A head office's page says so, a venue's page is the venue's.
function siteTitle() {
  return session && session.chain ? t.chainTitle : t.title;
}

function labelHeader() {
  document.documentElement.lang = language;
  home.textContent = siteTitle();
  const other = Object.keys(languages).filter(name => name !== language);
  switcher.replaceChildren(...other.map(name => el('button', {
    type: 'button', lang: name, onclick: () => switchTo(name) }, languages[name].language)));
  who.replaceChildren();
  if (session)
    who.append(el('span', {}, session.user + ' · ' + (t.roles[session.role] || session.role)),
               el('button', { type: 'button', onclick: logout }, t.logout));
  showBanner();
}

function showBanner() {
  banner.textContent = connected ? '' : t.serviceGone;
  banner.hidden = connected;
}

function switchTo(name) {
  language = name;
  t = languages[name];
  try { localStorage.setItem('quorin-language', name); } catch (error) { /* kept for this page only */ }
  labelHeader();
  if (session) route(); else showLogin();
  switcher.querySelector('button').focus();
}

function showLogin(why = '') {
  session = null;
  view = null;
  if (events) events.close();
  events = null;
  connected = true;
  labelHeader();
  document.title = t.title;
  const user = el('input', { type: 'text', id: 'user', name: 'user', autocomplete: 'username', required: true });
  const password = el('input', { type: 'password', id: 'password', name: 'password', autocomplete: 'current-password', required: true });
  const message = note();
  const form = el('form', { 'aria-labelledby': 'login-heading' },
    el('h2', { id: 'login-heading', tabindex: -1 }, t.login),
    el('label', { for: 'user' }, t.user), user,
    el('label', { for: 'password' }, t.password), password,
    el('p', {}, el('button', { type: 'submit', class: 'primary' }, t.login)), message);
  form.addEventListener('submit', async event => {
    event.preventDefault();
    const result = await api('POST', '/login', JSON.stringify({ user: user.value, password: password.value }));
    if (result.status !== 200) return message.say(reason(result));
    await start();
  });
  main.replaceChildren(form);
  if (why) message.say(why);
  user.focus();
}

async function start() {
  const result = await api('GET', '/session');
  if (result.status !== 200) return showLogin(result.status === 401 ? '' : reason(result));
  session = result.body;
  const names = await api('GET', '/live-settings');
  if (names.status === 200) live = names.body.settings;
  await loadScenes();
  labelHeader();
  await loadUnits();
  listen();
  route();
}

async function logout() {
  await api('POST', '/logout');
  showLogin();
}

async function loadScenes() {
  const result = await api('GET', '/scenes');
  scenes = result.status === 200 && Array.isArray(result.body.scenes) ? result.body.scenes : [];
}

async function loadUnits() {
  const result = await api('GET', '/units');
  if (result.status === 200) units = new Map(result.body.units.map(unit => [unitKey(unit), unit]));
}

// Live: every change anyone makes, a drift found, a unit lost or back, as it happens. When
// the stream drops, the service is gone: the page says so and asks again until it is back.
function listen() {
  if (events) events.close();
  events = new EventSource('/api/v1/events');
  events.addEventListener('unit', event => {
    const unit = JSON.parse(event.data);
    units.set(unitKey(unit), unit);
    refresh(unit);
  });
  events.addEventListener('open', async () => {
    await loadUnits();
    if (!connected) await loadScenes();
    if (!session) return;
    if (!connected) {
      connected = true;
      showBanner();
    }
    for (const unit of units.values()) refresh(unit);
  });
  events.addEventListener('error', () => {
    events.close();
    events = null;
    if (!session) return;
    if (connected) {
      connected = false;
      showBanner();
      for (const unit of units.values()) refresh(unit);
    }
    setTimeout(reconnect, 1000);
  });
}

async function reconnect() {
  if (!session || events) return;
  const check = await api('GET', '/session');
  if (!session) return;  // the session did not survive: the login form says so
  if (check.status !== 200) return setTimeout(reconnect, 1000);
  session = check.body;
  listen();
}

function route() {
  if (!session) return;
  const match = location.hash.match(/^#\/unit\/(.+)$/);
  const key = match ? decodeURIComponent(match[1]) : null;
  if (key && units.has(key)) showRoom(key);
  else showOverview();
}

// A unit's state changed: what shows it is updated in place, so that focus stays where it is.
function refresh(unit) {
  if (!session || !view) return;
  const key = unitKey(unit);
  if (view.cards && view.cards.has(key)) view.cards.get(key)(unit);
  else if (view.cards) showOverview();
  else if (view.key === key) view.update(unit);
}

function stateOf(unit) {
  return connected ? unit.state : 'unknown';
}

function badges(unit) {
  const list = [];
  if (connected && unit.live.mute === 1) list.push(el('span', { class: 'badge mute' }, t.muted));
  if (connected && unit.drift > 0) list.push(el('span', { class: 'badge' }, words(t.drift, { count: unit.drift })));
  if (unit.alerts > 0) list.push(el('span', { class: 'badge' }, words(t.alertCount, { count: unit.alerts })));
  if (unit.scene && unit.scene.name)
    list.push(el('span', { class: 'tag' }, words(unit.scene.modified ? t.sceneModified : t.scene, { name: unit.scene.name })));
  if (unit.cap && unit.cap.name)
    list.push(el('span', { class: 'tag' }, words(t.cap, { name: unit.cap.name, until: clockOf(unit.cap.until) })));
  return list;
}

function stateWord(unit) {
  const state = stateOf(unit);
  return el('span', { class: 'state ' + state }, t.states[state] || state);
}

function volumeSettings() {
  return live.filter(setting => setting.kind === 'volume');
}

function choices(kind) {
  const setting = live.find(s => s.kind === kind);
  return setting ? setting.values : [];
}

function shownOf(kind, raw) {
  const choice = choices(kind).find(c => c.value === raw);
  return choice ? choice.shown : null;
}

function shortName(setting) {
  return setting.split(' ')[0];
}

// The hour and minute of a time the service gives in its own local time with the offset.
function clockOf(iso) {
  return /^\d{4}-\d\d-\d\dT\d\d:\d\d/.test(iso ?? '') ? iso.slice(11, 16) : '';
}

function showOverview() {
  document.title = siteTitle();
  view = { cards: new Map() };
  const heading = el('h2', { tabindex: -1 }, t.allRooms);
  const venues = new Map();
  for (const unit of units.values()) {
    const venue = unit.venue ?? '';
    if (!venues.has(venue)) venues.set(venue, el('ul', { class: 'units' }));
    venues.get(venue).append(card(unit));
  }
  const parts = [...venues].map(([venue, list]) => venue ? el('section', { class: 'venue' }, el('h3', {}, venue), list) : list);
  // Open incidents come first: on a phone, below the rooms they would be out of sight.
  main.replaceChildren(heading, ...(session.role === 'admin' ? [alertList()] : []), ...parts);
  heading.focus();
}

// Where an incident is, as a link to its room where the page knows the room.
function alertPlace(alert) {
  const where = [alert.venue, alert.unit].filter(Boolean).join(' / ');
  const key = session.chain ? alert.venue + '/' + alert.unit : alert.unit;
  return alert.unit && units.has(key) ? el('a', { href: '#/unit/' + encodeURIComponent(key) }, where) : where;
}

// Open alerts for admins, where the service keeps them.
function alertList() {
  const list = el('ul', { class: 'alerts' });
  const node = el('section', { 'aria-labelledby': 'alerts-heading', hidden: true }, el('h3', { id: 'alerts-heading' }, t.alerts), list);
  // Looked at again while the overview is shown: incidents begin and end without a unit changing.
  const refresh = () => api('GET', '/alerts').then(result => {
    if (!result.status) return;
    const open = result.status === 200 && Array.isArray(result.body.open) ? result.body.open : [];
    list.replaceChildren(...open.map(alert => el('li', {},
      el('b', {}, t.alertKinds[alert.kind] ?? alert.kind), ' · ', alertPlace(alert),
      ' · ', words(t.alertSince, { since: (alert.since ?? '').replace('T', ' ') }))));
    node.hidden = open.length === 0;
  }).finally(() => setTimeout(() => { if (node.isConnected) refresh(); }, 5000));
  refresh();
  return node;
}

function card(unit) {
  const state = el('span', {});
  const info = el('div', { class: 'info' });
  const fill = fresh => {
    state.replaceChildren(stateWord(fresh));
    const program = shownOf('program', fresh.live.program);
    info.replaceChildren(
      el('p', { class: 'badges' }, badges(fresh),
         el('span', { class: 'muted' }, words(t.effect, { value: program ? choiceName(program) : t.unknownValue }))),
      el('div', { class: 'bars' }, volumeSettings().map(setting => {
        const value = connected ? fresh.live[setting.name] : null;
        return el('div', {},
          el('span', { class: 'bar-name' }, shortName(setting.name), ' ', el('b', {}, value ?? '—')),
          el('meter', { min: 0, max: 80, value: value ?? 0, 'aria-label': settingName(setting.name) + ' ' + shortName(setting.name) }));
      })));
  };
  fill(unit);
  view.cards.set(unitKey(unit), fill);
  return el('li', { class: 'card' },
    el('div', { class: 'card-top' }, el('a', { href: '#/unit/' + encodeURIComponent(unitKey(unit)) }, unit.name), state), info);
}

// One setting's control: changes made while one is on its way are coalesced, and the
// latest goes out when the answer comes. A refusal puts the control back to the unit's value.
function sender(key, setting, section, show, describe) {
  const s = { busy: false, next: undefined, show };
  s.push = async value => {
    s.next = value;
    if (s.busy) return;
    s.busy = true;
    let done = null;
    while (s.next !== undefined) {
      const sent = s.next;
      s.next = undefined;
      const result = await api('POST', unitPath(key) + '/settings', JSON.stringify({ [setting]: sent }));
      done = result.status === 200 ? result.body.results[0] : null;
      if (!done || done.result !== 'ok') {
        s.next = undefined;
        s.busy = false;
        section.note.say(!done ? reason(result)
          : words(done.result === 'not-confirmed' ? t.notConfirmed : t.noAnswer, { name: settingName(setting) }));
        const unit = units.get(key);
        if (unit) show(unit.live[setting]);
        return;
      }
    }
    s.busy = false;
    show(done.new);
    section.note.say(words(t.set, { name: settingName(setting), value: describe(done) }), true);
  };
  return s;
}

function section(id, title, readOnly) {
  const node = el('section', { 'aria-labelledby': id },
    el('h3', { id }, title, readOnly ? el('span', { class: 'tag' }, t.readOnly) : null));
  node.note = note();
  return node;
}

function showRoom(key) {
  const unit = units.get(key);
  document.title = words(t.roomTitle, { room: unit.name, site: siteTitle() });
  const heading = el('h2', { tabindex: -1 }, unit.name);
  const state = el('p', { class: 'room-state' });
  const notice = el('p', { class: 'notice', tabindex: -1 });
  const senders = {};
  const controls = [];  // [element, setting]
  const room = { key, update: null };
  view = room;

  const volumes = section('volumes-heading', t.volumes, !volumeSettings().some(s => canChange(s.name)));
  for (const setting of volumeSettings()) {
    const name = setting.name;
    const id = 'slider-' + shortName(name);
    const label = settingName(name) + ' ' + shortName(name);
    const output = el('output', { for: id, class: 'value' });
    const slider = el('input', { type: 'range', id, min: 0, step: 1 });
    const maximum = () => Number(slider.max);
    const shown = () => {
      output.textContent = slider.value;
      slider.setAttribute('aria-valuetext', words(t.ofMaximum, { value: slider.value, maximum: maximum() }));
    };
    const show = value => {
      const fresh = units.get(key);
      const limit = fresh.cap && fresh.cap.limits ? fresh.cap.limits[name] : undefined;
      slider.max = Math.min(fresh.live.maximum[name] ?? 80, limit ?? 80);
      if (value !== null && value !== undefined) slider.value = value;
      shown();
    };
    const s = sender(key, name, volumes, show, done => done.shown);
    s.held = () => Boolean(slider.dataset.moving);
    senders[name] = s;
    const step = by => () => {
      slider.value = Math.min(maximum(), Math.max(0, Number(slider.value) + by));
      shown();
      s.push(Number(slider.value));
    };
    slider.addEventListener('pointerdown', () => { slider.dataset.moving = '1'; });
    for (const end of ['pointerup', 'pointercancel']) slider.addEventListener(end, () => { delete slider.dataset.moving; });
    slider.addEventListener('input', shown);
    slider.addEventListener('change', () => { delete slider.dataset.moving; s.push(Number(slider.value)); });
    const down = el('button', { type: 'button', class: 'step', 'aria-label': words(t.down, { name: label }), onclick: step(-1) }, '−1');
    const up = el('button', { type: 'button', class: 'step', 'aria-label': words(t.up, { name: label }), onclick: step(1) }, '+1');
    controls.push([slider, name], [down, name], [up, name]);
    volumes.append(el('div', { class: 'slider' },
      el('div', { class: 'slider-label' }, el('label', { for: id }, label), output),
      el('div', { class: 'slider-row' }, down, slider, up)));
    show(unit.live[name]);
  }
  volumes.append(volumes.note);

  const mutes = section('mute-heading', t.mute, !canChange('mute'));
  const mute = el('button', { type: 'button', class: 'toggle' }, t.settings.mute);
  const showMute = value => mute.setAttribute('aria-pressed', value === 1 ? 'true' : 'false');
  senders.mute = sender(key, 'mute', mutes, showMute, done => done.new === 1 ? t.on : t.off);
  mute.addEventListener('click', () => {
    const on = mute.getAttribute('aria-pressed') !== 'true';
    showMute(on ? 1 : 0);
    senders.mute.push(on ? 'ON' : 'OFF');
  });
  showMute(unit.live.mute);
  controls.push([mute, 'mute']);
  mutes.append(mute, mutes.note);

  const keyChoices = choices('key');
  const keyRow = section('key-heading', t.key, !canChange('key'));
  const keys = keyChoices.map(choice => el('button', { type: 'button', class: 'key' },
    el('span', {}, t.choices[choice.shown] ?? choice.shown), ' ', el('small', {}, choice.shown)));
  const showKey = value => keys.forEach((button, index) =>
    button.setAttribute('aria-pressed', keyChoices[index].value === value ? 'true' : 'false'));
  senders.key = sender(key, 'key', keyRow, showKey, done => choiceName(shownOf('key', done.new) ?? done.shown));
  keys.forEach((button, index) => {
    button.addEventListener('click', () => {
      showKey(keyChoices[index].value);
      senders.key.push(keyChoices[index].shown);
    });
    controls.push([button, 'key']);
  });
  showKey(unit.live.key);
  keyRow.append(el('div', { role: 'group', 'aria-labelledby': 'key-heading', class: 'keys' }, keys), keyRow.note);

  const programs = section('program-heading', t.program, !canChange('program'));
  const program = el('select', { id: 'program' },
    el('option', { value: '', disabled: true }, t.unknownValue),
    choices('program').map(choice => el('option', { value: choice.shown }, choiceName(choice.shown))));
  const showProgram = value => { program.value = shownOf('program', value) ?? ''; };
  senders.program = sender(key, 'program', programs, showProgram, done => choiceName(done.shown));
  program.addEventListener('change', () => senders.program.push(program.value));
  showProgram(unit.live.program);
  controls.push([program, 'program']);
  programs.querySelector('h3').replaceChildren(el('label', { for: 'program' }, t.program),
    ...(canChange('program') ? [] : [el('span', { class: 'tag' }, t.readOnly)]));
  programs.append(program, programs.note);

  const page = el('div', { id: 'room' },
    el('p', {}, el('a', { href: '#/' }, t.backToAll)), heading, state, notice,
    volumes, mutes, keyRow, programs);
  const recallable = scenes.filter(scene => scene['may-recall'] && (scene.units ?? []).includes(unit.name));
  if (recallable.length) {
    const recalls = section('scenes-heading', t.scenes, false);
    recalls.append(el('div', { class: 'row' }, recallable.map(scene => {
      const button = el('button', { type: 'button' }, words(t.recall, { name: scene.name }));
      button.addEventListener('click', async () => {
        const result = await api('POST', '/scenes/' + encodeURIComponent(scene.name) + '/recall', JSON.stringify({ units: [unit.name] }));
        const mine = result.status === 200 && result.body.results ? result.body.results[unit.name] : null;
        if (mine && mine.status === 200) recalls.note.say(words(t.recalled, { name: scene.name }), true);
        else recalls.note.say(reason(mine ? { status: mine.status, body: mine } : result));
      });
      controls.push([button, 'scene']);
      return button;
    })), recalls.note);
    page.append(recalls);
  }
  // Backups, restores and checks are done at the venue itself.
  if (session.role === 'admin' && !session.chain) page.append(adminTools(key, unit));
  main.replaceChildren(page);

  let busySince = 0;
  let busyTimer = 0;
  // The room shows what the unit holds now, leaving alone a control whose change is on its
  // way or that a finger is dragging; an unusable room disables its controls.
  room.update = fresh => {
    const unitState = stateOf(fresh);
    if (unitState === 'busy' && !busySince) {
      busySince = Date.now();
      busyTimer = setTimeout(() => room.update(units.get(key)), 1100);
    } else if (unitState !== 'busy') {
      busySince = 0;
      clearTimeout(busyTimer);
    }
    const longBusy = busySince && Date.now() - busySince > 1000;
    const usable = unitState === 'online' || (unitState === 'busy' && !longBusy);
    // The unit's own reason is for admins, who know the machine's words.
    const detail = session.role === 'admin' && unitState === 'offline' && fresh.error
      ? [el('span', { class: 'muted', lang: 'en' }, fresh.error)] : [];
    state.replaceChildren(stateWord(fresh), ...detail, ...badges(fresh),
      ...(session.role === 'viewer' || (session.chain && session.role !== 'admin') ? [el('span', { class: 'tag' }, t.readOnly)] : []));
    notice.textContent = unitState === 'unknown' ? t.unknownTop
      : unitState === 'offline' ? t.offlineTop : !usable ? t.busyTop : '';
    notice.hidden = usable;
    for (const [setting, s] of Object.entries(senders))
      if (!s.busy && !(s.held && s.held())) s.show(fresh.live[setting]);
    const focused = document.activeElement;
    for (const [control, setting] of controls) control.disabled = !usable || (setting !== 'scene' && !canChange(setting));
    if (focused && focused.disabled) notice.focus();
  };
  room.update(unit);
  heading.focus();
}

// A dialog that names what is about to happen; resolves whether the person agreed.
function confirmAction(text, yes) {
  return new Promise(resolve => {
    const opener = document.activeElement;
    const dialog = el('dialog', { 'aria-labelledby': 'confirm-text' }, el('p', { id: 'confirm-text' }, text));
    const close = agreed => () => { dialog.close(); dialog.remove(); if (opener) opener.focus(); resolve(agreed); };
    dialog.append(el('div', { class: 'row' },
      el('button', { type: 'button', class: 'primary', onclick: close(true) }, yes),
      el('button', { type: 'button', onclick: close(false) }, t.cancel)));
    dialog.addEventListener('cancel', event => { event.preventDefault(); close(false)(); });
    document.body.append(dialog);
    dialog.showModal();
  });
}

function adminTools(key, unit) {
  const path = unitPath(key);
  const tools = section('admin-heading', t.admin, false);
  const list = el('ul', { class: 'differences' });
  const showDifferences = (differences, first, second) => list.replaceChildren(...differences.map(d =>
    el('li', {}, words(t.difference, { setting: settingName(d.setting), first: d[first].shown, second: d[second].shown }))));
  const busy = async (button, work) => {
    button.setAttribute('aria-busy', 'true');
    try { await work(); } finally { button.removeAttribute('aria-busy'); }
  };

  tools.append(el('p', {}, el('a', { class: 'button', href: '/api/v1' + path + '/backup', download: unit.name + '.txt' }, t.backup)));

  const file = el('input', { type: 'file', id: 'restore-file', accept: '.txt' });
  const restore = el('button', { type: 'button' }, t.restore);
  restore.addEventListener('click', () => busy(restore, async () => {
    if (!file.files.length) return tools.note.say(t.chooseFile);
    if (!await confirmAction(words(t.confirmRestore, { room: unit.name }), words(t.confirmRestoreButton, { room: unit.name }))) return;
    tools.note.say(t.uploading, true);
    const result = await api('POST', path + '/restore', await file.files[0].arrayBuffer(), 'text/plain');
    if (result.status !== 200) return tools.note.say(reason(result));
    const count = result.body.differences.length;
    showDifferences(result.body.differences, 'sent', 'unit');
    tools.note.say(count ? words(t.restoreDiffers, { count }) : t.restored, count === 0);
  }));
  tools.append(el('label', { for: 'restore-file' }, t.restoreFile), el('div', { class: 'row' }, file, restore));

  if (unit.golden) {
    const verify = el('button', { type: 'button' }, t.verify);
    verify.addEventListener('click', () => busy(verify, async () => {
      const result = await api('GET', path + '/verify');
      if (result.status !== 200) return tools.note.say(reason(result));
      const count = result.body.differences.length;
      showDifferences(result.body.differences, 'approved', 'unit');
      tools.note.say(count ? words(t.verifyDiffers, { count }) : t.verified, count === 0);
    }));
    const repair = el('button', { type: 'button' }, t.repair);
    repair.addEventListener('click', () => busy(repair, async () => {
      if (!await confirmAction(words(t.confirmRepair, { room: unit.name }), words(t.confirmRepairButton, { room: unit.name }))) return;
      const result = await api('POST', path + '/repair');
      if (result.status !== 200) return tools.note.say(reason(result));
      list.replaceChildren();
      tools.note.say(words(t.repaired, { count: result.body.repaired }), true);
    }));
    tools.append(el('div', { class: 'row' }, verify, repair));
  }
  tools.append(tools.note, list, auditLog(unit.name));
  return tools;
}

function auditLog(name) {
  const unitFilter = el('input', { type: 'text', id: 'audit-unit', value: name });
  const userFilter = el('input', { type: 'text', id: 'audit-user' });
  const entries = el('ol', { class: 'audit' });
  const message = note();
  const load = async () => {
    const query = new URLSearchParams({ unit: unitFilter.value, user: userFilter.value, limit: 50 });
    const result = await api('GET', '/audit?' + query.toString());
    if (result.status !== 200) return message.say(reason(result));
    message.say(result.body.entries.length ? '' : t.noEntries);
    entries.replaceChildren(...result.body.entries.map(e => {
      const value = e.shown ?? e.new;
      return el('li', {}, el('time', {}, (e.time ?? '').replace('T', ' ')), ' ',
        [e.user, e.unit, settingName(e.setting ?? '')].join(' · '), value !== undefined ? ' → ' + value : '',
        ' (' + (t.auditResults[e.result] ?? e.result) + ')');
    }));
  };
  return el('div', {}, el('h3', {}, t.auditLog),
    el('label', { for: 'audit-unit' }, t.room), unitFilter,
    el('label', { for: 'audit-user' }, t.user), userFilter,
    el('p', {}, el('button', { type: 'button', onclick: load }, t.show)), message, entries);
}

window.addEventListener('hashchange', route);
labelHeader();
start();
