// The rich-text editor of the back-office forms: edits the HTML of the parent
// page's field named by toviEditorConfig.field and writes it back on every
// change, so a plain post of the form carries the edited text.
// window.toviEditor = {sync, reload} lets the form flush or reload it.
(function () {
  'use strict';
  var config = window.toviEditorConfig || {};
  var Quill = window.Quill;

  // Inline styles rather than the editor's own classes: the storefront shows the
  // text without the editor's stylesheet.
  Quill.register(Quill.import('attributors/style/align'), true);
  Quill.register(Quill.import('attributors/style/color'), true);
  Quill.register(Quill.import('attributors/style/background'), true);

  function field() {
    try {
      if (!window.parent || window.parent === window) return null;
      var list = window.parent.document.getElementsByName(config.field);
      return list.length ? list[0] : null;
    } catch (e) {
      return null;
    }
  }

  function insertImageByAddress() {
    var url = window.prompt(config.imagePrompt, '');
    if (url === null) return;
    url = url.replace(/^\s+|\s+$/g, '');
    if (url === '') return;
    // Only web addresses and paths of this site: no javascript: or data: sources.
    if (/^[a-z][a-z0-9+.\-]*:/i.test(url) && !/^https?:\/\//i.test(url)) {
      window.alert(config.badImage);
      return;
    }
    var range = quill.getSelection(true);
    quill.insertEmbed(range.index, 'image', url, 'user');
    quill.setSelection(range.index + 1, 0, 'silent');
  }

  var quill = new Quill('#editor', {
    theme: 'snow',
    modules: { toolbar: { container: '#toolbar', handlers: { image: insertImageByAddress } } },
  });
  var tooltip = quill.theme && quill.theme.tooltip;
  if (tooltip && tooltip.textbox) tooltip.textbox.setAttribute('data-link', config.linkPlaceholder || 'http://');

  // The editor's semantic HTML writes every blank as &nbsp;, which would stop
  // the storefront from wrapping lines; plain blanks read the same.
  function html() {
    if (quill.getLength() <= 1 && quill.root.querySelector('img') === null) return '';
    return quill.getSemanticHTML().replace(/&nbsp;/g, ' ');
  }

  // Untouched text stays in the field exactly as stored.
  var changed = false;
  function write() {
    var f = field();
    if (f) f.value = html();
  }
  function sync() {
    if (changed) write();
  }

  function load() {
    var f = field();
    var start = f ? f.value : '';
    quill.setContents(quill.clipboard.convert({ html: start }), 'silent');
    quill.history.clear();
    changed = false;
  }

  load();
  quill.on('text-change', function () {
    changed = true;
    write();
  });
  window.toviEditor = { sync: sync, reload: load, quill: quill };
})();
