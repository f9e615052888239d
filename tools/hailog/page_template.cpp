#include "page_template.h"

namespace hailog {

// The colours are plain, distinct and drawn with crisp edges, so a picture
// of the page can be checked pixel by pixel.
const char kPageStyle[] = R"CSS(
body { font: 14px/1.4 "DejaVu Sans", "Malgun Gothic", "NanumGothic", "Noto Sans CJK KR", sans-serif; margin: 16px 24px; color: #1f2933;
       background: #ffffff; }
h1 { font-size: 20px; margin: 0 0 6px; }
h2 { font-size: 16px; margin: 18px 0 6px; }
.legend { margin: 0 0 10px; font-size: 12px; }
.legend span { display: inline-block; margin-right: 14px; }
.legend i { display: inline-block; width: 12px; height: 12px; margin-right: 4px; vertical-align: -2px; }
#timeline svg { display: block; }
#timeline text { font-size: 12px; fill: #1f2933; }
#timeline text.hour { fill: #52606d; font-size: 11px; }
#timeline text.nofile-label { fill: #7b8794; font-size: 11px; }
rect.band { fill: #f3f4f6; }
rect.band.odd { fill: #e9ecef; }
line.tick { stroke: #cbd2d9; stroke-width: 1; }
rect.acc-on { fill: #b7e4c7; }
rect.acc-off { fill: #495057; }
rect.run { fill: #1c7ed6; }
rect.nofile { fill: #ffffff; stroke: #adb5bd; stroke-dasharray: 4 3; }
.mark rect { stroke: none; }
.mark.restart rect { fill: #f76707; }
.mark.navi-close rect { fill: #ae3ec9; }
.mark.navi-start rect { fill: #12b886; }
.mark.update rect { fill: #2f9e44; }
.mark.update.failed rect { fill: #e03131; }
.mark.cut rect, .mark.build-option rect { fill: #e03131; }
.mark:hover rect { stroke: #000000; stroke-width: 1; }
#tip { position: fixed; max-width: 760px; background: #fffbe6; border: 1px solid #f0c36d; padding: 6px 8px;
       font: 12px/1.35 "DejaVu Sans Mono", monospace; white-space: pre-wrap; pointer-events: none;
       box-shadow: 0 2px 6px rgba(0, 0, 0, 0.2); }
pre#summary { font: 12px/1.35 "DejaVu Sans Mono", "Noto Sans Mono CJK KR", monospace; background: #f8f9fa;
              border: 1px solid #dee2e6; padding: 10px; overflow-x: auto; }
)CSS";

const char kPageLegend[] = R"HTML(<p class="legend">
<span><i style="background:#b7e4c7"></i>ignition on</span>
<span><i style="background:#495057"></i>ignition off</span>
<span><i style="background:#1c7ed6"></i>supervisor running</span>
<span><i style="background:#e03131"></i>stopped without end banner, refused build option, failed update</span>
<span><i style="background:#f76707"></i>restart</span>
<span><i style="background:#ae3ec9"></i>navigation closed</span>
<span><i style="background:#12b886"></i>navigation started</span>
<span><i style="background:#2f9e44"></i>update</span>
<span><i style="border:1px dashed #adb5bd"></i>no file</span>
</p>
)HTML";

const char kPageScript[] = R"JS(
(function () {
  'use strict';
  var data = JSON.parse(document.getElementById('data').textContent);
  var NS = 'http://www.w3.org/2000/svg';
  var lanes = [
    { id: 'ignition', label: 'Ignition (ACC)' },
    { id: 'supervisor', label: 'Hailwatch' },
    { id: 'Hailwire', label: 'Hailwire (modem)' },
    { id: 'Hailfare', label: 'Hailfare (meter)' },
    { id: 'Hailnet', label: 'Hailnet (call)' },
    { id: 'Hailtrack', label: 'Hailtrack (DTG)' },
    { id: 'Roadlens', label: 'Roadlens (navigation)' },
    { id: 'updates', label: 'Start-up updates' }
  ];
  var byId = {};
  var width = Math.max(900, Math.min(1600, document.documentElement.clientWidth - 48));
  var left = 170, right = 16, top = 40, laneHeight = 30;
  var plot = width - left - right;
  var height = top + lanes.length * laneHeight + 8;
  var span = Math.max(1, data.to - data.from);

  function x(t) { return left + (Math.min(Math.max(t, data.from), data.to) - data.from) * plot / span; }

  function make(name, attributes, parent) {
    var node = document.createElementNS(NS, name);
    Object.keys(attributes).forEach(function (key) { node.setAttribute(key, attributes[key]); });
    if (parent) parent.appendChild(node);
    return node;
  }

  var svg = make('svg', { id: 'chart', width: width, height: height, viewBox: '0 0 ' + width + ' ' + height,
                          'shape-rendering': 'crispEdges' });
  var back = make('g', { 'class': 'back' }, svg);
  lanes.forEach(function (lane, i) {
    lane.y = top + i * laneHeight;
    lane.group = make('g', { 'class': 'lane', 'data-lane': lane.id }, svg);
    make('rect', { 'class': i % 2 ? 'band odd' : 'band', x: left, y: lane.y, width: plot, height: laneHeight },
         back);
    var label = make('text', { x: left - 8, y: lane.y + laneHeight / 2 + 4, 'text-anchor': 'end' }, back);
    label.textContent = lane.label;
    byId[lane.id] = lane;
  });

  // Hour lines, labelled so that labels stay about 60 px apart.
  var hours = span / 3600;
  var every = [1, 2, 3, 4, 6, 12, 24, 48, 168].filter(function (h) { return plot * h / hours >= 60; })[0] || 168;
  for (var t = Math.ceil(data.from / 3600) * 3600; t <= data.to; t += 3600) {
    var hourOfDay = Math.floor(t / 3600) % 24;
    if (hourOfDay % every !== 0) continue;
    make('line', { 'class': 'tick', x1: x(t), x2: x(t), y1: top - 6, y2: height - 8 }, back);
    var hour = make('text', { 'class': 'hour', x: x(t), y: top - 10, 'text-anchor': 'middle' }, back);
    var stamp = new Date(t * 1000).toISOString();
    hour.textContent = hourOfDay === 0 || t === Math.ceil(data.from / 3600) * 3600
      ? stamp.slice(5, 10) + ' ' + stamp.slice(11, 13) + ':00' : stamp.slice(11, 13) + ':00';
  }

  var tip = document.getElementById('tip');
  function hover(node, event) {
    var text = event.kind + ' ' + event.time + (event.end ? ' to ' + event.end : '') + '\n' +
      (event.lines || []).join('\n');
    make('title', {}, node).textContent = text;
    node.addEventListener('mousemove', function (e) {
      tip.textContent = text;
      tip.hidden = false;
      tip.style.left = Math.min(e.clientX + 12, window.innerWidth - tip.offsetWidth - 8) + 'px';
      tip.style.top = (e.clientY + 14) + 'px';
    });
    node.addEventListener('mouseleave', function () { tip.hidden = true; });
  }

  function bar(laneId, className, event, from, to, inset) {
    var lane = byId[laneId];
    var x1 = x(from), x2 = Math.max(x(to), x1 + 2);
    var node = make('rect', { 'class': className, x: x1, y: lane.y + inset, width: x2 - x1,
                              height: laneHeight - 2 * inset, 'data-time': event.time,
                              'data-end': event.end || '' }, lane.group);
    hover(node, event);
    return node;
  }

  function mark(laneId, className, event, t) {
    var lane = byId[laneId];
    var group = make('g', { 'class': 'mark ' + className, 'data-lane': laneId, 'data-kind': event.kind,
                            'data-time': event.time }, lane.group);
    make('rect', { x: Math.round(x(t)) - 2, y: lane.y + 4, width: 5, height: laneHeight - 8 }, group);
    hover(group, event);
    return group;
  }

  var events = data.events;
  // Backgrounds first: the hours with no file, the ignition while a run lasts.
  events.forEach(function (e) {
    if (e.kind === 'no_file') {
      var node = make('rect', { 'class': 'nofile', x: x(e.t), y: top, width: Math.max(2, x(e.end_t + 1) - x(e.t)),
                                height: lanes.length * laneHeight, 'data-time': e.time, 'data-end': e.end }, back);
      hover(node, e);
      if (x(e.end_t + 1) - x(e.t) > 40) {
        var label = make('text', { 'class': 'nofile-label', x: (x(e.t) + x(e.end_t + 1)) / 2, y: height - 1,
                                   'text-anchor': 'middle' }, back);
        label.textContent = 'no file';
      }
    }
    if (e.kind === 'run' && e.end_t !== undefined) bar('ignition', 'acc-on', e, e.t, e.end_t, 8);
  });
  events.forEach(function (e) {
    switch (e.kind) {
      case 'run':
        bar('supervisor', 'run', e, e.t, e.end_t, 8).setAttribute('data-ended', e.ended);
        if (e.ended === 'no end banner') mark('supervisor', 'cut', e, e.end_t);
        break;
      case 'ignition_off': bar('ignition', 'acc-off', e, e.t, e.end_t === undefined ? e.t : e.end_t, 4); break;
      case 'restart': mark(e.application, 'restart', e, e.t); break;
      case 'navi_close': mark('Roadlens', 'navi-close', e, e.t); break;
      case 'navi_start': mark('Roadlens', 'navi-start', e, e.t); break;
      case 'update':
        mark('updates', 'update' + (e.failed.length || e.kept ? ' failed' : ''), e, e.t);
        break;
      case 'build_option_failed': mark('supervisor', 'build-option', e, e.t); break;
    }
  });
  document.getElementById('timeline').appendChild(svg);
  document.body.setAttribute('data-drawn', String(events.length));
})();
)JS";

} // namespace hailog
