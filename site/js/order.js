// An order's own page (ddxx.asp): its status line and steps move by themselves. The order's event stream tells each
// move at once; where the browser has no EventSource, or the stream fails, the page asks the status answer
// (ddzt.asp) every few seconds instead. Each time the stream opens the page asks once too, for a move it missed.
// A settled or deleted order moves no more: then nothing is followed. Texts are \u escapes (any page charset).
(function () {
  var box = document.getElementById('order');
  if (!box) return;
  var id = box.getAttribute('data-id'), line = document.getElementById('orderStatus');
  var steps = box.querySelectorAll('ol.steps li'), stream = null, timer = null, done = false;
  var query = '?id=' + encodeURIComponent(id);

  function stop() {
    done = true;
    if (stream) stream.close();
    if (timer) clearInterval(timer);
    timer = null;
  }

  function show(s) {
    if (done || !s || typeof s.status !== 'number') return;
    if (String(s.status) !== box.getAttribute('data-status')) {
      box.setAttribute('data-status', String(s.status));
      line.textContent = s.label;
      for (var i = 0; i < steps.length; i++) {
        steps[i].className = i < s.status ? 'done' : '';
        if (i === s.status - 1) steps[i].setAttribute('aria-current', 'step');
        else steps[i].removeAttribute('aria-current');
      }
    }
    if (s.status === 4 || s.status === 0) stop();
  }

  function ask() {
    var x = new XMLHttpRequest();
    x.open('GET', 'ddzt.asp' + query);
    x.onload = function () {
      if (x.status === 200) show(JSON.parse(x.responseText));
      else if (x.status === 403 || x.status === 404) {
        stop();
        line.textContent = '\u65e0\u6cd5\u518d\u67e5\u770b\u8fd9\u5f20\u8ba2\u5355';  // 无法再查看这张订单
      }
    };
    x.send();
  }

  function pollEvery(ms) {
    if (!timer && !done) timer = setInterval(ask, ms);
  }

  if (box.getAttribute('data-status') === '4') return stop();
  if (!window.EventSource) return pollEvery(5000);
  stream = new EventSource('order_events' + query);
  stream.addEventListener('status', function (e) { show(JSON.parse(e.data)); });
  stream.onopen = function () {
    if (timer) clearInterval(timer);
    timer = null;
    ask();
  };
  // While the stream is down (it retries by itself, or was refused) the status answer stands in.
  stream.onerror = function () { pollEvery(5000); };
})();
