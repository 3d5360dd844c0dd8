#include <algorithm>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTimer>
#include <QWebEngineView>
#include <memory>

#include "library/base64.h"
#include "livepage/recordwndform.h"
#include "platform/dialogs.h"
#include "platform/webbrowser.h"
#include "support/testenv.h"
#include "support/testserver.h"

using platform::BrowserArray;
using platform::WebBrowser;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

const QByteArray kFormPage =
    "<html><body><input id=\"kw\" type=\"text\"><input name=\"q\" type=\"text\">"
    "<button id=\"go\" type=\"button\">go</button>"
    "<a id=\"next\" href=\"/next.html\">next</a></body></html>";
const QByteArray kNextPage =
    "<html><body><button id=\"again\" type=\"button\">again</button></body></html>";

// Every page below offers state(): what a user would check at the end of the flow.
const QByteArray kStyle =
    "<meta charset=\"utf-8\"><style>body{font:14px sans-serif;margin:8px}"
    "input,select,textarea,button{display:block;margin:4px;width:220px;height:24px}"
    "li{cursor:pointer;height:22px}</style>";

// A form whose controls have ids, names, placeholders, labels or nothing at all.
const QByteArray kMixedForm =
    "<!DOCTYPE html><html><head>" + kStyle +
    "</head><body><div class=\"wrap\"><p id=\"intro\">请填写</p><form id=\"f\" "
    "onsubmit=\"return false\">"
    "<input id=\"user\" type=\"text\"><input name=\"city\" type=\"text\">"
    "<input placeholder=\"电话\" type=\"text\"><textarea aria-label=\"备注\"></textarea>"
    "<div><span><input type=\"text\" class=\"plain\"></span></div>"
    "<select id=\"size\"><option value=\"s\">S</option><option value=\"m\">M</option>"
    "<option value=\"l\">L</option></select><input type=\"checkbox\" name=\"agree\">"
    "<button type=\"button\" onclick=\"clicked('保存')\">保存</button>"
    "<input type=\"button\" value=\"检查\" onclick=\"clicked('检查')\"></form>"
    "<div id=\"out\"></div></div><script>var clicks=[];function clicked(n){clicks.push(n);"
    "document.getElementById('out').textContent=clicks.join(',');}"
    "function state(){var f=document.forms[0];return JSON.stringify({user:f.user.value,"
    "city:f.city.value,tel:document.querySelector('[placeholder]').value,"
    "note:document.querySelector('textarea').value,plain:document.querySelector('.plain')"
    ".value,size:f.size.value,agree:f.agree.checked,clicks:clicks});}</script></body></html>";

// Controls whose values reach the page's model only through input and change events, as
// pages built on a UI framework keep them; the box starts with a default the user replaces.
const QByteArray kModelPage =
    "<!DOCTYPE html><html><head>" + kStyle +
    "</head><body><input id=\"address\" value=\"http://default/\">"
    "<select name=\"kind\"><option>GET</option><option>POST</option></select>"
    "<label><input type=\"checkbox\" id=\"pretty\"><span>美化</span></label>"
    "<button id=\"send\" type=\"button\">发送</button><pre id=\"out\"></pre><script>"
    "var model={address:'http://default/',kind:'GET',pretty:false};"
    "document.getElementById('address').addEventListener('input',"
    "function(e){model.address=e.target.value;});"
    "document.querySelector('select').addEventListener('change',"
    "function(e){model.kind=e.target.value;});"
    "document.getElementById('pretty').addEventListener('change',"
    "function(e){model.pretty=e.target.checked;});"
    "document.getElementById('send').addEventListener('click',function(){"
    "document.getElementById('out').textContent=JSON.stringify(model);});"
    "function state(){return document.getElementById('out').textContent;}</script>"
    "</body></html>";

// A list that opens as the user types and keeps the focus in the box while an entry is
// clicked; its entries get ids counted from a random start.
const QByteArray kAutocompletePage =
    "<!DOCTYPE html><html><head>" + kStyle +
    "</head><body><input id=\"fruit\" autocomplete=\"off\"><ul id=\"menu\"></ul>"
    "<div id=\"out\"></div><script>var all=['Apple','Apricot','Banana','Cherry'];"
    "var n=Math.floor(Math.random()*1000);var box=document.getElementById('fruit');"
    "var menu=document.getElementById('menu');"
    "box.addEventListener('input',function(){menu.innerHTML='';if(!box.value)return;"
    "all.filter(function(f){return f.toLowerCase().indexOf(box.value.toLowerCase())==0;})"
    ".forEach(function(f){var li=document.createElement('li');li.id='ui-id-'+(n++);"
    "li.innerHTML='<div>'+f+'</div>';menu.appendChild(li);});});"
    "menu.addEventListener('mousedown',function(e){e.preventDefault();});"
    "menu.addEventListener('click',function(e){var li=e.target.closest('li');if(!li)return;"
    "box.value=li.textContent;menu.innerHTML='';"
    "document.getElementById('out').textContent='chosen:'+li.textContent;});"
    "function state(){return JSON.stringify({value:box.value,out:"
    "document.getElementById('out').textContent,open:menu.children.length});}</script>"
    "</body></html>";

// Ids made while the page runs, different at every load: numbers only, a widget library's
// counter, a framework's id, a long hex id.
const QByteArray kGeneratedIdsPage =
    "<!DOCTYPE html><html><head>" + kStyle +
    "</head><body><div id=\"app\"></div><div id=\"out\"></div><script>"
    "var r=Math.floor(Math.random()*100000)+1;"
    "document.getElementById('app').innerHTML='<input id=\"'+r+'\" name=\"person\">'"
    "+'<input id=\"ui-id-'+(r%97)+'\" aria-label=\"邮箱\">'"
    "+'<div><input id=\":r'+r.toString(36)+':\"></div>'"
    "+'<button type=\"button\" id=\"btn-'+(0x10000000+r).toString(16)+'\">提交</button>'"
    "+'<a id=\"ember'+r+'\" href=\"#done\">完成</a>';"
    "var clicks=[];document.querySelector('button').onclick=function(){clicks.push('提交');};"
    "function state(){var i=document.querySelectorAll('input');return JSON.stringify({"
    "person:i[0].value,mail:i[1].value,third:i[2].value,clicks:clicks,hash:location.hash});}"
    "</script></body></html>";

// A page with two same-origin frames, one with an id, one without.
const QByteArray kFramesPage =
    "<!DOCTYPE html><html><head>" + kStyle +
    "</head><body><p>外层</p><iframe id=\"inner\" src=\"/frames/inner.html\" "
    "style=\"width:300px;height:130px\"></iframe><iframe src=\"/frames/inner.html\" "
    "style=\"width:300px;height:130px\"></iframe><script>function state(){var f="
    "document.querySelectorAll('iframe');return JSON.stringify([f[0].contentWindow.state(),"
    "f[1].contentWindow.state()]);}</script></body></html>";
const QByteArray kFramePage =
    "<!DOCTYPE html><html><head>" + kStyle +
    "</head><body><input name=\"who\"><button type=\"button\" onclick=\"document."
    "getElementById('out').textContent='你好,'+document.getElementsByName('who')[0].value\">"
    "问好</button><div id=\"out\"></div><script>function state(){return "
    "document.getElementById('out').textContent;}</script></body></html>";

// A box owned by a small component framework in the manner of React: it puts a value setter
// of its own on the element, keeps what went through it, and takes an input event as a change
// only when the box holds something else; the list follows the framework's state, not the box.
const QByteArray kControlledPage =
    "<!DOCTYPE html><html><head>" + kStyle +
    "</head><body><div id=\"root\"></div><script>"
    "var app={query:'',picked:''},all=['alpha','beta','gamma','delta'];"
    "var root=document.getElementById('root');root.innerHTML='<input><ul></ul>';"
    "var box=root.querySelector('input'),list=root.querySelector('ul');"
    "var own=Object.getOwnPropertyDescriptor(HTMLInputElement.prototype,'value'),tracked='';"
    "Object.defineProperty(box,'value',{configurable:true,get:function(){return "
    "own.get.call(this);},"
    "set:function(v){tracked=String(v);own.set.call(this,v);}});"
    "function shown(){return all.filter(function(f){return f.indexOf(app.query)>=0;});}"
    "function render(){box.value=app.query;list.innerHTML=shown().map(function(f){"
    "return '<li>'+f+'</li>';}).join('');}"
    "root.addEventListener('input',function(e){var v=own.get.call(box);if(e.target!==box||"
    "v===tracked)return;tracked=v;app.query=v;render();});"
    "root.addEventListener('click',function(e){if(e.target.localName=='li'){"
    "app.picked=e.target.textContent;render();}});render();"
    "function state(){return JSON.stringify({query:app.query,shown:shown(),picked:app.picked});}"
    "</script></body></html>";

// A rich-text editor: a toolbar and a link dialog in the page, the text in a same-site frame
// whose body is editable. The toolbar keeps the focus in the frame; the dialog keeps the
// frame's selection for its link.
const QByteArray kRichTextPage =
    "<!DOCTYPE html><html><head>" + kStyle +
    "<style>#toolbar button{display:inline-block;width:60px}</style></head><body>"
    "<div id=\"toolbar\"><button type=\"button\" data-cmd=\"bold\">B</button>"
    "<button type=\"button\" data-cmd=\"italic\">I</button>"
    "<button type=\"button\" id=\"link\">链接</button></div>"
    "<iframe title=\"编辑区\" src=\"/richtext/frame.html\" style=\"width:400px;height:120px\">"
    "</iframe><div id=\"dialog\" style=\"display:none\"><input aria-label=\"网址\">"
    "<button type=\"button\" id=\"ok\">确定</button></div><script>"
    "function doc(){return document.querySelector('iframe').contentDocument;}var kept=null;"
    "document.getElementById('toolbar').addEventListener('mousedown',function(e){"
    "e.preventDefault();});document.querySelectorAll('[data-cmd]').forEach(function(b){"
    "b.onclick=function(){doc().execCommand(b.dataset.cmd);};});"
    "document.getElementById('link').onclick=function(){var s=doc().getSelection();"
    "kept=s.rangeCount?s.getRangeAt(0).cloneRange():null;"
    "document.getElementById('dialog').style.display='block';"
    "document.querySelector('#dialog input').focus();};"
    "document.getElementById('ok').onclick=function(){var s=doc().getSelection();"
    "document.getElementById('dialog').style.display='none';s.removeAllRanges();"
    "if(kept)s.addRange(kept);doc().execCommand('createLink',false,"
    "document.querySelector('#dialog input').value);};"
    "function state(){var b=doc().body,t=function(e){return e.textContent.replace(/\\u00a0/g,' "
    "');};"
    "return JSON.stringify({blocks:Array.from(b.children).map(t),"
    "bold:Array.from(b.querySelectorAll('b,strong')).map(t),"
    "links:Array.from(b.querySelectorAll('a')).map(function(a){return [a.getAttribute('href'),"
    "t(a)];})});}</script></body></html>";
const QByteArray kRichTextFrame =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><style>body{font:16px sans-serif;"
    "margin:6px}p{margin:0}</style></head><body contenteditable=\"true\"><p>你好,</p></body>"
    "</html>";

// A code editor in the manner of the common ones: the keys go to a hidden box, which the editor
// empties into its own lines at every input; it draws the lines itself, puts its caret where
// the mouse is pressed, and takes Enter (keeping the indent) and Backspace itself. Its scroller
// is a tab stop, and so is the option beside it, which answers a click.
const QByteArray kCodeEditorPage =
    "<!DOCTYPE html><html><head>" + kStyle +
    "<style>#editor{position:relative;width:420px;border:1px solid #999}"
    "#editor pre{font:14px/18px monospace;height:18px;margin:0;white-space:pre}"
    "#caret{position:absolute;width:1px;height:18px;background:#000}</style></head><body>"
    "<div id=\"editor\"><div style=\"position:relative;overflow:hidden;width:3px;height:0\">"
    "<textarea spellcheck=\"false\" style=\"position:absolute;bottom:-1em;width:1px;"
    "height:1em;padding:0;margin:0;border:0;outline:none\"></textarea></div>"
    "<div class=\"scroller\" tabindex=\"-1\"><div class=\"lines\"></div><div id=\"caret\"></div>"
    "</div></div><div class=\"option\" tabindex=\"0\">自动换行</div><script>"
    "var lines=['function add(a, b) {','  return a + b;','}'],at={line:0,ch:0},wrap=false;"
    "document.querySelector('.option').addEventListener('click',function(e){wrap=!wrap;"
    "e.target.textContent='自动换行'+(wrap?' ✓':'');});"
    "var ed=document.getElementById('editor'),box=ed.querySelector('textarea'),"
    "view=ed.querySelector('.lines'),caret=document.getElementById('caret'),cw=0;"
    "function render(){view.innerHTML='';lines.forEach(function(l){var p="
    "document.createElement('pre');p.textContent=l||'\\u200b';view.appendChild(p);});"
    "if(!cw){var m=document.createElement('span');m.textContent='xxxxxxxxxx';"
    "view.firstChild.appendChild(m);cw=m.getBoundingClientRect().width/10;m.remove();}"
    "caret.style.left=(at.ch*cw)+'px';caret.style.top=(at.line*18)+'px';}"
    "function insert(text){var l=lines[at.line],rest=l.slice(at.ch),"
    "parts=(l.slice(0,at.ch)+text).split('\\n');"
    "lines.splice.apply(lines,[at.line,1].concat(parts));at.line+=parts.length-1;"
    "at.ch=lines[at.line].length;lines[at.line]+=rest;render();}"
    "ed.querySelector('.scroller').addEventListener('mousedown',function(e){e.preventDefault();"
    "var r=view.getBoundingClientRect();at.line=Math.max(0,Math.min(lines.length-1,"
    "Math.floor((e.clientY-r.top)/18)));at.ch=Math.max(0,Math.min(lines[at.line].length,"
    "Math.round((e.clientX-r.left)/cw)));box.focus();render();});"
    "box.addEventListener('input',function(){var t=box.value;box.value='';if(t)insert(t);});"
    "box.addEventListener('keydown',function(e){if(e.key=='Enter'){e.preventDefault();"
    "insert('\\n'+lines[at.line].match(/^ */)[0]);}else if(e.key=='Backspace'){"
    "e.preventDefault();if(at.ch>0){var l=lines[at.line];lines[at.line]=l.slice(0,at.ch-1)+"
    "l.slice(at.ch);at.ch--;}else if(at.line>0){at.ch=lines[at.line-1].length;"
    "lines[at.line-1]+=lines[at.line];lines.splice(at.line,1);at.line--;}render();}});"
    "render();function state(){return JSON.stringify({lines:lines,wrap:wrap});}</script>"
    "</body></html>";

// A form whose parts are numbered as the page builds itself, from a counter that starts
// elsewhere at every load: the ids are a short prefix, an underscore and the count, some with
// the part's kind after it.
const QByteArray kNumberedIdsPage =
    "<!DOCTYPE html><html><head>" + kStyle +
    "</head><body><div id=\"app\"></div><script>var n=10+Math.floor(Math.random()*80);"
    "function id(kind){return 'ab_'+(n++)+(kind?'_'+kind:'');}var a=id('textInput');"
    "document.getElementById('app').innerHTML='<div id=\"'+id()+'\"><label for=\"'+a+'\">姓名"
    "</label><input id=\"'+a+'\"><input id=\"'+id('textInput')+'\" name=\"mail\">"
    "<input id=\"'+id()+'\" placeholder=\"城市\"><div id=\"'+id()+'\"><input id=\"'+"
    "id('textInput')+'\"></div><button type=\"button\" id=\"'+id('button')+'\">保存</button>"
    "</div>';var saved=[];document.querySelector('button').onclick=function(){"
    "saved.push(Array.from(document.querySelectorAll('#app input')).map(function(i){"
    "return i.value;}).join('|'));};function state(){return JSON.stringify(saved);}</script>"
    "</body></html>";

// Openers that are still busy when their window asks to open: one goes on computing for a
// while after window.open, one shows a message that the user takes a moment to read.
const QByteArray kBusyOpener =
    "<!DOCTYPE html><html><head>" + kStyle +
    "</head><body><input name=\"a\"><button type=\"button\" id=\"open\" onclick=\"window.open("
    "'/busy/b.html?a='+encodeURIComponent(document.getElementsByName('a')[0].value));"
    "for(var t=Date.now();Date.now()-t<700;);\">打开</button></body></html>";
const QByteArray kAlertingOpener =
    "<!DOCTYPE html><html><head>" + kStyle +
    "</head><body><input name=\"b\"><button type=\"button\" id=\"open\" onclick=\"window.open("
    "'/busy/c.html'+location.search+'&b='+encodeURIComponent(document.getElementsByName('b')[0]"
    ".value));alert('已打开新窗口');\">打开</button></body></html>";

// An opener whose window (of another site, opened without an opener) runs in a page process
// of its own while the opener waits for the server, as long as the test keeps the gate shut.
const QByteArray kFarOpener =
    "<!DOCTYPE html><html><head>" + kStyle +
    "</head><body><input name=\"a\"><button type=\"button\" id=\"open\" onclick=\"window.open("
    "'http://localhost:'+location.port+'/busy/c.html?a='+encodeURIComponent("
    "document.getElementsByName('a')[0].value),'_blank','noopener');var x=new XMLHttpRequest();"
    "x.open('GET','/busy/gate',false);x.send();\">打开</button></body></html>";

// The pages of a chain of three windows: A opens B, B opens C, each by a link with
// target=_blank or a button that calls window.open; what was typed travels in the address.
QByteArray chainOpener(const QByteArray& box, const QByteArray& how, const QByteArray& next) {
    const QByteArray address = "'" + next + "?'+location.search.slice(1)+'&" + box +
                               "='+encodeURIComponent(document.getElementsByName('" + box +
                               "')[0].value)";
    if (how == "link")
        return "<!DOCTYPE html><html><head>" + kStyle + "</head><body><input name=\"" + box +
               "\" oninput=\"document.getElementById('open').href=" + address +
               "\"><a id=\"open\" target=\"_blank\" href=\"" + next + "\">下一页</a></body></html>";
    return "<!DOCTYPE html><html><head>" + kStyle + "</head><body><input name=\"" + box +
           "\"><button type=\"button\" id=\"open\" onclick=\"window.open(" + address +
           ")\">下一页</button></body></html>";
}
const QByteArray kChainEnd =
    "<!DOCTYPE html><html><head>" + kStyle +
    "</head><body><input placeholder=\"结束语\"><button type=\"button\" onclick=\"document."
    "getElementById('out').textContent='done'\">完成</button><div id=\"out\"></div><script>"
    "function state(){return JSON.stringify({search:location.search,last:"
    "document.querySelector('input').value,out:document.getElementById('out').textContent});}"
    "</script></body></html>";

// One step of a user's flow, played with real mouse and key events on the page's view.
struct Step {
    enum Kind { Click, Type, Keys, Key, Window };
    Kind kind;
    QString target;  // expression of the element (Click, Type), path of the page (Window)
    QString text;    // what is typed (Type, Keys)
    int key = 0;     // Key: the key, with Ctrl or Shift when text is "ctrl" or "shift"
};
Step click(const QString& target) {
    return {Step::Click, target, {}};
}
Step type(const QString& target, const QString& text) {
    return {Step::Type, target, text};
}
// Typed into whatever has the focus.
Step keys(const QString& text) {
    return {Step::Keys, {}, text};
}
Step key(int k, const QString& modifier = QString()) {
    return {Step::Key, {}, modifier, k};
}
// The flow goes on in a new window that shows this page.
Step window(const QString& path) {
    return {Step::Window, path, {}};
}

struct Flow {
    QString name;
    QString start;
    QList<Step> steps;
    int lines;      // statement lines the flow records: one per action, none for the rest
    QString state;  // state() of the last page at the end
};

QList<Flow> flows() {
    const QString q = QStringLiteral("document.querySelector('%1')");
    const QString richText =
        QStringLiteral("document.querySelector('iframe').contentDocument.querySelector('%1')");
    return {
        {"form with and without ids",
         "/mixed.html",
         {type("document.getElementById('user')", "alice"),
          type("document.getElementsByName('city')[0]", "O'Neil \"x\"\u00a0\\"),
          type(q.arg("[placeholder]"), "123"), type(q.arg("textarea"), "hi"),
          type(q.arg(".plain"), "xyz"), key(Qt::Key_Tab), key(Qt::Key_Down),
          click(q.arg("[name=agree]")), click(q.arg("#intro")), click(q.arg("button")),
          click(q.arg("#out")), click(q.arg("input[type=button]"))},
         9,
         "{\"user\":\"alice\",\"city\":\"O'Neil \\\"x\\\"\u00a0\\\\\",\"tel\":\"123\",\"note\":"
         "\"hi\",\"plain\":\"xyz\",\"size\":\"m\",\"agree\":true,\"clicks\":[\"保存\",\"检查\"]}"},
        {"state kept from input events",
         "/model.html",
         {click("document.getElementById('address')"), key(Qt::Key_A, "ctrl"),
          keys("http://api/v2"), key(Qt::Key_Tab), key(Qt::Key_Down),
          click("document.querySelector('label span')"), click("document.getElementById('send')")},
         4,
         "{\"address\":\"http://api/v2\",\"kind\":\"POST\",\"pretty\":true}"},
        {"autocomplete list",
         "/auto.html",
         {type("document.getElementById('fruit')", "ap"),
          click("Array.from(document.querySelectorAll('li div')).find(e=>e.textContent=="
                "'Apricot')")},
         2,
         "{\"value\":\"Apricot\",\"out\":\"chosen:Apricot\",\"open\":0}"},
        {"generated ids",
         "/generated.html",
         {type("document.querySelectorAll('input')[0]", "bob"),
          type("document.querySelectorAll('input')[1]", "bob@example.com"),
          type("document.querySelectorAll('input')[2]", "third"), click(q.arg("button")),
          click(q.arg("a"))},
         5,
         "{\"person\":\"bob\",\"mail\":\"bob@example.com\",\"third\":\"third\",\"clicks\":"
         "[\"提交\"],\"hash\":\"#done\"}"},
        {"same-origin frames",
         "/frames.html",
         {type("document.getElementById('inner').contentDocument.querySelector('input')", "Ann"),
          click("document.getElementById('inner').contentDocument.querySelector('button')"),
          type("document.querySelectorAll('iframe')[1].contentDocument.querySelector('input')",
               "Ben"),
          click("document.querySelectorAll('iframe')[1].contentDocument.querySelector('button')")},
         4,
         "[\"你好,Ann\",\"你好,Ben\"]"},
        {"box a framework owns",
         "/controlled.html",
         {type(q.arg("input"), "be"),
          click("Array.from(document.querySelectorAll('li')).find(e=>e.textContent=='beta')")},
         2,
         "{\"query\":\"be\",\"shown\":[\"beta\"],\"picked\":\"beta\"}"},
        {"rich-text editor in a frame",
         "/richtext.html",
         {click(richText.arg("p")), keys("team "), click(q.arg("[data-cmd=bold]")), keys("ok"),
          key(Qt::Key_Return), keys("next"), key(Qt::Key_Home, "shift"),
          click("document.getElementById('link')"),
          type("document.querySelector('#dialog input')", "http://x/"),
          click("document.getElementById('ok')")},
         6,
         "{\"blocks\":[\"你好,team ok\",\"next\"],\"bold\":[\"ok\",\"next\"],\"links\":"
         "[[\"http://x/\",\"next\"]]}"},
        {"code editor with a hidden box",
         "/code.html",
         {click("document.querySelectorAll('#editor pre')[1]"), keys(" // sum"),
          key(Qt::Key_Return), keys("x"), key(Qt::Key_Backspace), keys("log(a);"),
          click("document.querySelectorAll('#editor pre')[0]"), keys(" //"),
          click("document.querySelector('.option')")},
         3,
         "{\"lines\":[\"function add(a, b) { //\",\"  return a + b; // sum\",\"  log(a);\","
         "\"}\"],\"wrap\":true}"},
        {"ids numbered at run time",
         "/numbered.html",
         {type(q.arg("label+input"), "Ann"), type(q.arg("[name=mail]"), "a@b.c"),
          type(q.arg("[placeholder]"), "上海"), type(q.arg("#app div div input"), "x"),
          click(q.arg("button"))},
         5,
         "[\"Ann|a@b.c|上海|x\"]"},
    };
}

}  // namespace

class RecordWndFormTest : public QObject {
    Q_OBJECT

    TestServer* server_ = nullptr;
    std::unique_ptr<TestProgramFolder> folder_;
    RecordWndForm& form_ = RecordWndForm::instance();
    bool gateOpen_ = true;

    BrowserArray* array() const { return form_.host().array(); }
    WebBrowser* inUse() const { return form_.host().elementInUse(); }
    template <typename T>
    T* control(const char* name) const {
        return form_.control<T>(QString::fromLatin1(name));
    }

    // Waits with the event loop running as the program's own loop runs it: a wait that sleeps
    // between its turns (QTest::qWaitFor) starves a page that is loading.
    template <typename Condition>
    static bool until(Condition condition, int ms) {
        QElapsedTimer clock;
        clock.start();
        while (!condition()) {
            if (clock.elapsed() > ms) return false;
            QEventLoop loop;
            QTimer::singleShot(10, &loop, &QEventLoop::quit);
            loop.exec();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        return true;
    }

    static bool waitFor(QSignalSpy& spy, int count = 1) {
        while (spy.size() < count)
            if (!spy.wait(15000)) return false;
        return true;
    }

    // Shows the window, makes it the active one (keys go to the focused page) and waits for
    // the load step's blank page.
    bool open() {
        if (form_.isLoaded()) return true;
        form_.show();
        if (!array()) return false;
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        if (!waitFor(done)) return false;
        form_.widget()->activateWindow();
        QApplication::setActiveWindow(form_.widget());
        return QTest::qWaitForWindowActive(form_.widget());
    }

    // As open(), with the recorder script read (each case can run on its own).
    bool openWithRecorder() {
        if (!QFile::exists(folder_->file("Stellock.dll")) &&
            !writeBytes(folder_->file("Stellock.dll"),
                        readBytes(sourceDataFolder("velmora") + "/Stellock.dll")))
            return false;
        if (form_.recorderScript.isEmpty() && form_.isLoaded()) form_.close();
        return open();
    }

    void closeWindow() {
        form_.close();
        QVERIFY(!form_.isLoaded());
    }

    // Navigates through the address row and waits for the page and its recorder.
    bool go(const QString& path) {
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        control<QLineEdit>("urlText")->setText(server_->url(path));
        control<QPushButton>("jumpCommand")->click();
        return waitFor(done) && injected();
    }

    QVariant page(const QString& expression) const {
        return inUse()->Document().evaluate(expression);
    }

    // The recorder is in the page in use, capturing or not as the window says.
    bool injected() const {
        return until(
                   [&] {
                       return inUse() && inUse()->ReadyState() == 4 &&
                              page(QStringLiteral("!!window.__tvRecorder&&window.__tvRecorder.on"))
                                      .toBool() == form_.isRecording;
                   },
                   10000) &&
               painted();
    }

    // The page has drawn itself, so that it takes mouse and keys.
    bool painted() const {
        inUse()->Document().execScript(
            QStringLiteral("window.__painted=false;requestAnimationFrame(function(){"
                           "requestAnimationFrame(function(){window.__painted=true;});});"));
        return until([&] { return page(QStringLiteral("window.__painted")).toBool(); }, 5000);
    }

    // ---- the user, with real input events on the page's view

    QWidget* input() const { return inUse()->view()->focusProxy(); }

    // Centre of the element in the view, frames included; null when it is not (yet) shown.
    QPoint spot(const QString& target) const {
        // A new window has its view once its first document of its own is there.
        if (!inUse() || !inUse()->view()) return QPoint();
        const QVariant v = page(
            QStringLiteral(
                "(function(){var e=%1;if(!e)return null;var r=e.getBoundingClientRect();"
                "if(!r.width||!r.height)return null;var x=r.left+r.width/2,y=r.top+r.height/2;"
                "for(var f=e.ownerDocument.defaultView.frameElement;f;"
                "f=f.ownerDocument.defaultView.frameElement){var o=f.getBoundingClientRect();"
                "x+=o.left+f.clientLeft;y+=o.top+f.clientTop;}return [Math.round(x),Math.round(y)];"
                "})()")
                .arg(target));
        const QVariantList xy = v.toList();
        return xy.size() == 2 ? QPoint(xy[0].toInt(), xy[1].toInt()) : QPoint();
    }

    bool realClick(const QString& target) const {
        QPoint at;
        if (!until([&] { return !(at = spot(target)).isNull(); }, 5000)) return false;
        QTest::mouseMove(input(), at);
        QTest::mouseClick(input(), Qt::LeftButton, {}, at);
        return true;
    }

    void realKeys(const QString& text) const {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, input(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

    bool play(const Step& step) {
        switch (step.kind) {
            case Step::Click:
                return realClick(step.target);
            case Step::Type: {
                // A page that has only just come up may not take the first click yet.
                const QString focused =
                    "(function(e){return !!e&&e.ownerDocument.hasFocus()&&"
                    "e.ownerDocument.activeElement===e;})(" +
                    step.target + ")";
                for (int tries = 0; !page(focused).toBool(); ++tries) {
                    if (tries == 3 || !realClick(step.target)) return false;
                    (void)until([&] { return page(focused).toBool(); }, 2000);
                }
                realKeys(step.text);
                // The page has taken every key before the next step looks at it.
                return until(
                    [&] {
                        return page(step.target + QStringLiteral(".value"))
                            .toString()
                            .endsWith(step.text);
                    },
                    5000);
            }
            case Step::Keys:
                realKeys(step.text);
                return true;
            case Step::Key:
                QTest::keyClick(input(), Qt::Key(step.key),
                                step.text == "ctrl"    ? Qt::ControlModifier
                                : step.text == "shift" ? Qt::ShiftModifier
                                                       : Qt::NoModifier);
                return true;
            case Step::Window:
                return until(
                           [&] { return inUse() && inUse()->LocationURL().contains(step.target); },
                           10000) &&
                       injected();
        }
        return false;
    }

    // ---- recording and running again

    QStringList statements() const {
        QStringList lines = form_.logContents().split(kCrLf);
        lines.removeAll(QString());
        return lines;
    }

    QString state() const { return page(QStringLiteral("state()")).toString(); }

    // Runs the statement lines one after the other in the page in use, as a user stepping
    // through them: a line whose element is not there yet (a new page or frame still loading) is
    // tried again until it runs.
    bool replay(const QStringList& lines) {
        for (const QString& line : lines) {
            const bool ran = until(
                [&] {
                    WebBrowser* b = inUse();
                    if (!b || b->ReadyState() != 4) return false;
                    const platform::PageResult r = b->Document().execScript(line);
                    return r.ok || r.error == platform::pagetext::navigated();
                },
                10000);
            if (!ran) {
                qWarning() << "statement does not run:" << line;
                return false;
            }
        }
        return true;
    }

    // Records the flow, checks its end state and the statements, loads the first page afresh,
    // runs the statements and checks that they reach the same end state.
    void recordAndReplay(const QString& start, const QList<Step>& steps, int lineCount,
                         const QString& endState, QStringList* lines = nullptr) {
        QVERIFY(openWithRecorder());
        QVERIFY(go(start));
        control<QPushButton>("startCommand")->click();
        QVERIFY(injected());
        for (const Step& step : steps)
            QVERIFY2(play(step), qPrintable(step.target + " " + state() + " " +
                                            page("document.activeElement.outerHTML").toString()));
        QVERIFY2(until([&] { return state() == endState; }, 5000), qPrintable(state()));
        control<QPushButton>("stopCommand")->click();
        QVERIFY2(until([&] { return statements().size() >= lineCount; }, 5000),
                 qPrintable(form_.logContents()));
        // Let a late line show before counting.
        QTest::qWait(200);
        const QStringList recorded = statements();
        QVERIFY2(recorded.size() == lineCount, qPrintable(recorded.join('\n')));
        if (lines) *lines = recorded;

        control<QPushButton>("clearCommand")->click();
        QVERIFY(go(start));
        QVERIFY(state() != endState);
        // Run as from the debugger, whose own controls have the focus, not the page.
        control<QPlainTextEdit>("logText")->setFocus();
        QVERIFY(replay(recorded));
        QVERIFY2(until([&] { return state() == endState; }, 5000),
                 qPrintable(state() + "\n" + recorded.join('\n')));
    }

  private Q_SLOTS:
    // Each case starts with recording off and an empty log.
    void init() {
        if (!form_.isLoaded()) return;
        if (auto* stop = control<QPushButton>("stopCommand")) stop->click();
        if (auto* clear = control<QPushButton>("clearCommand")) clear->click();
    }

    void initTestCase() {
        server_ = new TestServer(this);
        server_->page("/form.html", kFormPage);
        server_->page("/next.html", kNextPage);
        server_->page("/mixed.html", kMixedForm);
        server_->page("/model.html", kModelPage);
        server_->page("/auto.html", kAutocompletePage);
        server_->page("/generated.html", kGeneratedIdsPage);
        server_->page("/frames.html", kFramesPage);
        server_->page("/frames/inner.html", kFramePage);
        server_->page("/controlled.html", kControlledPage);
        server_->page("/richtext.html", kRichTextPage);
        server_->page("/richtext/frame.html", kRichTextFrame);
        server_->page("/code.html", kCodeEditorPage);
        server_->page("/numbered.html", kNumberedIdsPage);
        for (const QByteArray how : {"link", "button"}) {
            for (const QByteArray then : {"link", "button"})
                server_->page("/chain/a-" + how + "-" + then + ".html",
                              chainOpener("a", how, "/chain/b-" + then + ".html"));
            server_->page("/chain/b-" + how + ".html", chainOpener("b", how, "/chain/c.html"));
        }
        server_->page("/chain/c.html", kChainEnd);
        server_->page("/busy/a.html", kBusyOpener);
        server_->page("/busy/b.html", kAlertingOpener);
        server_->page("/busy/c.html", kChainEnd);
        server_->page("/busy/far.html", kFarOpener);
        server_->route("/busy/gate", [this](const TestServer::Request&) {
            TestServer::Response r;
            r.until = [this] { return gateOpen_; };
            return r;
        });
        // No plug-in file yet: the first opening finds none.
        folder_ = std::make_unique<TestProgramFolder>();
    }

    void cleanupTestCase() {
        form_.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        folder_.reset();
    }

    void missingPluginIsReadAgainNextTime() {
        QVERIFY(open());
        QCOMPARE(form_.widget()->windowTitle(), QStringLiteral("录制脚本"));
        QVERIFY(form_.recorderScript.isEmpty());
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        control<QLineEdit>("urlText")->setText(server_->url("/form.html"));
        control<QPushButton>("jumpCommand")->click();
        QVERIFY(waitFor(done));
        // The field and an empty script element went in all the same.
        QVERIFY(until(
            [&] { return page("document.getElementsByTagName('script').length").toInt() == 1; },
            5000));
        QCOMPARE(page("document.getElementById('tv_hidden').type").toString(),
                 QStringLiteral("hidden"));
        // Starting without a recorder in the page fails without a message.
        control<QPushButton>("startCommand")->click();
        QVERIFY(form_.isRecording);
        QVERIFY(platform::shownDialogs().isEmpty());
        closeWindow();

        QVERIFY(writeBytes(folder_->file("Stellock.dll"),
                           readBytes(sourceDataFolder("velmora") + "/Stellock.dll")));
        QVERIFY(open());
        QVERIFY(!form_.isRecording);
        QVERIFY(form_.recorderScript.contains("function infectionEffect()"));
        QVERIFY(form_.recorderScript.contains("function infectionUnEffect()"));
        // Decoded whole and uncut: no stray byte from the line end after the data.
        QVERIFY(form_.recorderScript.trimmed().endsWith('}'));
    }

    void recordsTypingAndClicks() {
        QVERIFY(openWithRecorder());
        QVERIFY(go("/form.html"));
        QCOMPARE(control<QLineEdit>("urlText")->text(), server_->url("/form.html"));
        // Recording off: actions leave nothing.
        QVERIFY(realClick("document.getElementById('go')"));
        QTest::qWait(120);
        QCOMPARE(form_.logContents(), QString());

        control<QPushButton>("startCommand")->click();
        QVERIFY(form_.isRecording);
        QVERIFY(injected());
        QVERIFY(play(type("document.getElementById('kw')", "abc")));
        QVERIFY(play(type("document.getElementsByName('q')[0]", "say 'hi'")));
        QVERIFY(realClick("document.getElementById('go')"));
        // A value is set the way typing sets it, past any setter the page put on the box itself:
        // the page hears input, then change.
        const QString events = QStringLiteral(
            "tarObj.dispatchEvent(new Event('input',{bubbles:true}));"
            "tarObj.dispatchEvent(new Event('change',{bubbles:true}));");
        const QString set = QStringLiteral(
            "Object.getOwnPropertyDescriptor(HTMLInputElement.prototype,'value').set.call(tarObj,");
        const QStringList lines = {
            "var tarObj=document.getElementById('kw');" + set + "'abc');" + events,
            "var tarObj=document.getElementsByName('q')[0];" + set + "'say \\'hi\\'');" + events,
            "document.getElementById('go').click();"};
        QVERIFY2(until([&] { return statements() == lines; }, 5000),
                 qPrintable(form_.logContents()));
        QCOMPARE(page("document.getElementById('tv_hidden').value").toString(), QString());

        control<QPushButton>("stopCommand")->click();
        QVERIFY(!form_.isRecording);
        const QString log = form_.logContents();
        QVERIFY(realClick("document.getElementById('go')"));
        QTest::qWait(120);
        QCOMPARE(form_.logContents(), log);

        control<QPushButton>("clearCommand")->click();
        QCOMPARE(form_.logContents(), QString());
        control<QPushButton>("startCommand")->click();
        QVERIFY(realClick("document.getElementById('go')"));
        QVERIFY(until(
            [&] {
                return form_.logContents() ==
                       QStringLiteral("document.getElementById('go').click();\r\n\r\n");
            },
            5000));
    }

    void recordingGoesOnInTheNextPage() {
        QVERIFY(openWithRecorder());
        QVERIFY(go("/form.html"));
        control<QPushButton>("startCommand")->click();
        QVERIFY(injected());
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        QVERIFY(realClick("document.getElementById('next')"));
        QVERIFY(waitFor(done));
        QVERIFY(injected());
        QCOMPARE(inUse()->LocationURL(), server_->url("/next.html"));
        QCOMPARE(page("document.querySelectorAll('#tv_hidden').length").toInt(), 1);
        QVERIFY(realClick("document.getElementById('again')"));
        // The link's line, written as its page went, comes with the next page.
        const QString next = QStringLiteral("document.getElementById('next').click();\r\n");
        const QString again = QStringLiteral("document.getElementById('again').click();\r\n");
        QVERIFY(until([&] { return form_.logContents().contains(again); }, 5000));
        const QString log = form_.logContents();
        QVERIFY2(log.startsWith(next) && log.indexOf(again) > 0, qPrintable(log));
    }

    void popUpKeepsRecordingAndReopeningStartsOver() {
        QVERIFY(openWithRecorder());
        QVERIFY(go("/form.html"));
        control<QPushButton>("startCommand")->click();
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        QVERIFY(inUse()->Document().execScript("window.open('/next.html');").ok);
        QVERIFY(waitFor(done));
        QCOMPARE(form_.curBrowserIndex, qint16(1));
        QVERIFY(injected());
        QCOMPARE(inUse()->LocationURL(), server_->url("/next.html"));
        QVERIFY(realClick("document.getElementById('again')"));
        QVERIFY(until(
            [&] {
                return form_.logContents() ==
                       QStringLiteral("document.getElementById('again').click();\r\n\r\n");
            },
            5000));
        // Closed and opened again: element 0 alone, recording off, the plug-in not read again.
        closeWindow();
        QVERIFY(QFile::remove(folder_->file("Stellock.dll")));
        QCOMPARE(form_.curBrowserIndex, qint16(1));
        QVERIFY(open());
        QCOMPARE(form_.curBrowserIndex, qint16(0));
        QVERIFY(!form_.isRecording);
        QCOMPARE(form_.newWindowMode, qint16(0));
        QCOMPARE(array()->indexes(), QList<int>({0}));
        QCOMPARE(inUse()->LocationURL(), QStringLiteral("about:blank"));
        QVERIFY(!form_.recorderScript.isEmpty());
        QCOMPARE(form_.logContents(), QString());
    }

    // The load's second try looks for the plug-in in the program folder too, never in the
    // current directory.
    void secondTryReadsTheProgramFolder() {
        QVERIFY(open());
        QVERIFY(go("/form.html"));
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        QVERIFY(inUse()->Document().execScript("window.open('/next.html');").ok);
        QVERIFY(waitFor(done));
        QCOMPARE(form_.curBrowserIndex, qint16(1));
        closeWindow();
        QFile::remove(folder_->file("Stellock.dll"));
        form_.recorderScript.clear();
        QTemporaryDir elsewhere;
        QVERIFY(writeBytes(elsewhere.filePath("Stellock.dll"),
                           readBytes(sourceDataFolder("velmora") + "/Stellock.dll")));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        const bool opened = open();
        QDir::setCurrent(before);
        QVERIFY(opened);
        QCOMPARE(form_.curBrowserIndex, qint16(0));
        QVERIFY(form_.recorderScript.isEmpty());

        // Back in the program folder, it is read at the next opening.
        QVERIFY(writeBytes(folder_->file("Stellock.dll"),
                           readBytes(sourceDataFolder("velmora") + "/Stellock.dll")));
        closeWindow();
        QVERIFY(open());
        QVERIFY(!form_.recorderScript.isEmpty());
    }

    void blockedPopUpIsRefused() {
        QVERIFY(open());
        QVERIFY(go("/form.html"));
        auto* combo = control<QComboBox>("newWndCombo");
        combo->setCurrentIndex(1);
        Q_EMIT combo->activated(1);
        QCOMPARE(form_.newWindowMode, qint16(-1));
        QSignalSpy asked(array(), &BrowserArray::NewWindow2);
        QVERIFY(inUse()->Document().execScript("window.open('/next.html');").ok);
        QVERIFY(waitFor(asked));
        QCOMPARE(form_.curBrowserIndex, qint16(0));
        QCOMPARE(inUse()->LocationURL(), server_->url("/form.html"));
        form_.host().selectNewWindowItem(0);
    }

    // A flow recorded with real input events runs again on a fresh load of its page and ends
    // where the user ended: same values, same clicks, same page.
    void replaysOnAFreshPage_data() {
        QTest::addColumn<int>("flow");
        const QList<Flow> all = flows();
        for (int i = 0; i < all.size(); ++i) QTest::newRow(qPrintable(all[i].name)) << i;
    }
    void replaysOnAFreshPage() {
        QFETCH(int, flow);
        const Flow f = flows().at(flow);
        recordAndReplay(f.start, f.steps, f.lines, f.state);
    }

    // What locates an element is chosen when the action is recorded: made-up ids are passed
    // over, and what is left must find that element alone.
    void locatorsSkipMadeUpIds() {
        const Flow f = flows().at(3);
        QStringList lines;
        recordAndReplay(f.start, f.steps, f.lines, f.state, &lines);
        if (QTest::currentTestFailed()) return;
        const QString log = lines.join(kCrLf);
        QVERIFY2(!log.contains("getElementById"), qPrintable(log));
        QVERIFY(log.contains("document.getElementsByName('person')[0]"));
        QVERIFY(log.contains("document.querySelector('input[aria-label=\"邮箱\"]')"));
        QVERIFY(log.contains("document.querySelector('#app>div>input')"));
        QVERIFY(log.contains(
            "Array.from(document.querySelectorAll('button')).find(e=>e.textContent.trim()=='提交')"
            ".click();"));
        QVERIFY(log.contains("document.querySelector('a[href=\"#done\"]').click();"));
    }

    // A chain of three windows, each opened from the one before by a link with target=_blank
    // or by a button that calls window.open: the clicks that open B and C are recorded with
    // what was typed on each page, and the statements open the same chain again.
    void popUpChainReplays_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("link, then button") << "link"
                                           << "button";
        QTest::newRow("button, then link") << "button"
                                           << "link";
    }
    void popUpChainReplays() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QVERIFY(openWithRecorder());
        const QString start = "/chain/a-" + first + "-" + second + ".html";
        const QString b = "/chain/b-" + second + ".html";
        const QList<Step> steps = {
            type("document.getElementsByName('a')[0]", "one"),
            click("document.getElementById('open')"),
            window(b),
            type("document.getElementsByName('b')[0]", "two"),
            click("document.getElementById('open')"),
            window("/chain/c.html"),
            type("document.querySelector('input')", "three"),
            click("document.querySelector('button')"),
        };
        const qint16 before = form_.curBrowserIndex;
        recordAndReplay(start, steps, 6,
                        "{\"search\":\"?&a=one&b=two\",\"last\":\"three\",\"out\":\"done\"}");
        if (QTest::currentTestFailed()) return;
        // Two windows while recording and two while running again, each in the next element; an
        // element that asked for one goes once its page has handed over its last lines.
        QCOMPARE(form_.curBrowserIndex, qint16(before + 4));
        QTRY_COMPARE_WITH_TIMEOUT(array()->indexes(), QList<int>({0, int(before) + 4}), 5000);
    }

    // An opener still busy after it asked for a window (computing on, a message up) hands over
    // the click's line late: it is kept, ahead of the lines of the window it opened.
    void busyOpenersKeepTheirClicks() {
        QVERIFY(openWithRecorder());
        const QList<Step> steps = {
            type("document.getElementsByName('a')[0]", "one"),
            click("document.getElementById('open')"),
            window("/busy/b.html"),
            type("document.getElementsByName('b')[0]", "two"),
            click("document.getElementById('open')"),
            window("/busy/c.html"),
            type("document.querySelector('input')", "three"),
            click("document.querySelector('button')"),
        };
        platform::setDialogAnswerDelay(700);
        QStringList lines;
        recordAndReplay("/busy/a.html", steps, 6,
                        "{\"search\":\"?a=one&b=two\",\"last\":\"three\",\"out\":\"done\"}",
                        &lines);
        platform::setDialogAnswerDelay(0);
        if (QTest::currentTestFailed()) return;
        QVERIFY(
            std::any_of(platform::shownDialogs().cbegin(), platform::shownDialogs().cend(),
                        [](const platform::ShownDialog& d) { return d.text == "已打开新窗口"; }));
        QCOMPARE(lines.at(1), QStringLiteral("document.getElementById('open').click();"));
        QCOMPARE(lines.at(3), QStringLiteral("document.getElementById('open').click();"));
    }

    // A window of another site runs while its opener still waits: what the user does there
    // reaches the log first, and the opener's late lines go in ahead of it, where they belong.
    void lateLinesGoInTheirPlace() {
        QVERIFY(openWithRecorder());
        QVERIFY(go("/busy/far.html"));
        control<QPushButton>("startCommand")->click();
        QVERIFY(injected());
        gateOpen_ = false;
        QVERIFY(play(type("document.getElementsByName('a')[0]", "one")));
        QVERIFY(play(click("document.getElementById('open')")));
        QVERIFY(play(window("/busy/c.html")));
        QVERIFY(play(type("document.querySelector('input')", "three")));
        QVERIFY(play(click("document.querySelector('button')")));
        const bool windowFirst = until([&] { return statements().size() == 2; }, 5000);
        gateOpen_ = true;
        QVERIFY2(windowFirst, qPrintable(form_.logContents()));
        QVERIFY2(until([&] { return statements().size() == 4; }, 10000),
                 qPrintable(form_.logContents()));
        const QStringList lines = statements();
        QVERIFY2(lines.at(0).startsWith("var tarObj=document.getElementsByName('a')[0];") &&
                     lines.at(1) == "document.getElementById('open').click();" &&
                     lines.at(2).contains("结束语") && lines.at(3).contains("完成"),
                 qPrintable(lines.join('\n')));
        control<QPushButton>("stopCommand")->click();

        QVERIFY(go("/busy/far.html"));
        QVERIFY(replay(lines));
        QVERIFY2(until(
                     [&] {
                         return state() ==
                                "{\"search\":\"?a=one\",\"last\":\"three\",\"out\":\"done\"}";
                     },
                     5000),
                 qPrintable(state()));
    }

    // With new windows blocked the opener stays in use: its click is recorded all the same.
    void blockedPopUpKeepsItsClick() {
        QVERIFY(openWithRecorder());
        auto* combo = control<QComboBox>("newWndCombo");
        combo->setCurrentIndex(1);
        Q_EMIT combo->activated(1);
        QVERIFY(go("/chain/a-button-link.html"));
        const qint16 index = form_.curBrowserIndex;
        control<QPushButton>("startCommand")->click();
        QVERIFY(injected());
        QSignalSpy asked(array(), &BrowserArray::NewWindow2);
        QVERIFY(play(type("document.getElementsByName('a')[0]", "one")));
        QVERIFY(play(click("document.getElementById('open')")));
        QVERIFY(waitFor(asked));
        QVERIFY2(until([&] { return statements().size() == 2; }, 5000),
                 qPrintable(form_.logContents()));
        QCOMPARE(statements().at(1), QStringLiteral("document.getElementById('open').click();"));
        QCOMPARE(form_.curBrowserIndex, index);
        QCOMPARE(inUse()->LocationURL(), server_->url("/chain/a-button-link.html"));
        form_.host().selectNewWindowItem(0);
    }

    // A tick that brings nothing leaves a long log alone, and lines that arrive go in at its
    // end: the window goes over the whole log only when the user has edited it.
    void ticksWorkOnlyOnWhatArrived() {
        QVERIFY(openWithRecorder());
        QVERIFY(go("/form.html"));
        QStringList log;
        for (int i = 0; i < 20000; ++i) log << QStringLiteral("line %1").arg(i);
        control<QPlainTextEdit>("logText")->setPlainText(log.join('\n'));
        QVERIFY(until([&] { return form_.logContents().endsWith("line 19999\r\n\r\n"); }, 5000));
        const int passes = form_.logPasses();
        QSignalSpy ticks(form_.widget()->findChild<QTimer*>("Timer1"), &QTimer::timeout);
        QVERIFY(until([&] { return ticks.size() >= 10; }, 5000));
        QCOMPARE(form_.logPasses(), passes);

        control<QPushButton>("startCommand")->click();
        QVERIFY(injected());
        QVERIFY(realClick("document.getElementById('go')"));
        const QString tail = "line 19999\r\n\r\ndocument.getElementById('go').click();\r\n\r\n";
        QVERIFY(until([&] { return form_.logContents().endsWith(tail); }, 5000));
        QCOMPARE(form_.logPasses(), passes);

        // The user's own line is tidied in the next tick: one pass.
        QTextCursor end(control<QPlainTextEdit>("logText")->document());
        end.movePosition(QTextCursor::End);
        end.insertText("mine\nmine");
        QVERIFY(until([&] { return form_.logContents().endsWith(tail + "mine\r\n\r\n"); }, 5000));
        QCOMPARE(form_.logPasses(), passes + 1);
    }

    void logTyping() {
        QVERIFY(open());
        // What the user types into the log box is tidied like received lines.
        control<QPlainTextEdit>("logText")->setPlainText("\n\na\na\nb");
        QVERIFY2(
            until([&] { return form_.logContents() == QStringLiteral("a\r\nb\r\n\r\n"); }, 5000),
            qPrintable(form_.logContents()));
        control<QPushButton>("clearCommand")->click();
    }

    void collapse_data() {
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("next");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("equal lines") << "a\r\na\r\nb"
                                     << "a\r\nb\r\n";
        QTest::newRow("no line end") << "a"
                                     << "a\r\n";
        QTest::newRow("one line end") << "a\r\n"
                                      << "a\r\n\r\n";
        QTest::newRow("steady") << "a\r\n\r\n"
                                << "a\r\n\r\n";
        QTest::newRow("leading empty lines") << "\r\n\r\nx\r\n"
                                             << "x\r\n\r\n";
        QTest::newRow("two ticks") << "s\r\n\r\ns\r\n"
                                   << "s\r\n\r\ns\r\n\r\n";
        QTest::newRow("lone LF stays in its line") << "a\nb\r\n"
                                                   << "a\nb\r\n\r\n";
    }
    void collapse() {
        QFETCH(QString, log);
        QFETCH(QString, next);
        QCOMPARE(recordLog::collapse(log), next);
    }

    void layoutFollowsWindowSize() {
        QVERIFY(open());
        QWidget* w = form_.widget();
        auto* jump = control<QPushButton>("jumpCommand");
        auto* frame = control<QWidget>("logFrame");
        auto* log = control<QWidget>("logText");
        w->resize(400, 300);  // below the minimum
        QTRY_VERIFY(w->frameGeometry().width() >= platform::px(RecordWndForm::kMinWidthTwips));
        QVERIFY(w->frameGeometry().height() >= platform::px(RecordWndForm::kMinHeightTwips));
        // At the least size the log keeps its design width.
        QTRY_COMPARE(log->width(), platform::px(2775));
        QCOMPARE(frame->width(), platform::px(3015));

        w->resize(1300, 700);
        QTRY_COMPARE(w->width(), 1300);
        QTRY_VERIFY(log->width() > platform::px(2775));
        const int W = platform::twips(w->frameGeometry().width());
        const int H = platform::twips(w->frameGeometry().height());
        // Positions in twips land on whole pixels.
        QCOMPARE(jump->x(), platform::px(W - platform::twips(jump->width()) - 200));
        QCOMPARE(frame->x(), platform::px(W - platform::twips(frame->width()) - 200));
        // Half of the width beyond the least goes to the log.
        const int grow = (W - RecordWndForm::kMinWidthTwips) / 2;
        QCOMPARE(frame->width(), platform::px(3015 + grow));
        QCOMPARE(log->width(), platform::px(2775 + grow));
        QVERIFY(log->geometry().right() < frame->width());
        QCOMPARE(inUse()->x(), platform::px(100));
        QCOMPARE(inUse()->Width(),
                 platform::twips(platform::px(platform::twips(frame->x()) - 200)));
        QVERIFY(inUse()->Top() + inUse()->Height() <= H - 600);
    }
};

SUITE_TEST_MAIN(RecordWndFormTest)
#include "tst_recordwndform.moc"
