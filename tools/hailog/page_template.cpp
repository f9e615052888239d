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
#timeline text.small { font-size: 9px; }
#timeline text.day { font-size: 12px; font-weight: bold; }
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
  var labels = { ignition: 'Ignition (ACC)', supervisor: 'Hailwatch', Hailwire: 'Hailwire (modem)',
                 Hailfare: 'Hailfare (meter)', Hailnet: 'Hailnet (call)', Hailtrack: 'Hailtrack (DTG)',
                 Roadlens: 'Roadlens (navigation)', updates: 'Start-up updates' };
  var lanes = data.lanes, styles = data.styles, tips = data.tips;
  // One row for a short period; a day per row for a longer one.
  var single = data.rows.length === 1;
  var width = Math.max(900, Math.min(1600, document.documentElement.clientWidth - 48));
  var left = 170, right = 16;
  var laneHeight = single ? 30 : 10, rowTop = single ? 40 : 18, rowGap = single ? 8 : 10;
  var plot = width - left - right;
  var rowHeight = rowTop + lanes.length * laneHeight + rowGap;
  var height = rowHeight * data.rows.length;
  var dayOf = function (t) { return t - (((t % 86400) + 86400) % 86400); };
  var firstDay = dayOf(data.rows[0][0]);

  var rows = data.rows.map(function (r, i) {
    var start = single ? r[0] : dayOf(r[0]);
    return { from: r[0], to: r[1], start: start, span: single ? Math.max(1, r[1] - r[0]) : 86400,
             y: i * rowHeight + rowTop };
  });
  function rowOf(t) {
    if (single) return 0;
    return Math.max(0, Math.min(rows.length - 1, Math.floor((t - firstDay) / 86400)));
  }
  function x(row, t) {
    return left + (Math.min(Math.max(t, row.from), row.to) - row.start) * plot / row.span;
  }
  function text(t) { return new Date(t * 1000).toISOString().slice(0, 19).replace('T', ' '); }

  function make(name, attributes, parent) {
    var node = document.createElementNS(NS, name);
    Object.keys(attributes).forEach(function (key) { node.setAttribute(key, attributes[key]); });
    if (parent) parent.appendChild(node);
    return node;
  }

  var svg = make('svg', { id: 'chart', width: width, height: height, viewBox: '0 0 ' + width + ' ' + height,
                          'shape-rendering': 'crispEdges' });
  var back = make('g', { 'class': 'back' }, svg);
  rows.forEach(function (row, r) {
    row.group = make('g', { 'class': 'row', 'data-from': text(row.from) }, svg);
    row.lanes = lanes.map(function (id, i) {
      var y = row.y + i * laneHeight;
      var group = make('g', { 'class': 'lane', 'data-lane': id }, row.group);
      make('rect', { 'class': i % 2 ? 'band odd' : 'band', x: left, y: y, width: plot, height: laneHeight }, back);
      var label = make('text', { x: left - 8, y: y + laneHeight / 2 + (single ? 4 : 3), 'text-anchor': 'end',
                                 'class': single ? '' : 'small' }, back);
      label.textContent = labels[id];
      return { y: y, group: group };
    });
    if (!single) {
      var day = make('text', { 'class': 'day', x: 4, y: row.y - 5 }, back);
      day.textContent = text(row.from).slice(0, 10);
    }
    // Hour lines, labelled so that labels stay about 60 px apart.
    var every = [1, 2, 3, 4, 6, 12, 24, 48, 168].filter(function (h) {
      return plot * h * 3600 / row.span >= 60; })[0] || 168;
    for (var t = Math.ceil(row.from / 3600) * 3600; t <= row.to; t += 3600) {
      var hourOfDay = Math.floor(t / 3600) % 24;
      if (hourOfDay % every !== 0) continue;
      make('line', { 'class': 'tick', x1: x(row, t), x2: x(row, t), y1: row.y - 6,
                     y2: row.y + lanes.length * laneHeight }, back);
      var hour = make('text', { 'class': 'hour', x: x(row, t), y: row.y - (single ? 10 : 5),
                                'text-anchor': 'middle' }, back);
      var stamp = text(t);
      hour.textContent = single && (hourOfDay === 0 || t === Math.ceil(row.from / 3600) * 3600)
        ? stamp.slice(5, 10) + ' ' + stamp.slice(11, 13) + ':00' : stamp.slice(11, 13) + ':00';
    }
  });

  var tip = document.getElementById('tip');
  function hover(node, style, time, end, count, tipIndex) {
    var head = count > 1 ? count + ' events, the first at ' + text(time) + '\n' : '';
    var body = tipIndex >= 0 ? tips[tipIndex] : style + ' ' + text(time) + (end !== null ? ' to ' + text(end) : '');
    var words = head + body;
    make('title', {}, node).textContent = words;
    node.addEventListener('mousemove', function (e) {
      tip.textContent = words;
      tip.hidden = false;
      tip.style.left = Math.min(e.clientX + 12, window.innerWidth - tip.offsetWidth - 8) + 'px';
      tip.style.top = (e.clientY + 14) + 'px';
    });
    node.addEventListener('mouseleave', function () { tip.hidden = true; });
  }

  // A bar, cut into one piece per row it crosses; the first piece carries
  // its times and hover text.
  function bar(laneIndex, className, b, inset) {
    var time = b[2], end = b[3], drawn = 0;
    for (var r = rowOf(time); r <= rowOf(end); ++r) {
      var row = rows[r];
      var x1 = x(row, time), x2 = Math.max(x(row, end + (className === 'nofile' ? 1 : 0)), x1 + 2);
      var y = laneIndex < 0 ? row.y : row.lanes[laneIndex].y + inset;
      var h = laneIndex < 0 ? lanes.length * laneHeight : laneHeight - 2 * inset;
      var attributes = { 'class': className, x: x1, y: y, width: x2 - x1, height: h };
      if (drawn === 0) {
        attributes['data-time'] = text(time);
        attributes['data-end'] = text(end);
        attributes['data-count'] = b[4];
        if (b[6]) attributes['data-ended'] = b[6];
      }
      var node = make('rect', attributes, laneIndex < 0 ? back : row.lanes[laneIndex].group);
      if (drawn === 0) hover(node, className, time, end, b[4], b[5]);
      if (className === 'nofile' && x2 - x1 > 40) {
        var label = make('text', { 'class': 'nofile-label', x: (x1 + x2) / 2, y: y + h + (single ? 7 : 8),
                                   'text-anchor': 'middle' }, back);
        label.textContent = 'no file';
      }
      ++drawn;
    }
  }

  function mark(m) {
    var time = m[2], row = rows[rowOf(time)], lane = row.lanes[m[0]];
    var group = make('g', { 'class': 'mark ' + styles[m[1]], 'data-lane': lanes[m[0]], 'data-time': text(time),
                            'data-count': m[3] }, lane.group);
    var inset = single ? 4 : 1;
    var w = Math.max(single ? 5 : 3, Math.round(data.bucket * plot / row.span));
    make('rect', { x: Math.round(x(row, time)) - 2, y: lane.y + inset, width: w, height: laneHeight - 2 * inset },
         group);
    hover(group, styles[m[1]], time, null, m[3], m[4]);
  }

  var ignition = lanes.indexOf('ignition');
  // Backgrounds first: the hours with no file, the ignition while a run lasts.
  data.bars.forEach(function (b) {
    if (styles[b[1]] === 'nofile') bar(-1, 'nofile', b, 0);
    if (styles[b[1]] === 'run') bar(ignition, 'acc-on', b, single ? 8 : 2);
  });
  data.bars.forEach(function (b) {
    if (styles[b[1]] === 'run') bar(b[0], 'run', b, single ? 8 : 2);
    if (styles[b[1]] === 'acc-off') bar(b[0], 'acc-off', b, single ? 4 : 1);
  });
  data.marks.forEach(mark);
  document.getElementById('timeline').appendChild(svg);
  document.body.setAttribute('data-drawn', String(data.marks.length + data.bars.length));
})();
)JS";

} // namespace hailog
