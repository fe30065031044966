#include "service/ShopFloorHtml.h"

#include <string_view>

namespace feedrail {

namespace {

constexpr std::string_view Head = R"(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Feedrail DNC</title>
<style>
:root { color-scheme: light dark; --bg: #f6f7f9; --fg: #1b1e23; --card: #fff; --line: #d8dce2;
  --dim: #5d6570; --ok: #1d7f3a; --busy: #1160c4; --wait: #a86200; --bad: #c0262d; --off: #8a9099; }
@media (prefers-color-scheme: dark) { :root { --bg: #15171b; --fg: #e6e8eb; --card: #1f2228;
  --line: #343943; --dim: #9aa1ab; --ok: #4cc26f; --busy: #5aa2ff; --wait: #f0a93a;
  --bad: #ff6b6b; --off: #7b828c; } }
body { margin: 0; background: var(--bg); color: var(--fg);
  font: clamp(15px, 1.1vw + 10px, 28px)/1.4 system-ui, sans-serif; }
header { display: flex; justify-content: space-between; align-items: baseline; flex-wrap: wrap;
  padding: .6em 1em; border-bottom: 1px solid var(--line); }
h1 { font-size: 1.3em; margin: 0; } a { color: inherit; }
#note { color: var(--dim); font-size: .85em; }
main { padding: .8em; display: grid; gap: .6em;
  grid-template-columns: repeat(auto-fill, minmax(min(100%, 20em), 1fr)); }
.machine, table { background: var(--card); border: 1px solid var(--line); border-radius: .5em; }
.machine { padding: .6em .8em; border-left: .4em solid var(--c, var(--off)); }
.name { font-weight: 600; font-size: 1.15em; text-decoration: none; }
.code { float: right; color: var(--c, var(--off)); font-weight: 600; }
.port, .last, .state { color: var(--dim); font-size: .85em; overflow-wrap: anywhere; }
progress { width: 100%; height: .8em; accent-color: var(--busy); }
.listening { --c: var(--ok); } .receiving, .finding, .sending, .reaching { --c: var(--busy); }
.waiting-for-xon, .paused, .stopping { --c: var(--wait); } .port-gone, .not-served { --c: var(--bad); }
table { border-collapse: collapse; width: 100%; grid-column: 1 / -1; }
td, th { text-align: left; padding: .3em .6em; border-bottom: 1px solid var(--line); }
section { grid-column: 1 / -1; } h2 { font-size: 1em; margin: .4em 0; }
#line { background: var(--card); border: 1px solid var(--line); border-radius: .5em;
  padding: .4em .6em; height: 24em; overflow: auto; white-space: pre-wrap;
  font: .8em/1.35 ui-monospace, monospace; overflow-wrap: anywhere; }
#line .sent { color: var(--busy); } #line .note { color: var(--dim); font-style: italic; }
</style></head><body>
)";

constexpr std::string_view Common = R"(<script>
function el(tag, cls, text) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (text !== undefined) e.textContent = text;
  return e;
}
function lastText(l) {
  return l ? 'last: ' + l.direction + ' ' + l.file + ': ' + l.result + ' at ' + l.at : 'no transfer yet';
}
function card(m) {
  const c = el('div', 'machine ' + m.code);
  c.dataset.machine = m.name; c.dataset.code = m.code;
  c.append(el('span', 'code', m.code.replace(/-/g, ' ')));
  const a = el('a', 'name', m.name);
  a.href = '/machine/' + encodeURIComponent(m.name);
  c.append(a, el('div', 'port', m.port || '-'), el('div', 'state', m.state));
  if (m.percent !== null) {
    const p = el('progress'); p.max = 100; p.value = m.percent;
    c.append(p);
  }
  c.append(el('div', 'last', lastText(m.last)));
  return c;
}
async function getJson(path) {
  const r = await fetch(path, {cache: 'no-store'});
  if (!r.ok) throw new Error(r.status);
  return r.json();
}
function every(ms, work) {
  const note = document.getElementById('note');
  const run = async () => {
    try { await work(); note.textContent = 'updated ' + new Date().toLocaleTimeString(); }
    catch (e) { note.textContent = 'the service does not answer'; }
    setTimeout(run, ms);
  };
  run();
}
</script>
)";

constexpr std::string_view Floor = R"(<header><h1>Feedrail DNC</h1><span id="note"></span></header>
<main id="machines"></main>
<script>
every(1500, async () => {
  const machines = await getJson('/api/machines');
  document.getElementById('machines').replaceChildren(...machines.map(card));
});
</script></body></html>
)";

constexpr std::string_view Machine = R"(<header><h1><a href="/">Feedrail DNC</a> /
<span id="name"></span></h1><span id="note"></span></header>
<main><div id="now"></div>
<section><h2>Today's transfers</h2>
<table><thead><tr><th>Time</th><th>Way</th><th>File</th><th>Lines</th><th>Bytes</th>
<th>Result</th></tr></thead><tbody id="transfers"></tbody></table></section>
<section><h2>Line monitor <span class="state" id="watching"></span></h2>
<div id="line"></div></section></main>
<script>
const name = decodeURIComponent(location.pathname.split('/')[2]);
document.getElementById('name').textContent = name;
document.title = name + ' - Feedrail DNC';
const path = '/api/machines/' + encodeURIComponent(name) + '/transfers';
let tick = 0;
every(1500, async () => {
  const m = (await getJson('/api/machines')).find(x => x.name === name);
  if (m) document.getElementById('now').replaceChildren(card(m));
  if (tick++ % 4) return;
  const rows = (await getJson(path)).reverse().map(t => {
    const tr = el('tr');
    for (const v of [t.time, t.direction, t.file, t.lines, t.bytes, t.result]) tr.append(el('td', '', v));
    return tr;
  });
  if (!rows.length) {
    const td = el('td', '', 'none yet today');
    td.colSpan = 6;
    rows.push(el('tr'));
    rows[0].append(td);
  }
  document.getElementById('transfers').replaceChildren(...rows);
});
// Every byte each way, as the window's line monitor words it; only the last
// lines stay, so that a page left open for a shift stays light.
const MonitorLines = 3000;
// A reload goes on with the tab's watch rather than taking another place;
// a tab opened as a copy takes its own.
const kept = 'watch ' + name;
const reloaded = performance.getEntriesByType('navigation').some(n => n.type === 'reload');
let watch = (reloaded && sessionStorage.getItem(kept)) || '';
async function pollLine() {
  let wait = 500;
  const said = document.getElementById('watching');
  try {
    const r = await fetch('/api/machines/' + encodeURIComponent(name) + '/line' +
      (watch ? '?watch=' + encodeURIComponent(watch) : ''), {cache: 'no-store'});
    const a = await r.json();
    if (!r.ok) throw new Error(a.error || r.status);
    const box = document.getElementById('line');
    const follow = box.scrollTop + box.clientHeight >= box.scrollHeight - 8;
    box.append(...a.lines.map(l => el('div', l.way, l.text)));
    while (box.childElementCount > MonitorLines) box.firstElementChild.remove();
    if (follow) box.scrollTop = box.scrollHeight;
    said.textContent = a.ended ? 'ended: ' + a.ended : 'watching';
    watch = a.ended ? '' : a.watch;
    sessionStorage.setItem(kept, watch);
    if (a.ended) wait = 5000;
  } catch (e) {
    said.textContent = 'not watching: ' + e.message;
    wait = 5000;
  }
  setTimeout(pollLine, wait);
}
pollLine();
</script></body></html>
)";

} // namespace

std::string ShopFloorPage() {
    return std::string(Head) + std::string(Common) + std::string(Floor);
}

std::string MachinePage() {
    return std::string(Head) + std::string(Common) + std::string(Machine);
}

} // namespace feedrail
