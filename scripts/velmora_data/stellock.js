/* The workbench's page recorder. While capturing is on it writes one JavaScript statement per
   action of the user (a click, a value typed or chosen, a box ticked) into the hidden field
   "tv_hidden", each followed by CR LF; the recorder window collects the lines from there.
   infectionEffect() starts capturing, infectionUnEffect() stops it. The script may be put
   into the same page more than once: the listeners are added only once. */
(function () {
  var w = window;
  if (w.__tvRecorder) return;
  var rec = { on: false };
  w.__tvRecorder = rec;

  function q(text) {
    return JSON.stringify(String(text));
  }

  function isField(e) {
    return e && e.id === "tv_hidden";
  }

  /* An expression that finds the element again in the same page: by id when it has one that
     is unique, else by name, else by its place among the elements of its tag. */
  function ref(e) {
    var d = e.ownerDocument || document;
    if (e.id && d.getElementById(e.id) === e) return "document.getElementById(" + q(e.id) + ")";
    var name = e.getAttribute && e.getAttribute("name");
    if (name) {
      var named = d.getElementsByName(name);
      for (var i = 0; i < named.length; i++) {
        if (named[i] === e) return "document.getElementsByName(" + q(name) + ")[" + i + "]";
      }
    }
    var tag = e.tagName.toLowerCase();
    var all = d.getElementsByTagName(tag);
    for (var j = 0; j < all.length; j++) {
      if (all[j] === e) return "document.getElementsByTagName(" + q(tag) + ")[" + j + "]";
    }
    return "document.body";
  }

  /* A click that leaves the page (a link, a form sent) writes its line just before the page
     goes, often before the window has collected it. What the field still holds then is kept
     for the next page of the same site, whose recorder puts it back into its own field. */
  var PENDING = "tv_hidden_pending";
  function keepPending() {
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

  var CLICKABLE = { A: 1, BUTTON: 1, AREA: 1, LABEL: 1, SUMMARY: 1 };

  /* The element a click is about: the nearest link, button or element with a click handler
     around the spot, else the spot itself. */
  function clickTarget(e) {
    for (var n = e; n && n.nodeType === 1; n = n.parentNode) {
      if (CLICKABLE[n.tagName] === 1 || n.onclick || n.getAttribute("onclick")) return n;
      if (n.tagName === "INPUT") return n;
      if (n === document.body) break;
    }
    return e;
  }

  function typesText(e) {
    if (e.tagName === "TEXTAREA" || e.tagName === "SELECT") return true;
    if (e.tagName !== "INPUT") return false;
    var t = (e.type || "text").toLowerCase();
    return !(t === "button" || t === "submit" || t === "reset" || t === "image" ||
             t === "checkbox" || t === "radio" || t === "hidden" || t === "file");
  }

  function onClick(ev) {
    if (!rec.on) return;
    var e = ev.target;
    if (!e || e.nodeType !== 1) e = e && e.parentNode;
    if (!e || isField(e)) return;
    e = clickTarget(e);
    /* Clicking into a text box or a list only prepares typing; the value is what counts. */
    if (typesText(e) || e.tagName === "OPTION") return;
    /* A label passes its click on to its control, whose own click is recorded. */
    if (e.tagName === "LABEL" && e.control) return;
    write(ref(e) + ".click();");
  }

  function onChange(ev) {
    if (!rec.on) return;
    var e = ev.target;
    if (!e || e.nodeType !== 1 || isField(e)) return;
    if (e.tagName === "INPUT") {
      var t = (e.type || "text").toLowerCase();
      if (t === "checkbox" || t === "radio") return; /* their click is recorded */
      if (t === "file" || t === "hidden") return;
    }
    if (!typesText(e)) return;
    write(ref(e) + ".value=" + q(e.value) + ";");
  }

  /* On the window, not the document: listeners stay when the window object outlives its
     document (see write). */
  w.addEventListener("click", onClick, true);
  w.addEventListener("change", onChange, true);
  w.addEventListener("pagehide", keepPending, true);
  takePending();

  w.infectionEffect = function () {
    rec.on = true;
  };
  w.infectionUnEffect = function () {
    rec.on = false;
  };
})();
/* The window's two calls, declared as well so that they are page globals however the page
   takes the script; a second run of the script in the same page declares them again. */
function infectionEffect() {
  window.__tvRecorder.on = true;
}
function infectionUnEffect() {
  window.__tvRecorder.on = false;
}
