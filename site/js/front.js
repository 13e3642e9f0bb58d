// The storefront's navigation bar: marks the current page, and for a
// signed-in member shows the name, the order history and sign-out, and fills
// the order form's contact fields that are still empty. Also what makes the
// pages' pointer-only parts work by keyboard and by touch. What the member is
// comes from member.asp, so the pages themselves stay the same for everyone.
// Its texts are \u escapes, so they read the same whatever character set
// the page that loads it declares (the comments beside them show them).
(function () {
  var page = (location.pathname.split('/').pop() || 'index.asp').toLowerCase();
  var links = document.querySelectorAll('.nav .links a');
  for (var i = 0; i < links.length; i++) {
    var target = links[i].getAttribute('href').toLowerCase();
    if (target === page || (target === 'news.asp' && page === 'newsitem.asp')) links[i].className = 'here';
  }

  function text(tag, value) {
    var e = document.createElement(tag);
    e.appendChild(document.createTextNode(value));
    return e;
  }

  function showMember(m) {
    var cell = document.getElementById('member');
    if (!cell || !m.name) return;
    while (cell.firstChild) cell.removeChild(cell.firstChild);
    cell.appendChild(document.createTextNode('\u6b22\u8fce\u60a8\uff0c'));  // 欢迎您，
    cell.appendChild(text('b', m.name));
    cell.appendChild(document.createTextNode(' | '));
    var orders = text('a', '\u6211\u7684\u8ba2\u5355');  // 我的订单
    orders.href = 'ckdd.asp';
    cell.appendChild(orders);
    cell.appendChild(document.createTextNode(' | '));
    // Sign-out changes the session, so it is a post like every change.
    var form = document.createElement('form');
    form.method = 'post';
    form.action = 'signout.asp';
    form.className = 'signout';
    var button = document.createElement('input');
    button.type = 'submit';
    button.value = '\u9000\u51fa';  // 退出
    form.appendChild(button);
    cell.appendChild(form);
    var lookup = document.getElementById('lookup');
    if (lookup) lookup.style.display = 'none';

    var order = document.forms.form3;
    if (!order) return;
    var fill = { yhm: m.name, telsss: m.tel, addresss: m.address };
    for (var field in fill) {
      var input = order.elements[field];
      if (input && !input.value && fill[field]) input.value = fill[field];
    }
  }

  // An element acting as a button (the order picture) answers Enter and Space as a click does.
  document.addEventListener('keydown', function (e) {
    var t = e.target;
    if (t.getAttribute && t.getAttribute('role') === 'button' && (e.key === 'Enter' || e.key === ' ')) {
      e.preventDefault();
      t.click();
    }
  });
  // The hover box of a dish or an order: opened by the keyboard's focus as by the pointer, placed at the link.
  function hoverLink(e) {
    var a = e.target.closest ? e.target.closest('a.c6') : null;
    return a && a.getAttribute('onmouseover') ? a : null;
  }
  document.addEventListener('focusin', function (e) {
    var a = hoverLink(e);
    if (!a || !window.drc) return;
    var r = a.getBoundingClientRect();
    window.x = r.left + window.pageXOffset + r.width / 2;
    window.y = r.bottom + window.pageYOffset;
    a.onmouseover();
  });
  document.addEventListener('focusout', function (e) {
    if (hoverLink(e) && window.nd) window.nd();
  });
  // A finger has no hover: its tap opens the box (the tap's mouseover does) and a second tap follows the link.
  var touched = false, opened = null;
  document.addEventListener('pointerdown', function (e) { touched = e.pointerType === 'touch'; }, true);
  document.addEventListener('click', function (e) {
    var a = hoverLink(e);
    if (!a || !touched) return;
    if (a !== opened || a.getAttribute('href') === '#') e.preventDefault();
    opened = a === opened ? null : a;
  }, true);

  if (!window.fetch || !document.getElementById('member')) return;
  fetch('member.asp', { credentials: 'same-origin', cache: 'no-store' })
    .then(function (r) { return r.ok ? r.json() : {}; })
    .then(showMember)
    .catch(function () {});
})();
