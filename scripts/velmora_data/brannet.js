// The analysis panel: a small window in the page for the author of a script. It follows the
// mouse and tells what the element under it is and which JavaScript expression reaches it,
// evaluates expressions against the live page, and lists the errors the page raises (board
// buttons and the script's own code included), which the page would otherwise keep to itself.
(function () {
  'use strict';
  var panel = document.getElementById('velmoraPanel');
  if (!panel || panel.getAttribute('data-velmora-ready')) return;
  panel.setAttribute('data-velmora-ready', '1');

  function byId(id) { return document.getElementById(id); }
  var ui = {
    bar: byId('vpBar'), fold: byId('vpFold'), body: byId('vpBody'), lock: byId('vpLock'),
    tag: byId('vpTag'), size: byId('vpSize'), text: byId('vpText'), path: byId('vpPath'),
    check: byId('vpCheck'), alt: byId('vpAlt'), copy: byId('vpCopy'), eval: byId('vpEval'),
    result: byId('vpResult'), errors: byId('vpErrors'), clear: byId('vpClear'),
    count: byId('vpCount'), errorBox: byId('vpErrorBox')
  };
  for (var k in ui) if (!ui[k]) return;

  var outline = document.createElement('div');
  outline.id = 'velmoraPanelOutline';
  (document.body || document.documentElement).appendChild(outline);

  var current = null, locked = false, pending = false, lastTarget = null;

  function inPanel(node) {
    return node === outline || panel.contains(node);
  }

  // An id reaches its element only when it is the first one of that id, and the expression
  // quotes it with apostrophes, so ids holding an apostrophe or a backslash are passed over.
  function usableId(el) {
    var id = el.id;
    return typeof id === 'string' && id !== '' && id.indexOf("'") < 0 &&
        id.indexOf('\\') < 0 && document.getElementById(id) === el;
  }

  // The expression the page analyzer writes: "document", then from the nearest element with
  // an id ".getElementById('...')", then ".childNodes[i]" steps down to the node.
  function pathOf(node) {
    var steps = [];
    while (node && node !== document) {
      if (node.nodeType === 1 && usableId(node)) {
        steps.unshift(".getElementById('" + node.id + "')");
        break;
      }
      var parent = node.parentNode;
      if (!parent) return '';
      steps.unshift('.childNodes[' + Array.prototype.indexOf.call(parent.childNodes, node) + ']');
      node = parent;
    }
    return 'document' + steps.join('');
  }

  function shortPathOf(el) {
    if (usableId(el)) return "document.getElementById('" + el.id + "')";
    var tag = el.tagName.toLowerCase();
    var i = Array.prototype.indexOf.call(document.getElementsByTagName(tag), el);
    return "document.getElementsByTagName('" + tag + "')[" + i + ']';
  }

  function reaches(expression, el) {
    try {
      return new Function('return (' + expression + ');')() === el;
    } catch (e) {
      return false;
    }
  }

  function nameOf(el) {
    var s = el.tagName.toLowerCase();
    if (el.id) s += '#' + el.id;
    var cls = typeof el.className === 'string' ? el.className.trim() : '';
    if (cls) s += '.' + cls.split(/\s+/).join('.');
    var name = el.getAttribute('name');
    if (name) s += ' [name=' + name + ']';
    return s;
  }

  function clip(s, n) {
    s = String(s).replace(/\s+/g, ' ').trim();
    return s.length > n ? s.slice(0, n) + '…' : s;
  }

  function contentOf(el) {
    var tag = el.tagName.toLowerCase();
    if (tag === 'input' || tag === 'textarea' || tag === 'select') {
      return 'value = ' + JSON.stringify(clip(el.value, 60));
    }
    if (tag === 'a' && el.href) return clip(el.textContent, 30) + '  → ' + clip(el.href, 60);
    if (tag === 'img') return clip(el.currentSrc || el.src, 80);
    var text = clip(el.textContent, 80);
    return text === '' ? '(无文字)' : text;
  }

  function place() {
    if (!current || !current.isConnected) {
      outline.style.display = 'none';
      return;
    }
    var r = current.getBoundingClientRect();
    outline.style.display = 'block';
    outline.style.left = (r.left - 2) + 'px';
    outline.style.top = (r.top - 2) + 'px';
    outline.style.width = (r.width + 4) + 'px';
    outline.style.height = (r.height + 4) + 'px';
  }

  function show(el) {
    current = el;
    var r = el.getBoundingClientRect();
    ui.tag.textContent = nameOf(el);
    ui.size.textContent = Math.round(r.width) + ' × ' + Math.round(r.height) + '  位于 ' +
        Math.round(r.left + window.scrollX) + ', ' + Math.round(r.top + window.scrollY);
    ui.text.textContent = contentOf(el);
    var path = pathOf(el);
    ui.path.value = path;
    var ok = path !== '' && reaches(path, el);
    ui.check.textContent = ok ? '√ 可用' : '× 失效';
    ui.check.className = ok ? 'vpCheck vpGood' : 'vpCheck vpBad';
    var short = shortPathOf(el);
    ui.alt.textContent = short;
    ui.alt.style.display = short === path ? 'none' : 'block';
    place();
  }

  function setLocked(on) {
    locked = on;
    ui.lock.textContent = on ? '已锁定' : '跟随';
    ui.lock.className = on ? 'vpLock vpLocked' : 'vpLock';
    outline.className = on ? 'vpOutlineLocked' : '';
    if (!on && lastTarget && lastTarget !== current && lastTarget.isConnected) show(lastTarget);
  }

  document.addEventListener('mousemove', function (e) {
    var t = e.target;
    if (t && t.nodeType !== 1) t = t.parentElement;
    if (!t || inPanel(t)) return;
    lastTarget = t;
    if (locked || pending) return;
    pending = true;
    window.requestAnimationFrame(function () {
      pending = false;
      if (!locked && lastTarget && lastTarget !== current) show(lastTarget);
    });
  }, true);
  window.addEventListener('scroll', place, true);
  window.addEventListener('resize', place);
  document.addEventListener('keydown', function (e) {
    if (e.key === 'F2') {
      setLocked(!locked);
      e.preventDefault();
    }
  }, true);
  ui.lock.addEventListener('click', function () { setLocked(!locked); });

  function copyText(text, button) {
    var box = document.createElement('textarea');
    box.value = text;
    box.setAttribute('readonly', 'readonly');
    box.style.cssText = 'position:fixed;left:-9999px;top:0;opacity:0;';
    panel.appendChild(box);
    box.select();
    var done = false;
    try { done = document.execCommand('copy'); } catch (e) { done = false; }
    panel.removeChild(box);
    if (button) {
      var before = button.getAttribute('data-caption') || button.textContent;
      button.setAttribute('data-caption', before);
      button.textContent = done ? '已复制' : '请按 Ctrl+C';
      window.setTimeout(function () { button.textContent = before; }, 1200);
    }
    if (!done) {
      ui.path.focus();
      ui.path.select();
    }
  }
  ui.copy.addEventListener('click', function () { copyText(ui.path.value, ui.copy); });
  ui.alt.addEventListener('click', function () { copyText(ui.alt.textContent, null); });
  ui.path.addEventListener('focus', function () { ui.path.select(); });

  // Values as a script author wants to see them: strings quoted, elements by name, lists by
  // length and first items.
  function format(v, depth) {
    if (v === undefined) return 'undefined';
    if (v === null) return 'null';
    var t = typeof v;
    if (t === 'string') return JSON.stringify(v.length > 300 ? v.slice(0, 300) + '…' : v);
    if (t === 'number' || t === 'boolean' || t === 'bigint') return String(v);
    if (t === 'function') return 'function ' + (v.name || '') + '()';
    if (t === 'symbol') return String(v);
    if (v.nodeType === 1) return '<' + nameOf(v) + '>';
    if (v.nodeType === 3) return '#text ' + JSON.stringify(clip(v.nodeValue, 80));
    if (v.nodeType === 9) return '#document ' + (v.URL || '');
    if (v === window) return '[window]';
    if (typeof v.length === 'number' && depth === 0 && (Array.isArray(v) ||
        (typeof v.item === 'function'))) {
      var items = [];
      for (var i = 0; i < v.length && i < 5; ++i) items.push(format(v[i], 1));
      return '共 ' + v.length + ' 项 [' + items.join(', ') + (v.length > 5 ? ', …' : '') + ']';
    }
    try {
      var s = JSON.stringify(v);
      if (s !== undefined) return s.length > 300 ? s.slice(0, 300) + '…' : s;
    } catch (e) { /* cyclic or host object */ }
    return Object.prototype.toString.call(v);
  }

  // "el" is the element the panel shows. An expression is tried first, then the text as
  // statements in the page's global scope.
  function run(source) {
    // A move the next frame has not shown yet still counts.
    if (pending && !locked && lastTarget && lastTarget !== current) show(lastTarget);
    var fn = null;
    try { fn = new Function('el', 'return (' + source + '\n);'); } catch (e) { fn = null; }
    if (fn) return fn.call(window, current);
    return (0, eval)(source);
  }
  ui.eval.addEventListener('keydown', function (e) {
    if (e.key !== 'Enter') return;
    e.preventDefault();
    var source = ui.eval.value;
    if (source.trim() === '') return;
    try {
      ui.result.textContent = format(run(source), 0);
      ui.result.className = 'vpResult';
    } catch (err) {
      ui.result.textContent = (err && err.name ? err.name + ': ' : '') +
          (err && err.message !== undefined ? err.message : String(err));
      ui.result.className = 'vpResult vpBad';
    }
    place();
  });

  var errors = [];
  function two(n) { return (n < 10 ? '0' : '') + n; }
  function fileOf(url) {
    if (!url) return '';
    var s = String(url).split('?')[0].split('#')[0];
    var name = s.slice(s.lastIndexOf('/') + 1);
    return name || s;
  }
  function noteError(text) {
    var d = new Date();
    errors.unshift(two(d.getHours()) + ':' + two(d.getMinutes()) + ':' + two(d.getSeconds()) +
        '  ' + text);
    if (errors.length > 8) errors.length = 8;
    ui.errors.textContent = '';
    for (var i = 0; i < errors.length; ++i) {
      var line = document.createElement('div');
      line.className = 'vpError';
      line.textContent = errors[i];
      ui.errors.appendChild(line);
    }
    ui.count.textContent = String(errors.length);
    ui.count.className = 'vpCount vpCountOn';
    // The list shows once there is something in it; the count in the bar says the rest.
    if (ui.errorBox.className !== '') {
      ui.errorBox.className = '';
      fitBesideBoard(false);
    }
  }
  window.addEventListener('error', function (e) {
    if (e.target && e.target !== window && e.target.nodeType === 1) {
      var el = e.target;
      noteError('加载失败 <' + el.tagName.toLowerCase() + '> ' +
          fileOf(el.src || el.href || ''));
      return;
    }
    var where = fileOf(e.filename);
    noteError(String(e.message || 'Script error.') +
        (where || e.lineno ? '  (' + (where || '页面') + ':' + (e.lineno || 0) + ')' : ''));
  }, true);
  window.addEventListener('unhandledrejection', function (e) {
    var r = e.reason;
    noteError('未处理的 Promise 拒绝: ' + (r && r.message ? r.message : format(r, 1)));
  });
  ui.clear.addEventListener('click', function () {
    errors = [];
    ui.errors.textContent = '';
    ui.errorBox.className = 'vpQuiet';
    ui.count.textContent = '0';
    ui.count.className = 'vpCount';
    fitBesideBoard(false);
  });

  // The panel keeps to the bottom left corner of the window: it moves by its left and bottom
  // edges, so that folding leaves a small handle in that corner.
  function viewWidth() { return document.documentElement.clientWidth || window.innerWidth; }
  function viewHeight() { return document.documentElement.clientHeight || window.innerHeight; }
  function moveTo(left, bottom) {
    left = Math.max(0, Math.min(viewWidth() - panel.offsetWidth, left));
    bottom = Math.max(0, Math.min(viewHeight() - panel.offsetHeight, bottom));
    panel.style.top = 'auto';
    panel.style.left = left + 'px';
    panel.style.bottom = bottom + 'px';
  }
  function keepInView() {
    var box = panel.getBoundingClientRect();
    moveTo(box.left, viewHeight() - box.bottom);
  }
  function isFolded() { return panel.className.indexOf('vpFolded') >= 0; }
  function setFolded(folded) {
    panel.className = folded ? panel.className + ' vpFolded'
                             : panel.className.replace(/\s*vpFolded/g, '');
    ui.fold.textContent = folded ? '+' : '—';
    ui.fold.title = folded ? '展开' : '收起';
    ui.bar.title = folded ? '点击展开, 拖动可移动' : '';
    if (!folded) {
      fitBesideBoard(false);
      keepInView();
    }
  }

  // The board of the shipped skins stands in the top right corner, the panel in the bottom
  // left one; in a narrow window (the debugger's as it opens) the two meet. Until the user
  // drags the panel, it leaves the board its place: its body takes the room below the board
  // and scrolls, and where that room would not even show a few lines the panel starts as its
  // handle.
  var kGap = 8, kLeastBody = 100, dragged = false;
  function fitBesideBoard(mayFold) {
    if (dragged || isFolded()) return;
    ui.body.style.maxHeight = '';
    var board = document.getElementById('velmoraBoard');
    if (!board || board === panel || panel.contains(board)) return;
    var b = board.getBoundingClientRect(), p = panel.getBoundingClientRect();
    if (b.width === 0 || b.height === 0) return;
    if (p.right <= b.left || p.left >= b.right || p.bottom + kGap <= b.top ||
        p.top >= b.bottom + kGap) return;
    var frame = panel.offsetHeight - ui.body.offsetHeight;
    var room = Math.floor(p.bottom - (b.bottom + kGap) - frame);
    if (room < kLeastBody && mayFold) {
      setFolded(true);
      return;
    }
    ui.body.style.maxHeight = Math.max(room, kLeastBody) + 'px';
  }

  var grip = null;
  ui.bar.addEventListener('mousedown', function (e) {
    if (e.button !== 0 || (e.target === ui.lock && !isFolded())) return;
    var box = panel.getBoundingClientRect();
    grip = { x: e.clientX, y: e.clientY, left: box.left, bottom: viewHeight() - box.bottom,
             moved: false };
    e.preventDefault();
  });
  document.addEventListener('mousemove', function (e) {
    if (!grip) return;
    var dx = e.clientX - grip.x, dy = e.clientY - grip.y;
    if (!grip.moved && Math.abs(dx) + Math.abs(dy) < 4) return;
    grip.moved = true;
    dragged = true;
    moveTo(grip.left + dx, grip.bottom - dy);
  }, true);
  document.addEventListener('mouseup', function (e) {
    if (!grip) return;
    var moved = grip.moved;
    grip = null;
    if (moved || e.button !== 0) return;
    // Folded, the whole handle unfolds; open, the fold button folds.
    if (isFolded() || e.target === ui.fold) setFolded(!isFolded());
  }, true);
  window.addEventListener('resize', function () {
    fitBesideBoard(false);
    keepInView();
  });
  fitBesideBoard(true);
})();
