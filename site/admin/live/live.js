// The kitchen's live order screen (admin/live.asp): the board the page was
// sent with, then new orders and status moves from the event stream
// /admin/live_events; when events cannot be used, the board is polled.
// Every value is put into the page as text, never as markup. Texts are
// written as \u escapes (each line's text in its comment): the back office's
// pages are gb2312, and the browser reads the script in the page's charset.
(function () {
  'use strict';
  var NEXT = { 1: '\u5f00\u59cb\u5236\u4f5c', 2: '\u5f00\u59cb\u6d3e\u9001', 3: '\u7ed3\u5e10' };  // 开始制作 / 开始派送 / 结帐
  var POLL_MS = 5000;
  var cards = {};  // order id -> card element
  var last = 0;    // the highest order id this screen knows
  var source = null, pollTimer = null, reloadTimer = null, opened = false, stopped = false;
  var sound = { on: false, ctx: null, buffer: null };

  function $(sel, root) { return (root || document).querySelector(sel); }
  function text(tag, cls, value) {
    var e = document.createElement(tag);
    if (cls) e.className = cls;
    e.textContent = value;
    return e;
  }
  function state(message) { $('#state').textContent = message; }
  // Codes other than 2, 3 and 4 are shown as waiting, as on the order list.
  function column(status) { return status === 2 || status === 3 || status === 4 ? status : 1; }

  function buildCard(o, fresh) {
    var el = document.createElement('article');
    el.className = 'card' + (fresh ? ' fresh' : '');
    el.dataset.id = o.id;
    el.dataset.status = o.status;
    el.order = o;
    var head = document.createElement('header');
    head.appendChild(text('b', 'no', '#' + o.id));
    head.appendChild(text('span', 'time', o.time));
    if (o.taker) head.appendChild(text('span', 'taker', '\u7535\u8bdd\u8ba2\u5355 \u00b7 ' + o.taker));  // 电话订单 · 
    el.appendChild(head);
    el.appendChild(text('div', 'who', o.name + '\u3000' + o.phone));  // 　
    el.appendChild(text('div', 'address', o.address));
    el.appendChild(text('div', 'arrive', '\u9001\u8fbe ' + o.arrive));  // 送达 
    var list = document.createElement('ul');
    list.className = 'lines';
    o.lines.forEach(function (l) {
      list.appendChild(text('li', '', l.length === 4 ? l[0] + ' \u00d7 ' + l[2] + '\u3000' + l[3] + '\u5143' : l[0]));  //  ×  / 　 / 元
    });
    el.appendChild(list);
    el.appendChild(text('div', 'total', '\u5408\u8ba1 ' + o.total + ' \u5143'));  // 合计  /  元
    if (o.remark) el.appendChild(text('div', 'remark', '\u5907\u6ce8\uff1a' + o.remark));  // 备注：
    var actions = document.createElement('footer');
    var next = NEXT[column(o.status)];
    if (next) {
      var b = text('button', 'move', next);
      b.type = 'button';
      b.addEventListener('click', function () { move(el, b); });
      actions.appendChild(b);
    }
    var p = text('button', 'print', '\u6253\u5370\u5c0f\u7968');  // 打印小票
    p.type = 'button';
    p.addEventListener('click', function () { window.open('live_ticket.asp?id=' + o.id + '&auto=1', '_blank'); });
    actions.appendChild(p);
    el.appendChild(actions);
    // The highlight stays until someone touches the card.
    el.addEventListener('pointerdown', function () { el.classList.remove('fresh'); });
    return el;
  }

  function counts() {
    document.querySelectorAll('[data-status]').forEach(function (box) {
      if (box.classList.contains('card')) return;
      $('.count', box).textContent = $('.cards', box).children.length;
    });
  }

  // Puts the order's card in its column: open orders oldest first (the
  // kitchen works from the top), settled ones newest first.
  function place(o, fresh) {
    var old = cards[o.id];
    if (old) fresh = fresh || old.classList.contains('fresh');
    var el = buildCard(o, fresh);
    var status = column(o.status);
    var box = $('[data-status="' + status + '"] .cards');
    var before = null;
    for (var c = box.firstElementChild; c; c = c.nextElementSibling) {
      var id = Number(c.dataset.id);
      if (c !== old && (status === 4 ? id < o.id : id > o.id)) { before = c; break; }
    }
    if (old) old.remove();
    box.insertBefore(el, before);
    cards[o.id] = el;
    if (o.id > last) last = o.id;
  }

  function drop(id) {
    if (cards[id]) { cards[id].remove(); delete cards[id]; }
  }

  function applyBoard(board, announce) {
    var seen = {}, news = 0;
    board.orders.forEach(function (o) {
      seen[o.id] = true;
      var isNew = announce && !cards[o.id] && o.id > last;
      if (isNew) news++;
      place(o, isNew);
    });
    Object.keys(cards).forEach(function (id) { if (!seen[id]) drop(id); });
    if (board.last > last) last = board.last;
    var older = $('#older');
    older.hidden = !board.olderOpen;
    $('span', older).textContent = board.olderOpen;
    counts();
    if (news) chime();
  }

  function parsed(html) { return new DOMParser().parseFromString(html, 'text/html'); }

  function reloadBoard(announce) {
    return fetch('live.asp?action=board', { credentials: 'same-origin', cache: 'no-store' })
      .then(function (r) { return r.text(); })
      .then(function (html) {
        var el = parsed(html).getElementById('board');
        if (!el) return loggedOut();
        applyBoard(JSON.parse(el.textContent), announce);
      })
      .catch(function () { state('\u8fde\u4e0d\u4e0a\u670d\u52a1\u5668\uff0c\u7a0d\u540e\u91cd\u8bd5\u2026'); });  // 连不上服务器，稍后重试…
  }
  function scheduleReload() {
    clearTimeout(reloadTimer);
    reloadTimer = setTimeout(function () { reloadBoard(true); }, 300);
  }

  function loggedOut() {
    stopped = true;
    if (source) source.close();
    clearInterval(pollTimer);
    state('\u767b\u5f55\u5df2\u5931\u6548\u6216\u6ca1\u6709\u6743\u9650\uff0c\u8bf7\u91cd\u65b0\u767b\u5f55\u3002');  // 登录已失效或没有权限，请重新登录。
  }

  function move(el, button) {
    button.disabled = true;
    var body = new URLSearchParams({ id: el.order.id, from: el.order.status });
    fetch('live.asp?action=move', { method: 'POST', body: body, credentials: 'same-origin' })
      .then(function (r) { return r.text(); })
      .then(function (html) {
        var result = parsed(html).getElementById('result');
        if (!result) return loggedOut();
        if (result.dataset.ok === '1') {
          var o = el.order;
          o.status = Number(result.dataset.status);
          place(o, false);
          counts();
        } else {
          window.alert(result.textContent);
          reloadBoard(false);
        }
      })
      .catch(function () { button.disabled = false; state('\u8fde\u4e0d\u4e0a\u670d\u52a1\u5668\uff0c\u8bf7\u518d\u70b9\u4e00\u6b21\u3002'); });  // 连不上服务器，请再点一次。
  }

  function chime() {
    if (!sound.on) return;
    if (sound.ctx && sound.buffer) {
      var src = sound.ctx.createBufferSource();
      src.buffer = sound.buffer;
      src.connect(sound.ctx.destination);
      src.start();
    } else {
      new Audio('live/chime.wav').play().catch(function () {});
    }
  }

  // Browsers play sound only after the user has clicked on the page: the
  // switch is that click.
  function toggleSound() {
    var button = $('#sound');
    sound.on = !sound.on;
    button.setAttribute('aria-pressed', String(sound.on));
    button.textContent = sound.on ? '\u63d0\u793a\u97f3\u5df2\u5f00\u542f' : '\u5f00\u542f\u63d0\u793a\u97f3';  // 提示音已开启 / 开启提示音
    if (!sound.on) return;
    var Ctx = window.AudioContext || window.webkitAudioContext;
    if (Ctx && !sound.ctx) {
      sound.ctx = new Ctx();
      fetch('live/chime.wav').then(function (r) { return r.arrayBuffer(); })
        .then(function (bytes) { return sound.ctx.decodeAudioData(bytes); })
        .then(function (buffer) { sound.buffer = buffer; chime(); })
        .catch(function () {});
    } else {
      if (sound.ctx) sound.ctx.resume();
      chime();
    }
  }

  function startPolling() {
    if (pollTimer || stopped) return;
    pollTimer = setInterval(function () { reloadBoard(true); }, POLL_MS);
  }
  function stopPolling() { clearInterval(pollTimer); pollTimer = null; }

  function connect() {
    if (stopped) return;
    source = new EventSource('live_events?after=' + last);
    source.addEventListener('open', function () {
      state('\u5b9e\u65f6\u63a5\u6536\u4e2d');  // 实时接收中
      stopPolling();
      // Status moves while the stream was down are not replayed: the board is.
      if (opened) reloadBoard(true);
      opened = true;
    });
    source.addEventListener('order', function (e) {
      var o = JSON.parse(e.data);
      if (cards[o.id]) return;
      place(o, true);
      counts();
      chime();
    });
    source.addEventListener('status', function (e) {
      var s = JSON.parse(e.data);
      if (s.status === 0) { drop(s.id); counts(); return; }
      var el = cards[s.id];
      if (!el) return scheduleReload();
      el.order.status = s.status;
      place(el.order, false);
      counts();
    });
    source.addEventListener('error', function () {
      if (source.readyState !== EventSource.CLOSED) { state('\u8fde\u63a5\u4e2d\u65ad\uff0c\u6b63\u5728\u91cd\u8fde\u2026'); return; }  // 连接中断，正在重连…
      // Refused or not an event stream: poll, and try events again later.
      state('\u6bcf 5 \u79d2\u5237\u65b0\u4e00\u6b21');  // 每 5 秒刷新一次
      startPolling();
      reloadBoard(true);
      setTimeout(connect, 60000);
    });
  }

  $('#sound').addEventListener('click', toggleSound);
  applyBoard(JSON.parse($('#board').textContent), false);
  if (window.EventSource) connect();
  else { state('\u6bcf 5 \u79d2\u5237\u65b0\u4e00\u6b21'); startPolling(); }  // 每 5 秒刷新一次
})();
