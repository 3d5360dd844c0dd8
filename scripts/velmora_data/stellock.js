/* The workbench's page recorder. While capturing is on it writes one JavaScript statement line
   per action of the user into the hidden field "tv_hidden", each followed by CR LF; the
   recorder window collects the lines from there. infectionEffect() starts capturing,
   infectionUnEffect() stops it. The script may be put into the same page more than once: the
   listeners are added only once.

   The lines are meant to be run again, in order, on a fresh load of the same pages:
   - a click:          document.getElementById('go').click();
   - a value typed or chosen: the value is set and the events that a user's typing fires
     follow (input, then change), so that pages which keep their state from those events see it:
       var tarObj=document.getElementById('kw');tarObj.value='abc';
         tarObj.dispatchEvent(new Event('input',{bubbles:true}));
         tarObj.dispatchEvent(new Event('change',{bubbles:true}));     (one line)
   - a box ticked or cleared, a radio button chosen: clicked only when it is not so already:
       var tarObj=document.getElementsByName('agree')[0];if(tarObj.checked!=true)tarObj.click();
   - a form sent with Enter and no button: document.getElementById('f').requestSubmit();
   Elements inside same-origin frames are reached through their frame:
       document.getElementById('inner').contentDocument.getElementById('name')
   Each element is found by the first of these that finds it alone in its page when the action
   is recorded: an id that the page does not make up at run time, a name, an attribute a person
   would name (aria-label, placeholder, title, data-testid; a link's href), a link's or button's
   text, a short CSS path. */
(function () {
  var w = window;
  if (w.__tvRecorder) return;
  var rec = { on: false };
  w.__tvRecorder = rec;

  /* ---------------------------------------------------------------- texts */

  var ESCAPES = { "\\": "\\\\", "'": "\\'", "\r": "\\r", "\n": "\\n",
                  "\u2028": "\\u2028", "\u2029": "\\u2029" };
  /* A JavaScript string literal in single quotes, as the code editor's snippets write them. */
  function q(text) {
    return "'" + String(text).replace(/[\\'\r\n\u2028\u2029]/g, function (c) {
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
     mui-3, :r1:). */
  var FRAMEWORK_ID = /^(ui-id-|ui-|ember|ext-|yui_|yui-|gwt-|mui-|rc-|rc_|react-|headlessui-|radix-|select2-|downshift-|mat-|cdk-|j_id|jq|x-auto-|vaadin-|el-|ant-|__)/i;
  function madeUp(v) {
    if (!v) return true;
    if (/^\d/.test(v) || /\d{4,}/.test(v) || /[:{}]/.test(v) || /\s/.test(v)) return true;
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

  /* The only element of its tag with this text; the text must be short and on one line. */
  function byText(d, e) {
    var text = textOf(e);
    if (!text || text.length > 40 || /[\r\n\t]|\s\s/.test(text)) return false;
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

  var ATTRIBUTES = ["aria-label", "placeholder", "title", "data-testid"];

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

  function isField(e) {
    return e && e.id === "tv_hidden";
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
      set = "tarObj.value=" + q(e.value) + ";";
    }
    write("var tarObj=" + target + ";" + set + EVENTS);
  }

  /* Typing is written once the user is done with the box: when it loses a changed value, or
     before the next action is written (an autocomplete list that keeps the focus in its box
     while an entry is clicked). Only boxes the user typed into count: a value that the page's
     own script puts into a box is the page's doing and comes again when the steps are run. */
  var typed = [];
  function flushTyping() {
    var boxes = typed;
    typed = [];
    for (var i = 0; i < boxes.length; i++) valueLine(boxes[i]);
  }
  function flushOne(e) {
    var i = typed.indexOf(e);
    if (i < 0) return;
    typed.splice(i, 1);
    valueLine(e);
  }

  /* A click counts when it lands on something a user can act on: a link, a button, a form
     control, an element with a click handler, a role or a tab stop, or one whose pointer
     shows a hand. Clicks on the page or on plain containers are left out. */
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
    if (n.onclick || n.hasAttribute("onclick") || n.hasAttribute("tabindex")) return true;
    var role = n.getAttribute("role");
    if (role && ACTIVE_ROLES.test(role)) return true;
    return handsCursor(n) || hasJQueryClick(n);
  }
  function clickTarget(e) {
    var d = e.ownerDocument;
    for (var n = e; n && n.nodeType === 1; n = n.parentElement) {
      if (n === d.body || n === d.documentElement) return null;
      if (active(n)) return n;
    }
    return null;
  }

  function onClick(ev) {
    if (!rec.on || !ev.isTrusted) return;
    var e = ev.target;
    if (e && e.nodeType !== 1) e = e.parentElement;
    if (!e || isField(e)) return;
    e = clickTarget(e);
    if (!e) return;
    var kind = kindOf(e);
    /* Clicking into a box or a list only prepares typing or choosing; the value is what
       counts. A box's tick is written from its change. */
    if (kind || e.localName === "option") return;
    /* A label passes its click on to its control, whose own action is recorded. */
    if (e.localName === "label" && e.control) return;
    var target = locate(e);
    if (!target) return;
    flushTyping();
    write(target + ".click();");
  }

  function onInput(ev) {
    if (!rec.on || !ev.isTrusted) return;
    var e = ev.target;
    if (isField(e)) return;
    var kind = kindOf(e);
    if (kind !== "text") return;
    /* Typing moved to another box: the one before is done. */
    var before = typed.slice();
    for (var i = 0; i < before.length; i++) if (before[i] !== e) flushOne(before[i]);
    if (typed.indexOf(e) < 0) typed.push(e);
  }

  function onChange(ev) {
    if (!rec.on || !ev.isTrusted) return;
    var e = ev.target;
    if (isField(e)) return;
    var kind = kindOf(e);
    if (kind === "text") {
      flushOne(e);
    } else if (kind === "select") {
      flushTyping();
      valueLine(e);
    } else if (kind === "check") {
      var target = locate(e);
      if (!target) return;
      flushTyping();
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
    flushTyping();
    var target = locate(form);
    if (target) write(target + ".requestSubmit();");
  }

  /* ---------------------------------------------------------------- listening */

  function listen(target) {
    target.addEventListener("click", onClick, true);
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
    flushTyping();
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
