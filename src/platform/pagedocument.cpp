#include "platform/pagedocument.h"

#include <QEventLoop>
#include <QRandomGenerator>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <memory>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/webbrowser.h"

namespace platform {

namespace pagetext {
QString noPage() {
    return QStringLiteral("没有可用的页面");
}
QString noAnswer() {
    return QStringLiteral("页面没有响应");
}
QString navigated() {
    return QStringLiteral("页面已转到新的文档");
}
QString stale() {
    return QStringLiteral("页面文档已更换");
}
QString crashed() {
    return QStringLiteral("页面进程已结束");
}
QString nullElement() {
    return QStringLiteral("对象为空");
}
QString inDialog() {
    return QStringLiteral("页面正在显示对话框");
}
QString scriptFailed() {
    return QStringLiteral("脚本运行出错");
}
QString noResult() {
    return QStringLiteral("脚本无法执行(语法错误)");
}
QString noLanguage(const QString& language) {
    return QStringLiteral("不支持的脚本语言: %1 (只能运行 JavaScript 脚本)").arg(language);
}
}  // namespace pagetext

bool PageDocument::runsLanguage(const QString& language) {
    // The names under which the engine takes a script element's code as JavaScript.
    static const QStringList names = {
        QStringLiteral("ecmascript"),    QStringLiteral("javascript"),
        QStringLiteral("x-ecmascript"),  QStringLiteral("x-javascript"),
        QStringLiteral("javascript1.0"), QStringLiteral("javascript1.1"),
        QStringLiteral("javascript1.2"), QStringLiteral("javascript1.3"),
        QStringLiteral("javascript1.4"), QStringLiteral("javascript1.5"),
        QStringLiteral("jscript"),       QStringLiteral("livescript")};
    return language.isEmpty() || names.contains(language.toLower());
}

namespace {

const QString kBridgeKey = QStringLiteral("__pageBridge");
int gDefaultTimeout = 3000;
// After a navigation starts, an answer still on its way from the old document gets this long.
constexpr int kNavigationGraceMs = 500;

// The layer's object in the page's own script context, made once per document and kept on the
// document object: a new window's first, empty document hands its window object over to the
// page that follows, and a bridge kept on the window would go on working on the dead one. It
// keeps the elements the program holds handles to (by index), and does the work of each
// operation in one call so that no DOM object ever has to cross over. The profile puts it into
// every document as the document is made, before the page's own scripts run, so what a page
// may replace later (listener methods, Reflect.apply, the console) is taken as the engine
// gave it.
const char* const kBridgeScript = R"JS(
(function (key, texts) {
  'use strict';
  var W = window;
  var doc = document;
  if (Object.prototype.hasOwnProperty.call(doc, key)) return;
  var addL = EventTarget.prototype.addEventListener;
  var remL = EventTarget.prototype.removeEventListener;
  var rapply = Reflect.apply;
  var con = W.console, conLog = con && con.log;
  var crypto = W.crypto, randoms = crypto && crypto.getRandomValues, random = Math.random;
  var els = [], where = new Map(), started = new WeakSet();
  var jsTypes = ['application/ecmascript', 'application/javascript', 'application/x-ecmascript',
    'application/x-javascript', 'text/ecmascript', 'text/javascript', 'text/javascript1.0',
    'text/javascript1.1', 'text/javascript1.2', 'text/javascript1.3', 'text/javascript1.4',
    'text/javascript1.5', 'text/jscript', 'text/livescript', 'text/x-ecmascript',
    'text/x-javascript'];
  var canon = Object.create(null);
  ['id', 'className', 'innerHTML', 'type', 'value', 'styleSheet.cssText', 'language', 'src',
   'text'].forEach(function (n) { canon[n.toLowerCase()] = n; });

  function Failure(message) { this.message = message; }
  function describe(e) {
    if (e instanceof Failure) return e.message;
    if (e && typeof e === 'object' && 'message' in e) {
      var m = String(e.message);
      return e.name && e.name !== 'Error' ? String(e.name) + ': ' + m : m;
    }
    return String(e);
  }
  function isJsLanguage(lang) {
    if (lang === null || lang === undefined || lang === '') return true;
    return jsTypes.indexOf(('text/' + lang).toLowerCase()) >= 0;
  }
  function reg(e) {
    if (e === null || e === undefined) return -1;
    var i = where.get(e);
    if (i === undefined) { i = els.length; els[i] = e; where.set(e, i); }
    return i;
  }
  function at(i) {
    var e = els[i];
    if (e === null || e === undefined) throw new Failure(texts.nullElement);
    return e;
  }
  function swap(i, from, to) { where.delete(from); els[i] = to; where.set(to, i); }
  function isTag(e, tag) { return !!e && e.nodeType === 1 && String(e.localName).toLowerCase() === tag; }
  function freshScript(old, text) {
    var n = doc.createElement('script');
    var a = old.attributes;
    for (var k = 0; k < a.length; ++k) n.setAttribute(a[k].name, a[k].value);
    n.text = text;
    return n;
  }
  // Inline scripts run while they are inserted, and Chromium reports their syntax and run-time
  // errors on the window at that moment: catch the first one and make it this call's failure.
  function guarded(fn) {
    var first = null;
    var h = function (ev) {
      if (ev.target === W && first === null) first = String(ev.message || ev.error || 'Script error.');
    };
    rapply(addL, W, ['error', h, true]);
    try { fn(); } finally { rapply(remL, W, ['error', h, true]); }
    if (first !== null) throw new Failure(first);
  }
  // Whether the engine itself runs s as a classic script when it goes in: no src, and a
  // JavaScript type, or no type and a JavaScript language (or none).
  function classicJs(s) {
    if (s.hasAttribute('src')) return false;
    var type = s.getAttribute('type');
    if (type !== null) return type === '' || jsTypes.indexOf(type.trim().toLowerCase()) >= 0;
    return isJsLanguage(s.getAttribute('language'));
  }
  // Inserts a script element. A page whose security policy forbids inline scripts takes the
  // element without running it; a mark of one line, run just before in a script of its own at
  // the same place, tells, and the text is handed back (Blocked) for the caller to run through
  // the engine's own entry, which that policy does not cover. The text itself goes in as given,
  // so that an error in it is reported against what the caller wrote.
  var ran = false;
  function Blocked(code) { this.code = code; }
  // A script element given code in a language that no engine here runs ("VBScript") goes in,
  // but the caller learns that its code did not run.
  function refusedLanguage(s) {
    if (s.hasAttribute('src') || s.getAttribute('type') !== null || s.text === '') return null;
    var lang = s.getAttribute('language');
    return isJsLanguage(lang) ? null : lang;
  }
  function noLanguage(lang) { return texts.noLanguage[0] + lang + texts.noLanguage[1]; }
  function runsInline(place) {
    var mark = doc.createElement('script');
    mark.text = 'document[\'' + key + '\'].ran();';
    ran = false;
    try { place.appendChild(mark); } finally { if (mark.parentNode) mark.parentNode.removeChild(mark); }
    return ran;
  }
  function insertScript(s, place, insert) {
    if (!classicJs(s)) {
      guarded(insert);
      var refused = refusedLanguage(s);
      if (refused !== null) throw new Failure(noLanguage(refused));
      return;
    }
    var inline = runsInline(place);
    guarded(insert);
    if (!inline) throw new Blocked(s.text);
  }
  function scriptText(i, e, text) {
    if (!e.isConnected) {
      if (!started.has(e)) { e.text = text; return; }
      var d = freshScript(e, text);
      swap(i, e, d);
      if (e.parentNode) e.parentNode.replaceChild(d, e);
      return;
    }
    // A script element runs only once; a fresh copy in its place runs the new text and keeps
    // the id, language and other attributes.
    var n = freshScript(e, text);
    swap(i, e, n);
    var p = e.parentNode;
    started.add(n);
    insertScript(n, p, function () { p.replaceChild(n, e); });
  }
  // A page whose security policy forbids inline styles leaves the style elements and style
  // attributes that the program adds without effect. Style sheets built through the CSSOM are
  // outside that policy: the text of a refused style element goes into an adopted sheet of its
  // own (after the document's sheets, as at the end of the head), and a refused style
  // attribute is set again through the element's style object.
  var Sheet = W.CSSStyleSheet, adopted = new WeakMap();
  function adopt(s) {
    if (!Sheet) return;
    var sheet = adopted.get(s);
    try {
      if (!sheet) {
        sheet = new Sheet();
        adopted.set(s, sheet);
        doc.adoptedStyleSheets = doc.adoptedStyleSheets.concat([sheet]);
      }
      sheet.replaceSync(s.textContent);
    } catch (e) {}
  }
  function restyle(root) {
    if (!root || root.nodeType !== 1 || !root.isConnected) return;
    var styles = isTag(root, 'style') ? [root] : root.getElementsByTagName('style');
    for (var i = 0; i < styles.length; ++i)
      if (!styles[i].sheet || adopted.has(styles[i])) adopt(styles[i]);
    var styled = [].slice.call(root.querySelectorAll('[style]'));
    if (root.hasAttribute('style')) styled.push(root);
    styled.forEach(function (e) {
      var text = e.getAttribute('style');
      if (e.style && e.style.length === 0 && /\S/.test(text)) e.style.cssText = text;
    });
  }
  function plain(v) {
    if (v === undefined || v === null) return null;
    var t = typeof v;
    if (t === 'string' || t === 'number' || t === 'boolean') return v;
    return String(v);
  }
  function styleText(e) {
    if (isTag(e, 'style')) return e.textContent;
    throw new Failure(texts.noProperty + 'styleSheet.cssText');
  }
  var ops = {
    alive: function () { return true; },
    documentElement: function () { return reg(doc.documentElement); },
    body: function () { return reg(doc.body); },
    byTag: function (tag, i) { return i < 0 ? -1 : reg(doc.getElementsByTagName(tag).item(i)); },
    countTag: function (tag) { return doc.getElementsByTagName(tag).length; },
    byId: function (id) { return reg(doc.getElementById(id)); },
    create: function (tag) { return reg(doc.createElement(tag)); },
    append: function (pi, ci) {
      var p = at(pi), c = at(ci);
      if (isTag(c, 'script') && (started.has(c) || c.isConnected)) {
        var n = freshScript(c, c.text);
        swap(ci, c, n);
        if (c.parentNode) c.parentNode.removeChild(c);
        c = n;
      }
      if (!isTag(c, 'script')) {
        guarded(function () { p.appendChild(c); });
        restyle(c);
        return null;
      }
      started.add(c);
      insertScript(c, p, function () { p.appendChild(c); });
      return null;
    },
    get: function (i, name) {
      var e = at(i), n = canon[String(name).toLowerCase()] || String(name);
      if (n === 'styleSheet.cssText') return styleText(e);
      if (n === 'language') return e.getAttribute('language') || '';
      if (n === 'text' && !('text' in e)) return e.textContent;
      return plain(e[n]);
    },
    set: function (i, name, v) {
      var e = at(i), n = canon[String(name).toLowerCase()] || String(name);
      var s = v === null || v === undefined ? '' : v;
      if (n === 'styleSheet.cssText') {
        styleText(e);
        e.textContent = String(s);
        if (e.isConnected) restyle(e);
        return null;
      }
      if (n === 'language') { e.setAttribute('language', String(s)); return null; }
      if (n === 'text' && isTag(e, 'script')) { scriptText(i, e, String(s)); return null; }
      if (n === 'text' && !('text' in e)) { e.textContent = String(s); return null; }
      e[n] = v;
      return null;
    },
    // Preorder, five entries per node: name, value, flags (1 text node, 2 has attributes),
    // id attribute, number of children. Flat, so no nesting limit of the bridge applies.
    tree: function (i) {
      var out = [], stack = [at(i)], o = 0;
      while (stack.length) {
        var n = stack.pop(), kids = n.childNodes, a = n.attributes, id = '', v = n.nodeValue;
        if (a) { var it = a.getNamedItem('id'); if (it) id = String(it.value); }
        var count = kids ? kids.length : 0;
        out[o++] = String(n.nodeName);
        out[o++] = v === null || v === undefined ? '' : String(v);
        out[o++] = (n.nodeType === 3 ? 1 : 0) | (a ? 2 : 0);
        out[o++] = id;
        out[o++] = count;
        for (var k = count - 1; k >= 0; --k) stack[stack.length] = kids[k];
      }
      return out;
    },
    html: function (i, markup) {
      var e = at(i);
      e.innerHTML = e.innerHTML + markup;
      return null;
    },
    fail: function (message) { throw new Failure(message); },
    // A word to the program, which hears it while the call is still under way.
    mark: function (word) { if (conLog) rapply(conLog, con, [word]); return null; },
    // Steps [op, group, strict, args, positions of the args that name an earlier step], run
    // from step `from` on; vals holds each step's element (-1 for none). Stops at script text
    // that the page's policy blocked, for the caller to run it and go on after it.
    batch: function (steps, from, vals, deadGroups) {
      var out = [], dead = Object.create(null), k, r;
      for (k = 0; k < deadGroups.length; ++k) dead[deadGroups[k]] = true;
      for (k = from; k < steps.length; ++k) {
        var s = steps[k], group = s[1], a = s[3].slice(), refs = s[4];
        vals[k] = -1;
        if (dead[group]) { out[out.length] = [4]; continue; }
        for (r = 0; r < refs.length; ++r) {
          var v = vals[a[refs[r]]];
          a[refs[r]] = typeof v === 'number' ? v : -1;
        }
        try {
          var res = rapply(ops[s[0]], null, a);
          if (typeof res === 'number') vals[k] = res;
          out[out.length] = [1, res === undefined ? null : res];
        } catch (e) {
          if (e instanceof Blocked) { out[out.length] = [3, e.code]; return out; }
          out[out.length] = [0, describe(e)];
          if (s[2]) dead[group] = true;
        }
      }
      return out;
    },
    exec: function (code, lang) {
      if (!isJsLanguage(lang)) throw new Failure(noLanguage(lang));
      var host = doc.head || doc.body || doc.documentElement;
      if (!host) throw new Failure(texts.noBody);
      var s = doc.createElement('script');
      s.text = code;
      try { insertScript(s, host, function () { host.appendChild(s); }); }
      finally { if (s.parentNode) s.parentNode.removeChild(s); }
      return null;
    }
  };
  // The document's generation, made by the first handle that binds and kept for the
  // document's life: 48 random bits, so that no two documents share one.
  function newGeneration() {
    var a = new Uint32Array(2);
    if (randoms) rapply(randoms, crypto, [a]);
    else { a[0] = rapply(random, Math, []) * 4294967296; a[1] = rapply(random, Math, []) * 65536; }
    return a[0] * 65536 + (a[1] & 0xffff) + 1;
  }
  // Frozen: a page, whose scripts all come after it, cannot stand in for any of it.
  var gen = 0;
  var bridge = Object.freeze({
    get gen() { return gen; },
    bind: function () { if (!gen) gen = newGeneration(); return gen; },
    describe: describe,
    ran: function () { ran = true; },
    run: function (op, args) {
      try { return [1, rapply(ops[op], null, args)]; } catch (e) {
        return e instanceof Blocked ? [3, e.code] : [0, describe(e)];
      }
    }
  });
  Object.defineProperty(doc, key, { value: bridge, enumerable: false, configurable: false, writable: false });
})
)JS";

void appendLiteral(QString& out, const QVariant& v);

// Whether c goes into a string literal as it is: not a control character, quote or backslash,
// line separator or surrogate half (a pair is let through whole).
bool plainChar(char16_t c) {
    if (c < 0x80) return c >= 0x20 && c != u'"' && c != u'\\';
    return (c & 0xFFFE) != 0x2028 && (c & 0xF800) != 0xD800;
}

// The number of characters from p on that go in as they are. A box's code is megabytes of
// them: eight are looked at at once.
qsizetype plainRun(const char16_t* p, const char16_t* end) {
    const char16_t* q = p;
#ifdef __SSE2__
    const __m128i control = _mm_set1_epi16(0x1F), quote = _mm_set1_epi16(u'"'),
                  backslash = _mm_set1_epi16(u'\\'), separatorBits = _mm_set1_epi16(short(0xFFFE)),
                  separator = _mm_set1_epi16(0x2028), surrogateBits = _mm_set1_epi16(short(0xF800)),
                  surrogate = _mm_set1_epi16(short(0xD800)), zero = _mm_setzero_si128();
    for (; end - q >= 8; q += 8) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        __m128i escaped = _mm_cmpeq_epi16(_mm_subs_epu16(c, control), zero);
        escaped = _mm_or_si128(escaped, _mm_cmpeq_epi16(c, quote));
        escaped = _mm_or_si128(escaped, _mm_cmpeq_epi16(c, backslash));
        escaped =
            _mm_or_si128(escaped, _mm_cmpeq_epi16(_mm_and_si128(c, separatorBits), separator));
        escaped =
            _mm_or_si128(escaped, _mm_cmpeq_epi16(_mm_and_si128(c, surrogateBits), surrogate));
        if (const int found = _mm_movemask_epi8(escaped))
            return (q - p) + (__builtin_ctz(found) >> 1);
    }
#endif
    while (q < end && plainChar(*q)) ++q;
    return q - p;
}

// A text as a JavaScript string literal, written straight into out: runs of characters that
// need no escape go in whole.
void appendStringLiteral(QString& out, QStringView text) {
    static const char hex[] = "0123456789abcdef";
    out += u'"';
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    while (p < end) {
        const qsizetype run = plainRun(p, end);
        out.append(QStringView(p, run));
        p += run;
        if (p == end) break;
        const char16_t c = *p++;
        if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p)) {
            out += QChar(c);
            out += QChar(*p++);
            continue;
        }
        switch (c) {
            case u'"':
                out += QLatin1String("\\\"");
                break;
            case u'\\':
                out += QLatin1String("\\\\");
                break;
            case u'\n':
                out += QLatin1String("\\n");
                break;
            case u'\r':
                out += QLatin1String("\\r");
                break;
            case u'\t':
                out += QLatin1String("\\t");
                break;
            default: {
                // Other control characters, the two line separators and a lone surrogate half.
                const char escape[] = {
                    '\\',       'u', hex[(c >> 12) & 15], hex[(c >> 8) & 15], hex[(c >> 4) & 15],
                    hex[c & 15]};
                out += QLatin1String(escape, 6);
            }
        }
    }
    out += u'"';
}

void appendListLiteral(QString& out, const QVariantList& list) {
    out += u'[';
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i) out += u',';
        appendLiteral(out, list.at(i));
    }
    out += u']';
}

// Texts, numbers, booleans, null, and lists and maps of them, as JSON would write them.
void appendLiteral(QString& out, const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::QString:
            appendStringLiteral(out, v.toString());
            return;
        case QMetaType::Bool:
            out += v.toBool() ? QLatin1String("true") : QLatin1String("false");
            return;
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::LongLong:
        case QMetaType::Long:
            out += QString::number(v.toLongLong());
            return;
        case QMetaType::UInt:
        case QMetaType::UShort:
        case QMetaType::ULongLong:
        case QMetaType::ULong:
            out += QString::number(v.toULongLong());
            return;
        case QMetaType::Double:
        case QMetaType::Float: {
            const double d = v.toDouble();
            out += qIsFinite(d) ? QString::number(d, 'g', 17) : QStringLiteral("null");
            return;
        }
        case QMetaType::QVariantList:
            appendListLiteral(out, v.toList());
            return;
        case QMetaType::QStringList: {
            out += u'[';
            const QStringList list = v.toStringList();
            for (qsizetype i = 0; i < list.size(); ++i) {
                if (i) out += u',';
                appendStringLiteral(out, list.at(i));
            }
            out += u']';
            return;
        }
        case QMetaType::QVariantMap: {
            out += u'{';
            const QVariantMap map = v.toMap();
            bool first = true;
            for (auto it = map.cbegin(); it != map.cend(); ++it) {
                if (!first) out += u',';
                first = false;
                appendStringLiteral(out, it.key());
                out += u':';
                appendLiteral(out, it.value());
            }
            out += u'}';
            return;
        }
        default:
            if (v.isNull() || !v.canConvert<QString>())
                out += QLatin1String("null");
            else
                appendStringLiteral(out, v.toString());
    }
}

// Characters of text in v, to size the source that carries it before it is written.
qsizetype textSize(const QVariant& v) {
    if (v.typeId() == QMetaType::QString) return v.toString().size();
    if (v.typeId() != QMetaType::QVariantList) return 8;
    qsizetype n = 2;
    for (const QVariant& item : v.toList()) n += textSize(item) + 1;
    return n;
}

QString jsonArgs(const QVariantList& args) {
    QString out;
    appendListLiteral(out, args);
    return out;
}

QString jsonString(const QString& s) {
    QString out;
    appendStringLiteral(out, s);
    return out;
}

struct Pending {
    bool done = false;
    QVariant value;
    QEventLoop* loop = nullptr;
};

// One bounded round trip. The callback's state is shared, never on this stack: an answer that
// comes after the wait has given up lands in a state nobody reads any more.
PageResult roundTrip(WebPage* page, const QString& source, int timeoutMs, bool* blocked = nullptr,
                     QString* blockedCode = nullptr, QVariantList* raw = nullptr,
                     const QString* prelude = nullptr, bool* noBridge = nullptr) {
    PageResult r;
    if (!page) {
        r.error = pagetext::noPage();
        return r;
    }
    if (page->isUnresponsive()) {
        r.error = pagetext::noAnswer();
        return r;
    }
    // While the page's dialog is up its script waits for it, and this call's wait would sit
    // on top of the dialog's own loop, which could then never return: give up at once.
    const int dialogsBefore = page->dialogDepth();
    if (dialogsBefore > 0) {
        r.error = pagetext::inDialog();
        return r;
    }
    auto st = std::make_shared<Pending>();
    QPointer<WebPage> guard(page);
    // Sent right before the call and run by the page right before it, with no wait between.
    if (prelude) page->runJavaScript(*prelude, QWebEngineScript::MainWorld);
    page->runJavaScript(source, QWebEngineScript::MainWorld, [st, guard](const QVariant& v) {
        st->done = true;
        st->value = v;
        if (st->loop) st->loop->quit();
        // A page being destroyed hands pending calls an invalid value: it is no answer.
        if (guard && v.isValid()) guard->noteAnswer();
    });
    if (!st->done) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QString failure;
        bool navigated = false;
        QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
            // The page is waiting for the user (alert, confirm): the bound starts afresh.
            if (guard && guard->dialogDepth() > dialogsBefore) {
                timer.start(timeoutMs);
                return;
            }
            failure = navigated ? pagetext::navigated() : pagetext::noAnswer();
            loop.quit();
        });
        QObject::connect(page, &QObject::destroyed, &loop, [&] {
            failure = pagetext::noPage();
            loop.quit();
        });
        QObject::connect(page, &QWebEnginePage::renderProcessTerminated, &loop, [&] {
            failure = pagetext::crashed();
            loop.quit();
        });
        QObject::connect(page, &QWebEnginePage::loadStarted, &loop, [&] {
            navigated = true;
            if (timer.remainingTime() > kNavigationGraceMs) timer.start(kNavigationGraceMs);
        });
        // A load that ends during the wait started before the call, and its document may
        // have taken the place of the one asked, which then never answers: that page has
        // moved on and is not stuck. The call still has its whole bound, as the document
        // asked may be the one that just finished loading.
        QObject::connect(page, &QWebEnginePage::loadFinished, &loop, [&] { navigated = true; });
        st->loop = &loop;
        timer.start(timeoutMs);
        WebPage::enterWait();
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        WebPage::leaveWait();
        st->loop = nullptr;
        if (!st->done) {
            if (guard && failure == pagetext::noAnswer()) guard->markUnresponsive();
            r.error = failure.isEmpty() ? pagetext::noAnswer() : failure;
            return r;
        }
    }
    const QVariantList list = st->value.toList();
    if (raw) *raw = list;
    if (list.isEmpty()) {
        // Every call returns an array. Nothing comes back when the page went away meanwhile,
        // or when the source did not compile (only an expression given to evaluate() can).
        r.error = guard ? pagetext::noResult() : pagetext::noPage();
        return r;
    }
    const int status = list.value(0).toInt();
    if (status == 1) {
        r.ok = true;
        r.value = list.value(1);
    } else if (status == 2) {
        r.error = pagetext::stale();
    } else if (status == 3 && blocked && blockedCode) {
        *blocked = true;
        *blockedCode = list.value(1).toString();
    } else if (status == 5) {
        if (noBridge) *noBridge = true;
        r.error = pagetext::noPage();
    } else {
        r.error = list.value(1).toString();
    }
    return r;
}

// A bridge operation; script text that the page's policy kept from running goes in once more
// as a script of its own, at global scope. A failure there comes without the page's words: the
// engine mutes the description of errors of such scripts.
PageResult bridgeCall(WebPage* page, const QString& source, int timeoutMs,
                      QVariantList* raw = nullptr, const QString* prelude = nullptr,
                      bool* noBridge = nullptr) {
    bool blocked = false;
    QString code;
    PageResult r = roundTrip(page, source, timeoutMs, &blocked, &code, raw, prelude, noBridge);
    if (!blocked) return r;
    r = roundTrip(page, code + QStringLiteral("\n;[1]"), timeoutMs);
    if (r.ok) r.value = QVariant();
    if (!r.ok && r.error == pagetext::noResult()) r.error = pagetext::scriptFailed();
    return r;
}

// The source of one bridge operation: before, B.run with the operation and its arguments as
// literals, after. Written once, into room made for it first: a box's code may be megabytes.
QString runSource(const QString& before, const QString& op, const QVariantList& args,
                  QLatin1String after) {
    QString out;
    const qsizetype text = textSize(QVariant(args));
    // Code as people write it grows by its escapes (a line end is four characters) by less
    // than an eighth; more only costs the string a move.
    out.reserve(before.size() + op.size() + text + text / 8 + after.size() + 32);
    out += before;
    out += QLatin1String("B.run(");
    appendStringLiteral(out, op);
    out += u',';
    appendListLiteral(out, args);
    out += u')';
    out += after;
    return out;
}

QString opSource(qint64 token, const QString& op, const QVariantList& args) {
    return runSource(QStringLiteral("(function(){var B=document[%1];if(!B||B.gen!==%2)return [2];"
                                    "return ")
                         .arg(jsonString(kBridgeKey), QString::number(token)),
                     op, args, QLatin1String(";})()"));
}

int effectiveTimeout(int ms) {
    return ms > 0 ? ms : gDefaultTimeout;
}

}  // namespace

// ---------------------------------------------------------------- PageDocument

void PageDocument::setDefaultTimeout(int ms) {
    gDefaultTimeout = ms > 0 ? ms : 3000;
}
int PageDocument::defaultTimeout() {
    return gDefaultTimeout;
}

namespace {

// The script that installs the bridge in a document. The profile runs it in every document
// as the document is made; the same text goes in by hand where that did not happen, so the
// engine compiles it once per page process.
const QString& installScript() {
    static const QString source = [] {
        const QString marker = QStringLiteral("\x01");
        const QStringList languageText = pagetext::noLanguage(marker).split(marker);
        const QString texts =
            QStringLiteral("{nullElement:%1,noProperty:%2,noLanguage:%3,noBody:%4}")
                .arg(jsonString(pagetext::nullElement()),
                     jsonString(QStringLiteral("对象不支持此属性: ")),
                     jsonArgs({languageText.value(0), languageText.value(1)}),
                     jsonString(QStringLiteral("页面没有可以放脚本的元素")));
        return QStringLiteral("%1(%2,%3);")
            .arg(QString::fromUtf8(kBridgeScript).trimmed(), jsonString(kBridgeKey), texts);
    }();
    return source;
}

// Opening of a call that binds a handle to the document's generation. Without a bridge the
// call says so (5). The same work gives the same source: the engine compiles a source it has
// seen once only, which counts for a box's code of megabytes dressing page after page.
QString bindOpening() {
    return QStringLiteral("var B=document[%1];if(!B)return [5];var g=B.bind();")
        .arg(jsonString(kBridgeKey));
}

// A call that binds a handle. A document that was made without the profile's scripts (a
// window that a page opened and wrote itself) has no bridge: it goes in then, and the call
// once more behind it.
PageResult bindingCall(WebPage* page, const QString& source, int timeoutMs,
                       QVariantList* raw = nullptr) {
    bool noBridge = false;
    const PageResult r = bridgeCall(page, source, timeoutMs, raw, nullptr, &noBridge);
    if (!noBridge) return r;
    return bridgeCall(page, source, timeoutMs, raw, &installScript());
}

}  // namespace

void PageDocument::installBridge(QWebEngineProfile* profile) {
    QWebEngineScript bridge;
    bridge.setName(kBridgeKey);
    bridge.setInjectionPoint(QWebEngineScript::DocumentCreation);
    // Beside the page's own scripts, where every call runs; page calls go to the top-level
    // document only.
    bridge.setWorldId(QWebEngineScript::MainWorld);
    bridge.setRunsOnSubFrames(false);
    bridge.setSourceCode(installScript());
    profile->scripts()->insert(bridge);
}

PageDocument PageDocument::of(WebPage* page, PageResult* result) {
    PageDocument doc;
    const QString source = QStringLiteral("(function(){%1return [1,g];})()").arg(bindOpening());
    PageResult r = bindingCall(page, source, gDefaultTimeout);
    if (r.ok) {
        doc.page_ = page;
        doc.token_ = r.value.toLongLong();
        if (doc.token_ == 0) {
            r.ok = false;
            r.error = pagetext::noPage();
        }
    }
    if (result) *result = r;
    if (r.ok) return doc;
    // The handle that failed tells why (a page that does not answer is not a missing page).
    PageDocument failed;
    failed.failure_ = r.error;
    return failed;
}

QString PageDocument::failure() const {
    return failure_.isEmpty() ? pagetext::noPage() : failure_;
}

PageDocument PageDocument::onFirstCall(WebPage* page) {
    PageDocument doc;
    if (!page) return doc;
    doc.page_ = page;
    doc.pending_ = std::make_shared<qint64>(0);
    return doc;
}

qint64 PageDocument::token() const {
    return pending_ ? *pending_ : token_;
}

bool PageDocument::isNull() const {
    return !pending_ && token_ == 0;
}

PageResult PageDocument::call(const QString& op, const QVariantList& args) const {
    if (isNull() || !page_) {
        PageResult r;
        r.error = isNull() ? failure() : pagetext::noPage();
        return r;
    }
    if (pending_ && *pending_ == 0) {
        // Bound here: the operation runs in the same round trip, and the generation travels
        // back behind the operation's own answer.
        const QString source =
            runSource(QStringLiteral("(function(){%1var r=").arg(bindOpening()), op, args,
                      QLatin1String(";r[r.length<2?2:r.length]=g;return r;})()"));
        QVariantList raw;
        const PageResult r = bindingCall(page_, source, effectiveTimeout(timeoutMs_), &raw);
        if (raw.size() >= 3) *pending_ = raw.last().toLongLong();
        return r;
    }
    return bridgeCall(page_, opSource(token(), op, args), effectiveTimeout(timeoutMs_));
}

PageElement PageDocument::element(const PageResult& r) const {
    PageElement e;
    if (!r.ok) return e;
    e.page_ = page_;
    e.token_ = token();
    e.timeoutMs_ = timeoutMs_;
    e.index_ = r.value.toInt();
    if (e.index_ < 0) e.index_ = -1;
    return e;
}

static PageElement deliver(const PageElement& e, const PageResult& r, PageResult* out) {
    if (out) *out = r;
    return e;
}

bool PageDocument::isValid() const {
    return call(QStringLiteral("alive"), {}).ok;
}

PageElement PageDocument::body(PageResult* result) const {
    const PageResult r = call(QStringLiteral("body"), {});
    return deliver(element(r), r, result);
}

PageElement PageDocument::documentElement(PageResult* result) const {
    const PageResult r = call(QStringLiteral("documentElement"), {});
    return deliver(element(r), r, result);
}

PageElement PageDocument::getElementsByTagName(const QString& tag, int index,
                                               PageResult* result) const {
    const PageResult r = call(QStringLiteral("byTag"), {tag, index});
    return deliver(element(r), r, result);
}

int PageDocument::countElementsByTagName(const QString& tag, PageResult* result) const {
    const PageResult r = call(QStringLiteral("countTag"), {tag});
    if (result) *result = r;
    return r.ok ? r.value.toInt() : 0;
}

PageElement PageDocument::getElementById(const QString& id, PageResult* result) const {
    const PageResult r = call(QStringLiteral("byId"), {id});
    return deliver(element(r), r, result);
}

PageElement PageDocument::createElement(const QString& tag, PageResult* result) const {
    const PageResult r = call(QStringLiteral("create"), {tag});
    return deliver(element(r), r, result);
}

PageResult PageDocument::execScript(const QString& code, const QString& language) const {
    return call(QStringLiteral("exec"), {code, language});
}

QVariant PageDocument::evaluate(const QString& expression, PageResult* result) const {
    PageResult r;
    if (pending_ && *pending_ == 0) call(QStringLiteral("alive"), {});
    if (token() == 0 || !page_) {
        r.error = token() == 0 ? failure() : pagetext::noPage();
    } else {
        const QString source =
            QStringLiteral(
                "(function(){var B=document[%1];if(!B||B.gen!==%2)return [2];"
                "try{return [1,(%3\n)];}catch(e){return [0,B.describe(e)];}})()")
                .arg(jsonString(kBridgeKey), QString::number(token()), expression);
        r = roundTrip(page_, source, effectiveTimeout(timeoutMs_));
    }
    if (result) *result = r;
    return r.value;
}

// ---------------------------------------------------------------- PageBatch

PageBatch::PageBatch(const PageDocument& document) : document_(document) {}

int PageBatch::add(const QString& op, const QVariantList& args, const QList<int>& refs) {
    QVariantList positions;
    for (const int r : refs) positions << r;
    steps_ << QVariant(QVariantList{op, group_, strict_, args, positions});
    return int(steps_.size()) - 1;
}

int PageBatch::body() {
    return add(QStringLiteral("body"), {});
}
int PageBatch::getElementsByTagName(const QString& tag, int index) {
    return add(QStringLiteral("byTag"), {tag, index});
}
int PageBatch::createElement(const QString& tag) {
    return add(QStringLiteral("create"), {tag});
}
int PageBatch::setProperty(int element, const QString& name, const QVariant& value) {
    return add(QStringLiteral("set"), {element, name, value}, {0});
}
int PageBatch::appendChild(int parent, int child) {
    return add(QStringLiteral("append"), {parent, child}, {0, 1});
}
int PageBatch::appendHtml(int element, const QString& markup) {
    return add(QStringLiteral("html"), {element, markup}, {0});
}
int PageBatch::fail(const QString& description) {
    return add(QStringLiteral("fail"), {description});
}
// The page's words for the marks of a batch come as console lines (see WebPage::callProgress).
// Each batch has its own, which the page's own lines cannot match.
int PageBatch::mark() {
    if (markWord_.isEmpty())
        markWord_ = WebPage::progressPrefix() +
                    QString::number(QRandomGenerator::system()->generate64(), 36) + u':';
    beginGroup(false);
    const int step = add(QStringLiteral("mark"), {markWord_ + QString::number(size())});
    marks_ << step;
    return step;
}

void PageBatch::beginGroup(bool strict) {
    ++group_;
    strict_ = strict;
}

PageResult PageBatch::result(int step) const {
    return results_.value(step);
}

bool PageBatch::ran(int step) const {
    return ran_.value(step, false);
}

void PageBatch::run(const std::function<void(int mark)>& reached) {
    qsizetype told = 0;
    auto tellUpTo = [&](int step) {
        for (; told < marks_.size() && marks_.at(told) <= step; ++told)
            if (reached) reached(marks_.at(told));
    };
    // The words come while the batch waits for the page; none is heard after run() is over.
    QMetaObject::Connection words;
    if (reached && !marks_.isEmpty() && document_.page_) {
        words = QObject::connect(
            document_.page_, &WebPage::callProgress, document_.page_, [&](const QString& word) {
                if (!word.startsWith(markWord_)) return;
                bool number = false;
                const int step = QStringView(word).mid(markWord_.size()).toInt(&number);
                if (number && marks_.contains(step)) tellUpTo(step);
            });
    }
    send();
    QObject::disconnect(words);
    tellUpTo(size());
}

void PageBatch::send() {
    const int n = size();
    results_ = QList<PageResult>(n);
    ran_ = QList<bool>(n, false);
    trips_ = 0;
    if (n == 0) return;
    QVariantList vals;
    vals.reserve(n);
    for (int k = 0; k < n; ++k) vals << -1;
    QVariantList deadGroups;
    auto markFailed = [&](int k, const QString& error) {
        results_[k].ok = false;
        results_[k].error = error;
        ran_[k] = true;
        const QVariantList step = steps_.at(k).toList();
        if (step.value(2).toBool() && !deadGroups.contains(step.value(1)))
            deadGroups << step.value(1);
    };
    int from = 0;
    while (from < n) {
        ++trips_;
        const PageResult r =
            document_.call(QStringLiteral("batch"), {steps_, from, vals, deadGroups});
        if (!r.ok) {
            // The page did not take the batch at all: every step left fails alike.
            for (int k = from; k < n; ++k) {
                results_[k].error = r.error;
                ran_[k] = true;
            }
            return;
        }
        const QVariantList out = r.value.toList();
        int next = n;
        for (int i = 0; i < out.size() && from + i < n; ++i) {
            const int k = from + i;
            const QVariantList o = out.at(i).toList();
            const int status = o.value(0).toInt();
            if (status == 1) {
                results_[k].ok = true;
                results_[k].value = o.value(1);
                ran_[k] = true;
                const int type = o.value(1).typeId();
                if (type == QMetaType::Double || type == QMetaType::Int ||
                    type == QMetaType::LongLong)
                    vals[k] = o.value(1).toInt();
            } else if (status == 0) {
                markFailed(k, o.value(1).toString());
            } else if (status == 3) {
                // The page's policy kept the script from running: it goes in once more as a
                // script of its own, at global scope, before anything after it.
                ++trips_;
                PageResult b =
                    roundTrip(document_.page_, o.value(1).toString() + QStringLiteral("\n;[1]"),
                              effectiveTimeout(document_.timeoutMs_));
                if (b.ok) {
                    results_[k].ok = true;
                    ran_[k] = true;
                } else {
                    markFailed(
                        k, b.error == pagetext::noResult() ? pagetext::scriptFailed() : b.error);
                }
                next = k + 1;
                break;
            }
            // status 4: the step's strict group had ended; it did not run.
        }
        if (next == n && from + out.size() < n) {
            // An answer shorter than the steps sent, which the page's own code cannot give:
            // the steps it did not report on did not happen.
            for (int k = from + int(out.size()); k < n; ++k) markFailed(k, pagetext::noResult());
        }
        from = next;
    }
}

// ---------------------------------------------------------------- PageElement

PageResult PageElement::call(const QString& op, const QVariantList& args) const {
    PageResult r;
    if (!page_ || token_ == 0) {
        r.error = pagetext::noPage();
        return r;
    }
    if (isNull()) {
        r.error = pagetext::nullElement();
        return r;
    }
    QVariantList all{index_};
    all += args;
    return bridgeCall(page_, opSource(token_, op, all), effectiveTimeout(timeoutMs_));
}

PageDocument PageElement::document() const {
    PageDocument d;
    d.page_ = page_;
    d.token_ = token_;
    d.timeoutMs_ = timeoutMs_;
    return d;
}

PageResult PageElement::appendChild(const PageElement& child) const {
    if (!child.isNull() && (child.page_ != page_ || child.token_ != token_)) {
        PageResult r;
        r.error = pagetext::stale();
        return r;
    }
    if (child.isNull()) {
        PageResult r;
        r.error = pagetext::nullElement();
        return r;
    }
    return call(QStringLiteral("append"), {child.index_});
}

QVariant PageElement::getProperty(const QString& name, PageResult* result) const {
    const PageResult r = call(QStringLiteral("get"), {name});
    if (result) *result = r;
    return r.value;
}

QString PageElement::getText(const QString& name, PageResult* result) const {
    const QVariant v = getProperty(name, result);
    return v.isNull() ? QString() : v.toString();
}

PageResult PageElement::setProperty(const QString& name, const QVariant& value) const {
    return call(QStringLiteral("set"), {name, value});
}

DomNode PageElement::domTree(PageResult* result) const {
    PageResult r = call(QStringLiteral("tree"), {});
    DomNode root;
    if (r.ok) {
        const QVariantList flat = r.value.toList();
        // Rebuild from the preorder list without recursion: a stack of (node, children left).
        struct Open {
            DomNode* node;
            int left;
        };
        QList<Open> open;
        int i = 0;
        auto take = [&](DomNode& n) {
            n.nodeName = flat.value(i).toString();
            n.nodeValue = flat.value(i + 1).toString();
            const int flags = flat.value(i + 2).toInt();
            n.isText = flags & 1;
            n.hasAttributes = flags & 2;
            n.id = flat.value(i + 3).toString();
            const int count = flat.value(i + 4).toInt();
            i += 5;
            return count;
        };
        if (flat.size() >= 5) {
            const int count = take(root);
            root.children.reserve(count);
            open.append({&root, count});
            while (!open.isEmpty() && i + 5 <= flat.size()) {
                Open& top = open.last();
                if (top.left == 0) {
                    open.removeLast();
                    continue;
                }
                --top.left;
                // Children are reserved up front, so pointers to them stay put.
                top.node->children.append(DomNode());
                DomNode& child = top.node->children.last();
                const int n = take(child);
                child.children.reserve(n);
                if (n > 0) open.append({&child, n});
            }
        }
        r.value = QVariant();
    }
    if (result) *result = r;
    return root;
}

}  // namespace platform
