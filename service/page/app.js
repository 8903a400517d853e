// The venue page: every text a unit, a file or a person gives is inserted as text, never as HTML.

const main = document.getElementById('main');
const message = document.getElementById('message');
const who = document.getElementById('who');

const roleNames = { admin: '管理员', staff: '员工', viewer: '查看者' };
const stateNames = { online: '在线', busy: '在线（忙碌）', offline: '离线' };
const channels = ['MUS', 'MIC', 'KTV'];
const keys = ['b5', 'b4', 'b3', 'b2', 'b1', 'natural', '#1', '#2', '#3', '#4', '#5'];
const programs = { 0: 'KTV1', 1: 'KTV2', 20: 'EFF1', 21: 'EFF2' };

let session = null;  // { user, role, csrf, staff }
let units = new Map();
let events = null;

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

function say(text, good = false) {
  message.textContent = text;
  message.className = good ? 'ok' : '';
}

function refusal(status, body) {
  if (status === 401) return '请重新登录';
  if (status === 403) return '已拒绝：无权进行此操作';
  if (status === 404) return '找不到该房间';
  if (status === 409) return '机器离线或忙碌，未执行';
  if (status === 400) return '数值无效，未执行';
  if (status === 413) return '文件太大';
  if (status === 429) return '尝试次数太多，请稍后再试';
  if (status === 503) return body && body.error && body.error.includes('audit') ? '审计日志无法写入，未执行' : '服务繁忙或正在停止';
  return '出错了（' + status + '）' + (body && body.error ? '：' + body.error : '');
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
    return { status: 0, body: null, text: '' };
  }
  const text = await response.text();
  let json = null;
  try { json = JSON.parse(text); } catch (error) { json = null; }
  if (response.status === 401 && path !== '/login') showLogin();
  return { status: response.status, body: json, text };
}

function canChange(name) {
  return session && (session.role === 'admin' || (session.role === 'staff' && session.staff.includes(name)));
}

function showLogin() {
  session = null;
  if (events) events.close();
  events = null;
  who.replaceChildren();
  const user = el('input', { type: 'text', id: 'user', name: 'user', autocomplete: 'username', required: true });
  const password = el('input', { type: 'password', id: 'password', name: 'password', autocomplete: 'current-password', required: true });
  const form = el('form', { 'aria-label': '登录' },
    el('h2', {}, '登录'),
    el('label', { for: 'user' }, '用户名'), user,
    el('label', { for: 'password' }, '密码'), password,
    el('p', {}, el('button', { type: 'submit', class: 'primary' }, '登录')));
  form.addEventListener('submit', async event => {
    event.preventDefault();
    const result = await api('POST', '/login', JSON.stringify({ user: user.value, password: password.value }));
    if (result.status !== 200) return say(result.status === 401 ? '用户名或密码错误' : refusal(result.status, result.body));
    await start();
  });
  main.replaceChildren(form);
  user.focus();
}

async function start() {
  const result = await api('GET', '/session');
  if (result.status !== 200) return showLogin();
  session = result.body;
  say('');
  who.replaceChildren(
    el('span', {}, session.user + '（' + (roleNames[session.role] || session.role) + '） '),
    el('button', { type: 'button', onclick: logout }, '退出'));
  await loadUnits();
  listen();
  route();
}

async function logout() {
  await api('POST', '/logout');
  showLogin();
}

async function loadUnits() {
  const result = await api('GET', '/units');
  if (result.status === 200) units = new Map(result.body.units.map(unit => [unit.name, unit]));
}

// Live: every change anyone makes, a drift found, a unit lost or back, as it happens.
function listen() {
  if (events) events.close();
  events = new EventSource('/api/v1/events');
  events.addEventListener('unit', event => {
    const unit = JSON.parse(event.data);
    units.set(unit.name, unit);
    update(unit);
  });
  events.addEventListener('open', () => loadUnits().then(route));
  events.addEventListener('error', async () => {
    // The service went away or restarted: the browser tries again by itself; a session
    // that did not survive asks for a new login.
    const check = await api('GET', '/session');
    if (check.status === 401) showLogin();
  });
}

function route() {
  if (!session) return;
  const match = location.hash.match(/^#\/unit\/(.+)$/);
  if (match && units.has(decodeURIComponent(match[1]))) showRoom(decodeURIComponent(match[1]));
  else showOverview();
}

function stateLine(unit) {
  const line = el('p', {},
    el('span', { class: 'state ' + unit.state }, stateNames[unit.state] || unit.state));
  if (unit.drift > 0) line.append(el('span', { class: 'badge' }, '设置偏离 ' + unit.drift + ' 项'));
  if (unit.state === 'offline' && unit.error) line.append(el('span', { class: 'muted' }, '（' + unit.error + '）'));
  return line;
}

function volumeBars(unit) {
  return el('div', { class: 'bars' }, channels.flatMap(channel => {
    const value = unit.live[channel + ' volume'];
    const maximum = unit.live.maximum[channel + ' volume'] ?? 80;
    return [el('span', {}, channel),
            el('meter', { min: 0, max: 80, value: value ?? 0, 'aria-label': channel + ' volume', title: String(value ?? '') }),
            el('span', { class: 'value' }, value ?? '—')];
  }));
}

function showOverview() {
  delete main.dataset.unit;
  room = null;
  const list = el('ul', { class: 'units' });
  for (const unit of units.values()) {
    list.append(el('li', { class: 'card', 'data-unit': unit.name },
      el('a', { href: '#/unit/' + encodeURIComponent(unit.name) }, unit.name),
      stateLine(unit),
      volumeBars(unit),
      el('p', { class: 'muted' }, '效果：' + (programs[unit.live.program] ?? '未知'))));
  }
  main.replaceChildren(el('h2', {}, '所有房间'), list);
}

// One control sending one setting: busy while the unit works, told in words when refused.
async function send(control, name, value) {
  const unitName = main.dataset.unit;
  control.disabled = true;
  control.setAttribute('aria-busy', 'true');
  say('正在发送…', true);
  const result = await api('POST', '/units/' + encodeURIComponent(unitName) + '/settings', JSON.stringify({ [name]: value }));
  control.disabled = false;
  control.removeAttribute('aria-busy');
  if (result.status !== 200) return say(refusal(result.status, result.body));
  const done = result.body.results[0];
  if (done.result !== 'ok') return say(done.result === 'not-confirmed' ? '机器未确认变调' : '机器没有应答');
  say('已发送：' + name + ' = ' + done.shown, true);
}

let room = null;  // the room on screen: its unit's name and its controls

function showRoom(name) {
  const unit = units.get(name);
  main.dataset.unit = name;
  const live = unit.live;
  room = { name, sliders: {}, outputs: {}, state: stateLine(unit) };
  const page = el('div', { id: 'room' },
    el('p', {}, el('a', { href: '#/' }, '← 所有房间')),
    el('h2', {}, name),
    room.state);

  const volumes = el('section', { 'aria-label': '通道音量' }, el('h3', {}, '通道音量'));
  for (const channel of channels) {
    const setting = channel + ' volume';
    const output = el('span', { class: 'value' }, live[setting] ?? '—');
    const slider = el('input', {
      type: 'range', min: 0, max: live.maximum[setting] ?? 80, step: 1, value: live[setting] ?? 0,
      'aria-label': setting, disabled: !canChange(setting),
      onpointerdown: event => { event.target.dataset.moving = '1'; },
      oninput: event => { output.textContent = event.target.value; },
      onchange: event => {
        delete event.target.dataset.moving;
        send(event.target, setting, Number(event.target.value));
      } });
    room.sliders[setting] = slider;
    room.outputs[setting] = output;
    volumes.append(el('div', { class: 'slider' }, el('span', {}, channel), slider, output));
  }
  room.mute = el('button', {
    type: 'button', 'aria-label': 'mute', 'aria-pressed': live.mute === 1 ? 'true' : 'false', disabled: !canChange('mute'),
    onclick: event => send(event.currentTarget, 'mute', event.currentTarget.getAttribute('aria-pressed') === 'true' ? 'OFF' : 'ON') },
    '静音');
  room.keys = keys.map((key, index) => el('button', {
    type: 'button', 'aria-pressed': live.key === index ? 'true' : 'false', disabled: !canChange('key'),
    'aria-label': key, onclick: event => send(event.currentTarget, 'key', key) },
    key === 'natural' ? '原调' : key));
  room.program = el('select', {
    'aria-label': 'program', id: 'program', disabled: !canChange('program'),
    onchange: event => send(event.target, 'program', event.target.value) },
    el('option', { value: '', disabled: true }, '未知'),
    Object.values(programs).map(p => el('option', { value: p }, p)));
  room.program.value = programs[live.program] ?? '';
  page.append(volumes,
    el('section', { 'aria-label': '静音' }, el('h3', {}, '静音'), room.mute),
    el('section', { 'aria-label': '变调' }, el('h3', {}, '变调'), el('div', { role: 'group', 'aria-label': 'key', class: 'keys' }, room.keys)),
    el('section', {}, el('h3', {}, el('label', { for: 'program' }, '效果')), room.program));
  if (session.role === 'admin') page.append(adminTools(name, unit));
  main.replaceChildren(page);
}

// The room shows what the unit holds now, control by control, leaving alone the one a hand is on.
function updateRoom(unit) {
  const live = unit.live;
  const fresh = stateLine(unit);
  room.state.replaceWith(fresh);
  room.state = fresh;
  for (const [setting, slider] of Object.entries(room.sliders)) {
    slider.max = live.maximum[setting] ?? 80;
    if (live[setting] !== null && !(slider === document.activeElement && slider.dataset.moving)) {
      slider.value = live[setting];
      room.outputs[setting].textContent = live[setting];
    }
  }
  room.mute.setAttribute('aria-pressed', live.mute === 1 ? 'true' : 'false');
  room.keys.forEach((button, index) => button.setAttribute('aria-pressed', live.key === index ? 'true' : 'false'));
  if (room.program !== document.activeElement) room.program.value = programs[live.program] ?? '';
}

// A unit's state changed: the overview or the room shows it at once.
function update(unit) {
  if (!session) return;
  if (document.getElementById('room')) {
    if (room && room.name === unit.name) updateRoom(unit);
  } else {
    showOverview();
  }
}

function adminTools(name, unit) {
  const path = '/units/' + encodeURIComponent(name);
  const tools = el('section', { 'aria-label': '管理' }, el('h3', {}, '管理'));
  const list = el('ul', {});
  const showDifferences = (title, differences, first, second) => {
    list.replaceChildren(...differences.map(d =>
      el('li', {}, d.setting + '：' + d[first].shown + ' → ' + d[second].shown)));
    say(title, differences.length === 0);
  };

  tools.append(el('p', {}, el('a', { class: 'button', href: '/api/v1' + path + '/backup', download: name + '.txt' }, '下载备份')));

  const file = el('input', { type: 'file', id: 'restore-file', accept: '.txt' });
  tools.append(el('label', { for: 'restore-file' }, '恢复配置文件'), el('div', { class: 'row' }, file,
    el('button', { type: 'button', onclick: async event => {
      if (!file.files.length) return say('请先选择配置文件');
      const button = event.currentTarget;
      button.disabled = true;
      say('正在上传并校验…', true);
      const result = await api('POST', path + '/restore', await file.files[0].arrayBuffer(), 'text/plain');
      button.disabled = false;
      if (result.status !== 200) return say(refusal(result.status, result.body));
      showDifferences(result.body.differences.length ? '校验发现 ' + result.body.differences.length + ' 项不同' : '一致：机器已收到全部设置',
                      result.body.differences, 'sent', 'unit');
    } }, '上传并校验')));

  if (unit.golden) {
    tools.append(el('div', { class: 'row' },
      el('button', { type: 'button', onclick: async () => {
        const result = await api('GET', path + '/verify');
        if (result.status !== 200) return say(refusal(result.status, result.body));
        showDifferences(result.body.differences.length ? '偏离 ' + result.body.differences.length + ' 项' : '没有偏离',
                        result.body.differences, 'approved', 'unit');
      } }, '检查偏离'),
      el('button', { type: 'button', onclick: async () => {
        const result = await api('POST', path + '/repair');
        if (result.status !== 200) return say(refusal(result.status, result.body));
        say('已恢复批准的设置：' + result.body.repaired + ' 项', true);
        list.replaceChildren();
      } }, '恢复批准的设置')));
  }
  tools.append(list, auditLog(name));
  return tools;
}

function auditLog(name) {
  const unitFilter = el('input', { type: 'text', id: 'audit-unit', value: name });
  const userFilter = el('input', { type: 'text', id: 'audit-user' });
  const entries = el('ol', { class: 'audit' });
  const load = async () => {
    const query = new URLSearchParams({ unit: unitFilter.value, user: userFilter.value, limit: 50 });
    const result = await api('GET', '/audit?' + query.toString());
    if (result.status !== 200) return say(refusal(result.status, result.body));
    entries.replaceChildren(...result.body.entries.map(e =>
      el('li', {}, e.time.replace('T', ' ').slice(0, 19) + ' ' + e.user + ' ' + e.unit + ' ' + e.setting + ' → ' +
         (e.shown ?? e.new ?? '') + '（' + e.result + '）')));
  };
  return el('div', {}, el('h3', {}, '审计记录'),
    el('label', { for: 'audit-unit' }, '房间'), unitFilter,
    el('label', { for: 'audit-user' }, '用户'), userFilter,
    el('p', {}, el('button', { type: 'button', onclick: load }, '查看')), entries);
}

window.addEventListener('hashchange', route);
start();
