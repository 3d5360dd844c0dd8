/* The workbench's page recorder. While capturing is on it writes one JavaScript statement line
   per action of the user into the hidden field "tv_hidden", each followed by CR LF; the
   recorder window collects the lines from there. infectionEffect() starts capturing,
   infectionUnEffect() stops it. The script may be put into the same page more than once: the
   listeners are added only once.

   The lines are meant to be run again, in order, on a fresh load of the same pages:
   - a click:          document.getElementById('go').click();
   - a value typed or chosen: the value is set through the box's own interface, then the
     events that a user's typing fires follow (input, then change), so that pages which keep
     their state from those events see it, also frameworks that watch the box's value setter:
       var tarObj=document.getElementById('kw');
         Object.getOwnPropertyDescriptor(HTMLInputElement.prototype,'value').set.call(tarObj,'abc');
         tarObj.dispatchEvent(new Event('input',{bubbles:true}));
         tarObj.dispatchEvent(new Event('change',{bubbles:true}));     (one line)
   - typing into an editable region (contenteditable, a frame in design mode) or into the
     hidden box through which a code editor takes its keys: the text typed at the place it
     went, one line per stretch of typing. The line puts the caret where the user put it (a
     region: the same node and offset; an editor: the user's press replayed at the same spot),
     then inserts the text through the browser's editing commands, and sends the keys that
     editors act on (Enter, Backspace, arrows...) to the page, doing what the browser would
     when the page leaves a key alone:
       var tarObj=document.getElementById('ed').contentDocument.body;tarObj.focus();
         (function(r,a,b){...})(tarObj,[0,5],[0,5]);
         tarObj.ownerDocument.execCommand('insertText',false,' world');
         tarObj.dispatchEvent(new KeyboardEvent('keydown',{key:'Enter',...}))&&
           tarObj.ownerDocument.execCommand('insertParagraph');    (one line)
     A selection made in a region before a toolbar button is pressed is written too, as the
     first part of such a line alone.
   - a box ticked or cleared, a radio button chosen: clicked only when it is not so already:
       var tarObj=document.getElementsByName('agree')[0];if(tarObj.checked!=true)tarObj.click();
   - a form sent with Enter and no button: document.getElementById('f').requestSubmit();
   Elements inside same-origin frames are reached through their frame:
       document.getElementById('inner').contentDocument.getElementById('name')
   Each element is found by the first of these that finds it alone in its page when the action
   is recorded: an id that the page does not make up at run time, a name, the text of its
   label, an attribute a person would name (aria-label, placeholder, title, alt, data-testid
   and the like; a link's href), a link's or button's text, the shortest CSS path. */
(function () {
  var w = window;
  if (w.__tvRecorder) return;
  var rec = { on: false };
  w.__tvRecorder = rec;

  /* ---------------------------------------------------------------- texts */

  var ESCAPES = { "\\": "\\\\", "'": "\\'", "\r": "\\r", "\n": "\\n",
                  "\u2028": "\\u2028", "\u2029": "\\u2029", "\u00a0": "\\u00a0" };
  /* A JavaScript string literal in single quotes, as the code editor's snippets write them.
     A no-break space is written as an escape: the log box would hand it on as a plain
     space. */
  function q(text) {
    return "'" + String(text).replace(/[\\'\r\n\u2028\u2029\u00a0]/g, function (c) {
      return ESCAPES[c];
    }) + "'";
  }
  /* A CSS string in double quotes, for attribute selectors. */
  function cssString(text) {
    return '"' + String(text).replace(/["\\]/g, "\\$&").replace(/[\r\n]/g, "\\a ") + '"';
  }
  function cssIdent(text) {
    return w.CSS && w.CSS.escape ? w.CSS.escape(text) : String(text).replace(/[^\w-]/g, "\\$&");
  }

  /* ---------------------------------------------------------------- locators */

  /* Ids that a page or its framework makes up while it runs differ at the next load: numbers,
     long hexadecimal or digit runs, counters of widget libraries (ui-id-30, ember12, ext-gen7,
     mui-3, :r1:), and the parts that component builders number as they make them: a short
     prefix, an underscore or hyphen and a counter (ab_15, ab_65_textInput). */
  var FRAMEWORK_ID = /^(ui-id-|ui-|ember|ext-|yui_|yui-|gwt-|mui-|rc-|rc_|react-|headlessui-|radix-|select2-|downshift-|mat-|cdk-|j_id|jq|x-auto-|vaadin-|el-|ant-|__)/i;
  var NUMBERED_PART = /^[a-z]{1,4}[_-]\d+(?:[_-]|$)/i;
  function madeUp(v) {
    if (!v) return true;
    if (/^\d/.test(v) || /\d{4,}/.test(v) || /[:{}]/.test(v) || /\s/.test(v)) return true;
    if (NUMBERED_PART.test(v)) return true;
    var hex = v.match(/[0-9a-f]{8,}/gi);
    if (hex) {
      for (var i = 0; i < hex.length; i++) if (/\d/.test(hex[i])) return true;
    }
    return FRAMEWORK_ID.test(v) && /\d/.test(v);
  }

  function alone(d, selector, e) {
    try {
      var all = d.querySelectorAll(selector);
      return all.length === 1 && all[0] === e;
    } catch (err) {
      return false;
    }
  }

  function textOf(e) {
    return String(e.textContent || "").trim();
  }

  function shortText(text) {
    return !!text && text.length <= 40 && !/[\r\n\t]|\s\s/.test(text);
  }

  /* The only element of its tag with this text; the text must be short and on one line. */
  function byText(d, e) {
    var text = textOf(e);
    if (!shortText(text)) return false;
    var tag = e.localName;
    var all = d.getElementsByTagName(tag);
    var found = 0;
    for (var i = 0; i < all.length; i++) {
      if (textOf(all[i]) === text && ++found > 1) return false;
    }
    return found === 1;
  }

  function cssPath(d, e) {
    var parts = [];
    for (var n = e; n && n.nodeType === 1; n = n.parentElement) {
      var id = n.getAttribute("id");
      if (n !== e && id && !madeUp(id) && alone(d, "#" + cssIdent(id), n)) {
        parts.unshift("#" + cssIdent(id));
      } else {
        var part = n.localName;
        var p = n.parentElement;
        if (p) {
          var same = 0, place = 0;
          for (var c = p.firstElementChild; c; c = c.nextElementSibling) {
            if (c.localName === n.localName) {
              same++;
              if (c === n) place = same;
            }
          }
          if (same > 1) part += ":nth-of-type(" + place + ")";
        }
        parts.unshift(part);
      }
      var selector = parts.join(">");
      if (alone(d, selector, e)) return selector;
    }
    return null;
  }

  /* The text of a label of the control that no other label of the page has. */
  function labelText(d, e) {
    var labels = e.labels;
    if (!labels) return null;
    var all = d.getElementsByTagName("label");
    for (var i = 0; i < labels.length; i++) {
      var text = textOf(labels[i]);
      if (!shortText(text) || labels[i].control !== e) continue;
      var found = 0;
      for (var j = 0; j < all.length && found < 2; j++)
        if (textOf(all[j]) === text) found++;
      if (found === 1) return text;
    }
    return null;
  }

  var ATTRIBUTES = ["aria-label", "placeholder", "title", "alt", "data-testid", "data-test",
                    "data-qa", "data-cy"];

  /* Expression that reaches the document of a frame from the top page; null for a document out
     of reach (a frame of another origin). */
  function documentExpression(d) {
    if (d === w.document) return "document";
    var frame = null;
    try {
      frame = d.defaultView && d.defaultView.frameElement;
    } catch (err) {
      frame = null;
    }
    if (!frame) return null;
    var outer = locate(frame);
    return outer ? outer + ".contentDocument" : null;
  }

  /* An expression that finds e again on a fresh load of its page; null when there is none. */
  function locate(e) {
    var d = e.ownerDocument;
    var D = documentExpression(d);
    if (!D) return null;
    if (e === d.body) return D + ".body";
    if (e === d.documentElement) return D + ".documentElement";
    var tag = e.localName;

    var id = e.getAttribute("id");
    if (id && !madeUp(id) && d.getElementById(id) === e &&
        d.querySelectorAll("[id=" + cssString(id) + "]").length === 1)
      return D + ".getElementById(" + q(id) + ")";

    var name = e.getAttribute("name");
    if (name && !madeUp(name)) {
      var named = d.getElementsByName(name);
      if (named.length === 1 && named[0] === e) return D + ".getElementsByName(" + q(name) + ")[0]";
    }

    var label = labelText(d, e);
    if (label)
      return "Array.from(" + D + ".querySelectorAll('label')).find(e=>e.textContent.trim()==" +
             q(label) + ").control";

    for (var i = 0; i < ATTRIBUTES.length; i++) {
      var value = e.getAttribute(ATTRIBUTES[i]);
      if (!value || value.length > 80) continue;
      var selector = tag + "[" + ATTRIBUTES[i] + "=" + cssString(value) + "]";
      if (alone(d, selector, e)) return D + ".querySelector(" + q(selector) + ")";
    }

    if (tag === "a" && e.getAttribute("href")) {
      var href = tag + "[href=" + cssString(e.getAttribute("href")) + "]";
      if (alone(d, href, e)) return D + ".querySelector(" + q(href) + ")";
    }
    if (tag === "input" && /^(button|submit|reset)$/i.test(e.type) && e.getAttribute("value")) {
      var caption = "input[value=" + cssString(e.getAttribute("value")) + "]";
      if (alone(d, caption, e)) return D + ".querySelector(" + q(caption) + ")";
    }
    if (tag !== "input" && tag !== "select" && tag !== "textarea" && byText(d, e))
      return "Array.from(" + D + ".querySelectorAll(" + q(tag) + ")).find(e=>e.textContent.trim()==" +
             q(textOf(e)) + ")";

    var path = cssPath(d, e);
    return path ? D + ".querySelector(" + q(path) + ")" : null;
  }

  /* ---------------------------------------------------------------- the hidden field */

  /* A click that leaves the page (a link, a form sent) writes its line just before the page
     goes, often before the window has collected it. What the field still holds then is kept
     for the next page of the same site, whose recorder puts it back into its own field. */
  var PENDING = "tv_hidden_pending";
  function keepPending() {
    settleClick();
    flushTyping();
    var field = document.getElementById("tv_hidden");
    if (!field || !field.value) return;
    try {
      w.sessionStorage.setItem(PENDING, (w.sessionStorage.getItem(PENDING) || "") + field.value);
      field.value = "";
    } catch (err) {
    }
  }
  function takePending() {
    try {
      var kept = w.sessionStorage.getItem(PENDING);
      if (!kept) return;
      var field = document.getElementById("tv_hidden");
      if (!field) return;
      w.sessionStorage.removeItem(PENDING);
      field.value = kept + field.value;
    } catch (err) {
    }
  }

  /* The window puts the field into the page before this script. A page can still lose it: a
     new window's first document is replaced by the page it was opened for while the window
     object, and with it this script, stays. A field made here then takes its place. */
  function write(line) {
    var field = document.getElementById("tv_hidden");
    if (!field) {
      if (!document.body) return;
      field = document.createElement("input");
      field.id = "tv_hidden";
      field.type = "hidden";
      document.body.appendChild(field);
    }
    field.value = field.value + line + "\r\n";
  }

  /* ---------------------------------------------------------------- what is recorded */

  var EVENTS = "tarObj.dispatchEvent(new Event('input',{bubbles:true}));" +
               "tarObj.dispatchEvent(new Event('change',{bubbles:true}));";
  /* A framework that keeps its own copy of a box's value puts a setter on the element itself
     and takes an input event as a change only when the value differs from what went through
     that setter (React's controlled inputs). The interface's own setter passes it by, as
     typing does. */
  var INTERFACES = { input: "HTMLInputElement", textarea: "HTMLTextAreaElement",
                     select: "HTMLSelectElement" };

  function isField(e) {
    return !!e && e.id === "tv_hidden";
  }

  function elementOf(n) {
    return n && n.nodeType !== 1 ? n.parentElement : n;
  }

  function kindOf(e) {
    if (!e || e.nodeType !== 1) return "";
    var tag = e.localName;
    if (tag === "textarea") return "text";
    if (tag === "select") return "select";
    if (tag !== "input") return "";
    var t = String(e.type || "text").toLowerCase();
    if (t === "checkbox" || t === "radio") return "check";
    if (t === "button" || t === "submit" || t === "reset" || t === "image" || t === "hidden" ||
        t === "file")
      return "";
    return "text";
  }

  function valueLine(e) {
    var target = locate(e);
    if (!target) return;
    var kind = kindOf(e);
    var set;
    if (kind === "select" && e.multiple) {
      var chosen = [];
      for (var i = 0; i < e.options.length; i++)
        if (e.options[i].selected) chosen.push(q(e.options[i].value));
      set = "Array.from(tarObj.options).forEach(o=>o.selected=[" + chosen.join(",") +
            "].includes(o.value));";
    } else {
      set = "Object.getOwnPropertyDescriptor(" + INTERFACES[e.localName] +
            ".prototype,'value').set.call(tarObj," + q(e.value) + ");";
    }
    write("var tarObj=" + target + ";" + set + EVENTS);
  }

  /* ---------------------------------------------------------------- where typing goes */

  /* The region that an editable element belongs to: its outermost editable ancestor (a frame
     in design mode: its body). */
  function editingHost(e) {
    e = elementOf(e);
    if (!e || e.nodeType !== 1 || !e.isContentEditable) return null;
    var host = e;
    while (host.parentElement && host.parentElement.isContentEditable) host = host.parentElement;
    var d = host.ownerDocument;
    return host === d.documentElement && d.body ? d.body : host;
  }

  /* A box that nobody sees: the one through which a code editor takes its keys, shown by the
     editor elsewhere (tiny, transparent, or inside a container of no size). Its value is the
     editor's scratch space, not what the user typed. */
  function hiddenBox(e) {
    if (kindOf(e) !== "text") return false;
    var view = e.ownerDocument.defaultView;
    var r = e.getBoundingClientRect();
    if (r.width < 4 || r.height < 4 || r.right <= 0 || r.bottom <= 0) return true;
    for (var n = e, up = 0; n && n.nodeType === 1 && up < 4; n = n.parentElement, up++) {
      var s = view.getComputedStyle(n);
      if (Number(s.opacity) < 0.05) return true;
      if (n !== e && s.overflow !== "visible") {
        var b = n.getBoundingClientRect();
        if (b.width < 4 || b.height < 4) return true;
      }
    }
    return false;
  }

  /* Where typing is recorded as text typed at a place rather than as a box's value. */
  function typingTarget(e) {
    e = elementOf(e);
    if (!e || isField(e)) return null;
    var region = editingHost(e);
    if (region) return { element: region, region: true };
    return hiddenBox(e) ? { element: e, region: false } : null;
  }

  var PLACE = "(function(r,a,b){function at(p){var n=r;for(var i=0;n&&i<p.length-1;i++)" +
              "n=n.childNodes[p[i]];if(!n)return[r,r.childNodes.length];var k=p[p.length-1];" +
              "return[n,Math.min(k,n.nodeType==3?n.data.length:n.childNodes.length)];}" +
              "var d=r.ownerDocument,g=d.createRange(),x=at(a),y=at(b);g.setStart(x[0],x[1]);" +
              "g.setEnd(y[0],y[1]);var S=d.getSelection();S.removeAllRanges();S.addRange(g);})";
  var PRESS = "(function(e,x,y){var r=e.getBoundingClientRect(),o={bubbles:true," +
              "cancelable:true,view:e.ownerDocument.defaultView,button:0,buttons:1," +
              "clientX:r.left+x,clientY:r.top+y};e.dispatchEvent(new MouseEvent('mousedown',o));" +
              "o.buttons=0;e.dispatchEvent(new MouseEvent('mouseup',o));})";

  /* A point of the selection as the child indices from the region down to its node, then the
     offset in that node. */
  function pathIn(region, node, offset) {
    var path = [offset];
    var n = node;
    for (; n && n !== region; n = n.parentNode) {
      var i = 0;
      for (var c = n.previousSibling; c; c = c.previousSibling) i++;
      path.unshift(i);
    }
    return n === region ? "[" + path.join(",") + "]" : null;
  }

  /* The part of a line that puts the region's selection back where the user has it now; empty
     when the selection lies elsewhere. */
  function placeIn(region) {
    var s = region.ownerDocument.getSelection();
    if (!s || !s.rangeCount) return "";
    var g = s.getRangeAt(0);
    var a = pathIn(region, g.startContainer, g.startOffset);
    var b = pathIn(region, g.endContainer, g.endOffset);
    if (!a || !b) return "";
    return PLACE + "(tarObj," + a + "," + b + ");";
  }

  /* The last press of the mouse outside editable regions: a code editor puts its caret where
     it lands, so a stretch of typing in the editor's hidden box starts with it again when it
     landed in that editor: the box's nearest ancestor of a size one can press into. */
  var press = null;
  function editorOf(box) {
    for (var n = box.parentElement; n; n = n.parentElement) {
      var r = n.getBoundingClientRect();
      if (r.width >= 20 && r.height >= 20) return n;
    }
    return null;
  }
  function pressFor(box) {
    var p = press;
    press = null;
    var editor = editorOf(box);
    if (!p || !p.target || !editor || p.around.indexOf(editor) < 0) return "";
    return PRESS + "(" + p.target + "," + p.x + "," + p.y + ");";
  }

  /* A region pressed into since its last typing: its selection counts for a toolbar button
     pressed next, and for the typing that follows. */
  var pressedRegion = null;
  /* The region typed into last. Typing there again starts where the steps before left the
     caret, so its line puts no caret of its own: setting the selection again, even to the
     same place, would drop a style that a toolbar button chose for the next letters. */
  var lastRegion = null;

  /* A stretch of typing at one place: the start of its line, the parts so far and the text
     not yet written into a part. */
  var run = null;

  function insertPart(text) {
    return "tarObj.ownerDocument.execCommand('insertText',false," + q(text) + ");";
  }

  function beginRun(t) {
    if (run && run.element === t.element) return;
    flushTyping();
    var target = locate(t.element);
    var head = null;
    if (target) {
      head = "var tarObj=" + target + ";";
      if (t.region) {
        head += "tarObj.focus();";
        if (lastRegion !== t.element || pressedRegion === t.element) head += placeIn(t.element);
        if (pressedRegion === t.element) pressedRegion = null;
        lastRegion = t.element;
      } else {
        head += pressFor(t.element) + "tarObj.focus();";
      }
    }
    run = { element: t.element, region: t.region, head: head, parts: [], text: "" };
  }

  function flushRun() {
    var r = run;
    run = null;
    if (!r || !r.head) return;
    if (r.text) r.parts.push(insertPart(r.text));
    if (r.parts.length) write(r.head + r.parts.join(""));
  }

  /* Keys that editors act on themselves. A replay sends the key to the page; when the page
     leaves it alone, the browser's own action follows, as it does for the user's key. */
  var KEY_CODES = { Enter: 13, Backspace: 8, Delete: 46, Tab: 9, ArrowLeft: 37, ArrowUp: 38,
                    ArrowRight: 39, ArrowDown: 40, Home: 36, End: 35 };
  var SHORTCUTS = { a: "selectAll", b: "bold", i: "italic", u: "underline" };
  var MOVES = { ArrowLeft: ["backward", "character", "word"],
                ArrowRight: ["forward", "character", "word"],
                ArrowUp: ["backward", "line", "line"], ArrowDown: ["forward", "line", "line"],
                Home: ["backward", "lineboundary", "documentboundary"],
                End: ["forward", "lineboundary", "documentboundary"] };

  function keyDefault(ev, t) {
    var D = "tarObj.ownerDocument";
    var key = ev.key;
    var word = ev.ctrlKey || ev.altKey || ev.metaKey;
    if (key.length === 1) return D + ".execCommand('" + SHORTCUTS[key.toLowerCase()] + "')";
    if (key === "Enter") {
      if (t.region) return D + ".execCommand('" + (ev.shiftKey ? "insertLineBreak" : "insertParagraph") + "')";
      return t.element.localName === "textarea" ? D + ".execCommand('insertText',false,'\\n')" : "";
    }
    if (key === "Backspace" || key === "Delete") {
      var command = D + ".execCommand('" + (key === "Delete" ? "forwardDelete" : "delete") + "')";
      if (!word) return command;
      return "(" + D + ".getSelection().modify('extend','" +
             (key === "Delete" ? "forward" : "backward") + "','word')," + command + ")";
    }
    var move = MOVES[key];
    if (!move) return "";
    return D + ".getSelection().modify('" + (ev.shiftKey ? "extend" : "move") + "','" + move[0] +
           "','" + (word ? move[2] : move[1]) + "')";
  }

  function keyPart(ev, t) {
    var key = ev.key;
    var code = KEY_CODES[key];
    var init = "key:" + q(key) + ",code:" + q(ev.code || key);
    if (!code) code = key.toUpperCase().charCodeAt(0);
    init += ",keyCode:" + code + ",which:" + code;
    ["shiftKey", "ctrlKey", "altKey", "metaKey"].forEach(function (m) {
      if (ev[m]) init += "," + m + ":true";
    });
    var send = "tarObj.dispatchEvent(new KeyboardEvent('keydown',{" + init +
               ",bubbles:true,cancelable:true}))";
    var action = keyDefault(ev, t);
    return send + (action ? "&&" + action : "") + ";";
  }

  function onKeyDown(ev) {
    if (!rec.on || !ev.isTrusted || ev.isComposing) return;
    var key = String(ev.key || "");
    var shortcut = key.length === 1 && (ev.ctrlKey || ev.metaKey) && !ev.altKey &&
                   SHORTCUTS[key.toLowerCase()];
    if (!KEY_CODES[key] && !shortcut) return;
    var t = typingTarget(ev.target);
    if (!t) return;
    beginRun(t);
    if (run.text) {
      run.parts.push(insertPart(run.text));
      run.text = "";
    }
    run.parts.push(keyPart(ev, t));
  }

  /* Text typed, pasted or composed; the keys above come from keydown instead, as editors take
     many of them there and the page may never see their input. */
  var TEXT_INPUT = /^insert(Text|FromPaste|FromYank)$/;
  function typed(t, text) {
    if (!text) return;
    beginRun(t);
    run.text += text;
  }
  function onBeforeInput(ev) {
    if (!rec.on || !ev.isTrusted || !TEXT_INPUT.test(ev.inputType)) return;
    var t = typingTarget(ev.target);
    if (!t) return;
    var text = ev.data;
    if (text == null && ev.dataTransfer) text = ev.dataTransfer.getData("text/plain");
    typed(t, text);
  }
  function onCompositionEnd(ev) {
    if (!rec.on || !ev.isTrusted) return;
    var t = typingTarget(ev.target);
    if (t) typed(t, ev.data);
  }

  function onMouseDown(ev) {
    if (!rec.on || !ev.isTrusted || ev.button !== 0) return;
    var e = elementOf(ev.target);
    if (!e || isField(e)) return;
    /* The press moves the caret: the typing before it is done. */
    flushRun();
    var region = editingHost(e);
    if (region) {
      pressedRegion = region;
      press = null;
      return;
    }
    var r = e.getBoundingClientRect();
    var around = [];
    var d = e.ownerDocument;
    for (var n = e; n && n !== d.body && n !== d.documentElement; n = n.parentElement)
      around.push(n);
    press = { target: locate(e), around: around, x: Math.round(ev.clientX - r.left),
              y: Math.round(ev.clientY - r.top) };
  }

  /* ---------------------------------------------------------------- values and clicks */

  /* Typing is written once the user is done with the box: when it loses a changed value, or
     before the next action is written (an autocomplete list that keeps the focus in its box
     while an entry is clicked). Only boxes the user typed into count: a value that the page's
     own script puts into a box is the page's doing and comes again when the steps are run. */
  var typedBoxes = [];
  function flushTyping() {
    flushRun();
    var boxes = typedBoxes;
    typedBoxes = [];
    for (var i = 0; i < boxes.length; i++) valueLine(boxes[i]);
  }
  function flushOne(e) {
    var i = typedBoxes.indexOf(e);
    if (i < 0) return;
    typedBoxes.splice(i, 1);
    valueLine(e);
  }

  /* Before an action is written: the typing before it, and the selection of a region the
     user pressed into since, on which a toolbar button acts. */
  function beforeAction() {
    flushTyping();
    var region = pressedRegion;
    pressedRegion = null;
    if (!region || !region.isConnected) return;
    var place = placeIn(region);
    var target = place && locate(region);
    if (target) write("var tarObj=" + target + ";tarObj.focus();" + place);
  }

  /* A click counts when it lands on something a user can act on: a link, a button, a form
     control, an element with a click handler or a role, or one whose pointer shows a hand.
     Clicks on the page or on plain containers are left out. A container that takes the
     focus only through a tabindex (a code editor's scroller) counts only when the page
     answers the click itself by changing the document. */
  var ACTIVE_TAGS = { a: 1, button: 1, input: 1, select: 1, textarea: 1, label: 1, summary: 1,
                      area: 1, option: 1 };
  var ACTIVE_ROLES = /^(button|link|checkbox|radio|switch|tab|menuitem|menuitemcheckbox|menuitemradio|option|treeitem|gridcell)$/;
  function handsCursor(n) {
    var view = n.ownerDocument.defaultView;
    if (!view || view.getComputedStyle(n).cursor !== "pointer") return false;
    var p = n.parentElement;
    return !p || view.getComputedStyle(p).cursor !== "pointer";
  }
  function hasJQueryClick(n) {
    var jq = n.ownerDocument.defaultView && n.ownerDocument.defaultView.jQuery;
    if (!jq || !jq._data) return false;
    try {
      var events = jq._data(n, "events");
      return !!(events && (events.click || events.mousedown || events.mouseup));
    } catch (err) {
      return false;
    }
  }
  function active(n) {
    if (ACTIVE_TAGS[n.localName] === 1) return true;
    if (n.onclick || n.hasAttribute("onclick")) return true;
    var role = n.getAttribute("role");
    if (role && ACTIVE_ROLES.test(role)) return true;
    return handsCursor(n) || hasJQueryClick(n);
  }
  function clickTarget(e) {
    var d = e.ownerDocument;
    var tabStop = null;
    for (var n = e; n && n.nodeType === 1; n = n.parentElement) {
      if (n === d.body || n === d.documentElement) break;
      if (active(n)) return { element: n, sure: true };
      if (!tabStop && n.hasAttribute("tabindex")) tabStop = n;
    }
    return tabStop ? { element: tabStop, sure: false } : null;
  }

  /* A click on a tab stop waits for the page's own handling of it: written when the document
     changed meanwhile (or the address did), at the end of the click's way through the page. */
  var watching = null;
  function ours(record) {
    if (isField(record.target)) return true;
    var nodes = record.addedNodes;
    return record.type === "childList" && nodes.length === 1 && isField(nodes[0]) &&
           !record.removedNodes.length;
  }
  function noteChanges(records) {
    for (var i = 0; i < records.length && watching && !watching.changed; i++)
      if (!ours(records[i])) watching.changed = true;
  }
  function watchClick(d, target) {
    settleClick();
    /* The changes come to the observer after each handler of the click, or are taken at the
       end. */
    var observer = new d.defaultView.MutationObserver(noteChanges);
    observer.observe(d.documentElement, { subtree: true, childList: true, attributes: true,
                                          characterData: true });
    watching = { observer: observer, target: target, document: d, href: d.location.href,
                 changed: false };
    d.defaultView.setTimeout(settleClick, 0);
  }
  function settleClick() {
    if (!watching) return;
    noteChanges(watching.observer.takeRecords());
    var was = watching;
    watching = null;
    was.observer.disconnect();
    if (!was.changed && was.document.location.href === was.href) return;
    beforeAction();
    write(was.target + ".click();");
  }

  function onClick(ev) {
    if (!rec.on || !ev.isTrusted) return;
    var e = elementOf(ev.target);
    if (!e || isField(e)) return;
    /* Inside an editable region a click only places the caret; the typing brings it back. */
    if (editingHost(e)) return;
    var found = clickTarget(e);
    if (!found) return;
    e = found.element;
    var kind = kindOf(e);
    /* Clicking into a box or a list only prepares typing or choosing; the value is what
       counts. A box's tick is written from its change. */
    if (kind || e.localName === "option") return;
    /* A label passes its click on to its control, whose own action is recorded. */
    if (e.localName === "label" && e.control) return;
    var target = locate(e);
    if (!target) return;
    if (!found.sure) {
      watchClick(e.ownerDocument, target);
      return;
    }
    beforeAction();
    write(target + ".click();");
  }

  function onInput(ev) {
    if (!rec.on || !ev.isTrusted) return;
    var e = ev.target;
    if (isField(e) || kindOf(e) !== "text" || typingTarget(e)) return;
    /* Typing moved to another box: the one before is done. */
    flushRun();
    var before = typedBoxes.slice();
    for (var i = 0; i < before.length; i++) if (before[i] !== e) flushOne(before[i]);
    if (typedBoxes.indexOf(e) < 0) typedBoxes.push(e);
  }

  function onChange(ev) {
    if (!rec.on || !ev.isTrusted) return;
    var e = ev.target;
    if (isField(e)) return;
    var kind = kindOf(e);
    if (kind === "text") {
      flushOne(e);
    } else if (kind === "select") {
      beforeAction();
      valueLine(e);
    } else if (kind === "check") {
      var target = locate(e);
      if (!target) return;
      beforeAction();
      write("var tarObj=" + target + ";if(tarObj.checked!=" + (e.checked ? "true" : "false") +
            ")tarObj.click();");
    }
  }

  /* A form sent with Enter where it has no button: a button, when there is one, gets a click
     of its own, which is recorded instead. */
  function onSubmit(ev) {
    if (!rec.on || !ev.isTrusted || ev.submitter) return;
    var form = ev.target;
    if (!form || form.localName !== "form") return;
    beforeAction();
    var target = locate(form);
    if (target) write(target + ".requestSubmit();");
  }

  /* ---------------------------------------------------------------- listening */

  function listen(target) {
    target.addEventListener("click", onClick, true);
    target.addEventListener("click", settleClick, false);
    target.addEventListener("mousedown", onMouseDown, true);
    target.addEventListener("keydown", onKeyDown, true);
    target.addEventListener("beforeinput", onBeforeInput, true);
    target.addEventListener("compositionend", onCompositionEnd, true);
    target.addEventListener("input", onInput, true);
    target.addEventListener("change", onChange, true);
    target.addEventListener("submit", onSubmit, true);
  }

  /* Frames of the same origin get the listeners on their document, so that a frame that loads
     another page is taken up again (its load reaches the page around it). */
  function hookFrames(d) {
    var frames = d.querySelectorAll("iframe,frame");
    for (var i = 0; i < frames.length; i++) hookFrame(frames[i]);
  }
  function hookFrame(frame) {
    var inner = null;
    try {
      inner = frame.contentDocument;
    } catch (err) {
      inner = null;
    }
    if (!inner || inner.__tvHooked) return;
    inner.__tvHooked = true;
    listen(inner);
    inner.addEventListener("load", onFrameLoad, true);
    hookFrames(inner);
  }
  function onFrameLoad(ev) {
    var t = ev.target;
    if (t && (t.localName === "iframe" || t.localName === "frame")) hookFrame(t);
  }

  /* On the window, not the document: listeners stay when the window object outlives its
     document (see write). */
  listen(w);
  w.addEventListener("load", onFrameLoad, true);
  w.addEventListener("pagehide", keepPending, true);
  hookFrames(document);
  takePending();

  rec.start = function () {
    hookFrames(document);
    rec.on = true;
  };
  rec.stop = function () {
    settleClick();
    flushTyping();
    pressedRegion = null;
    press = null;
    rec.on = false;
  };
})();
/* The window's two calls, page globals however the page takes the script; a second run of the
   script in the same page declares them again and they still reach the first run's recorder. */
function infectionEffect() {
  window.__tvRecorder.start();
}
function infectionUnEffect() {
  window.__tvRecorder.stop();
}
