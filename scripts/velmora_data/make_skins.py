#!/usr/bin/env python3
"""Writes the workbench's shipped skins, data/velmora/css/<name>.skin.

A skin is one XML document that is also a displayable HTML page: its root (here <html>)
holds a <style>, the <div> that frames the board (the board goes where the board token
stands) and a <script> that supplies the two functions every board button calls.
The files are GBK text with CR LF line ends and begin with the root element.

Rules kept by every skin below:
- no "&" and no "<" inside the style or the script (the text must stay well-formed XML and
  still read as CSS and JavaScript when the page shows it as HTML);
- a class meant for board items is written alone at the very start of its own line
  (".tvButton"); the board editor offers exactly those names. Every skin offers the same
  names, so a board looks right in any of them;
- each item rule carries a second selector under the board's id on the next line, so that
  the site's own rules for div and input do not win over the board's.

The player's shipped sample box, data/zandrel/页面标题.tvb, carries the default skin whole;
it is written again from that skin and the sample script data/velmora/script/常用工具/页面标题.txt.

Run from anywhere: python3 scripts/velmora_data/make_skins.py
"""

import base64
import os

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.normpath(os.path.join(HERE, "..", "..", "data"))
OUT = os.path.join(DATA, "velmora", "css")
SAMPLE_SCRIPT = os.path.join(DATA, "velmora", "script", "常用工具", "页面标题.txt")
SAMPLE_BOX = os.path.join(DATA, "zandrel", "页面标题.tvb")

STANDARD = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
GENERAL = "QwErTyUiOpAsDfGhJkLzXcVbNm1234567890qWeRtYuIoPaSdFgHjKlZxCvBnM+/"
BOX = "mNbVcXzLkJhGfDsApOiUyTrEwQ0987654321MnBvCxZlKjHgFdSaPoIuYtReWq/+"
TOKEN = "$" + "BoardTemplate" + "$"

STYLE = """
/* The board floats over the page in a corner of the window, whatever the site's layout. */
#velmoraBoard
{
	position: fixed;
	top: 16px;
	right: 16px;
	z-index: 2147483600;
	width: 236px;
	max-height: calc(100vh - 32px);
	overflow: auto;
	margin: 0;
	padding: 0 0 6px 0;
	box-sizing: border-box;
	background: {bg};
	border: {frame};
	border-radius: {radius};
	box-shadow: {shadow};
	color: {text};
	font: normal normal normal 13px/1.5 {font};
	text-align: left;
	text-indent: 0;
	text-transform: none;
	letter-spacing: normal;
	word-spacing: normal;
	white-space: normal;
	direction: ltr;
	float: none;
	visibility: visible;
	opacity: 1;
}
#velmoraBoard .velmoraBoardBar
{
	display: flex;
	align-items: center;
	justify-content: space-between;
	height: 36px;
	margin: 0 0 10px 0;
	padding: 0 8px 0 14px;
	box-sizing: border-box;
	background: {barBg};
	border-bottom: {barRule};
	border-radius: {barRadius};
	color: {barText};
	font-size: 13px;
	font-weight: bold;
	letter-spacing: 1px;
	cursor: move;
	user-select: none;
}
#velmoraBoard .velmoraBoardTitle
{
	display: inline;
	margin: 0;
	padding: 0;
	text-transform: none;
	letter-spacing: 1px;
}
#velmoraBoard .velmoraBoardMark
{
	display: inline-block;
	width: 8px;
	height: 8px;
	margin: 0 8px 1px 0;
	border-radius: {markRadius};
	background: {mark};
	vertical-align: middle;
}
#velmoraBoard .velmoraBoardFold
{
	display: inline-block;
	width: 24px;
	height: 24px;
	border-radius: 4px;
	color: {barText};
	font-size: 14px;
	font-weight: normal;
	line-height: 24px;
	text-align: center;
	letter-spacing: 0;
	cursor: pointer;
}
#velmoraBoard .velmoraBoardFold:hover
{
	background: {foldHover};
}
#velmoraBoard .velmoraBoardBody
{
	margin: 0;
	padding: 0 12px;
}
#velmoraBoard .velmoraBoardBody:empty::before
{
	content: "还没有控件";
	display: block;
	padding: 4px 0 8px 0;
	color: {muted};
	font-size: 12px;
}
/* Folded, the board is a small handle in its corner: the mark and the unfold button. */
#velmoraBoard.velmoraFolded
{
	width: auto;
	max-height: none;
	overflow: visible;
	padding-bottom: 0;
}
#velmoraBoard.velmoraFolded .velmoraBoardBar
{
	height: 32px;
	margin-bottom: 0;
	padding: 0 4px 0 12px;
	border-bottom: 0;
	border-radius: {radius};
}
#velmoraBoard.velmoraFolded .velmoraBoardName,
#velmoraBoard.velmoraFolded .velmoraBoardBody
{
	display: none;
}
#velmoraBoard.velmoraFolded .velmoraBoardMark
{
	margin-right: 4px;
}
/* Items without a class of their own still look like part of the board. */
#velmoraBoard :where(.velmoraBoardBody div[onmousemove])
{
	margin: 0 0 8px 0;
	padding: 7px 10px;
	border: 1px solid {btnBorder};
	border-radius: {itemRadius};
	background: {btnBg};
	color: {btnText};
	text-align: center;
	cursor: pointer;
}
#velmoraBoard :where(.velmoraBoardBody input)
{
	display: block;
	width: 100%;
	margin: 0 0 8px 0;
	padding: 0 8px;
	height: 30px;
	box-sizing: border-box;
	border: 1px solid {inputBorder};
	border-radius: {itemRadius};
	background: {inputBg};
	color: {text};
	font: 13px {font};
}
.tvButton
, #velmoraBoard .tvButton
{
	display: block;
	width: auto;
	height: auto;
	min-height: 0;
	margin: 0 0 8px 0;
	padding: 7px 10px;
	box-sizing: border-box;
	border: 1px solid {btnBorder};
	border-radius: {itemRadius};
	background: {btnBg};
	box-shadow: none;
	color: {btnText};
	font: normal normal normal 13px/18px {font};
	text-align: center;
	text-decoration: none;
	cursor: pointer;
	user-select: none;
	transition: background-color 0.15s, border-color 0.15s, color 0.15s, box-shadow 0.15s;
}
.tvButtonMain
, #velmoraBoard .tvButtonMain
{
	display: block;
	width: auto;
	height: auto;
	min-height: 0;
	margin: 0 0 8px 0;
	padding: 7px 10px;
	box-sizing: border-box;
	border: 1px solid {accent};
	border-radius: {itemRadius};
	background: {accent};
	box-shadow: {accentShadow};
	color: {accentText};
	font: normal normal bold 13px/18px {font};
	text-align: center;
	text-decoration: none;
	cursor: pointer;
	user-select: none;
	transition: background-color 0.15s, border-color 0.15s, box-shadow 0.15s;
}
.tvEnter
, #velmoraBoard .tvEnter
{
	display: block;
	width: 100%;
	height: 30px;
	margin: 0 0 8px 0;
	padding: 0 8px;
	box-sizing: border-box;
	border: 1px solid {inputBorder};
	border-radius: {itemRadius};
	background: {inputBg};
	box-shadow: none;
	color: {text};
	font: normal normal normal 13px/28px {font};
	text-align: left;
	outline: none;
}
.tvLabel
, #velmoraBoard .tvLabel
{
	display: block;
	min-height: 18px;
	margin: 0 0 8px 0;
	padding: 6px 8px;
	box-sizing: border-box;
	border: 0;
	border-left: 3px solid {accent};
	border-radius: {labelRadius};
	background: {labelBg};
	color: {text};
	font: normal normal normal 12px/18px {font};
	text-align: left;
	word-break: break-all;
}
.tvNote
, #velmoraBoard .tvNote
{
	display: block;
	margin: 0 0 6px 0;
	padding: 0;
	border: 0;
	background: transparent;
	color: {muted};
	font: normal normal normal 12px/18px {font};
	text-align: left;
}
#velmoraBoard .tvEnter:focus
{
	border-color: {accent};
	box-shadow: 0 0 0 3px {focusRing};
}
#velmoraBoard .velmoraHover
{
	border-color: {hoverBorder};
	background: {hoverBg};
	color: {hoverText};
}
#velmoraBoard .tvButtonMain.velmoraHover
{
	border-color: {accentHover};
	background: {accentHover};
	color: {accentText};
}
#velmoraBoard .tvButton:active,
#velmoraBoard .tvButtonMain:active
{
	transform: translateY(1px);
}
"""

DIV = (
    '<div id="velmoraBoard" class="velmoraSkin{cls}">'
    '<div id="velmoraBoardBar" class="velmoraBoardBar">'
    '<span class="velmoraBoardTitle" title="拖动可移动面板"><span class="velmoraBoardMark"></span>'
    '<span class="velmoraBoardName">{title}</span></span>'
    '<span id="velmoraBoardFold" class="velmoraBoardFold" title="收起">\u2014</span>'
    "</div>"
    '<div class="velmoraBoardBody">' + TOKEN + "</div>"
    "</div>"
)

SCRIPT = """
function evtMenuOnmouseMove(el)
{
	if (!el || !el.classList) return;
	el.classList.add('velmoraHover');
}
function evtMenuOnMouseOut(el)
{
	if (!el || !el.classList) return;
	el.classList.remove('velmoraHover');
}
(function ()
{
	var board = document.getElementById('velmoraBoard');
	var bar = document.getElementById('velmoraBoardBar');
	var fold = document.getElementById('velmoraBoardFold');
	if (!board || !bar || !fold || board.getAttribute('data-velmora-ready')) return;
	board.setAttribute('data-velmora-ready', '1');
	// The board keeps to the top right corner of the window: it moves by its right and top
	// edges, so that folding leaves the handle where the unfold button was.
	function viewWidth() { return document.documentElement.clientWidth || window.innerWidth; }
	function viewHeight() { return document.documentElement.clientHeight || window.innerHeight; }
	function place(right, top)
	{
		right = Math.max(0, Math.min(viewWidth() - board.offsetWidth, right));
		top = Math.max(0, Math.min(viewHeight() - Math.min(board.offsetHeight, viewHeight()), top));
		board.style.left = 'auto';
		board.style.right = right + 'px';
		board.style.top = top + 'px';
	}
	function keepInView()
	{
		var box = board.getBoundingClientRect();
		place(viewWidth() - box.right, box.top);
	}
	function setFolded(folded)
	{
		if (folded) board.classList.add('velmoraFolded');
		else board.classList.remove('velmoraFolded');
		fold.textContent = folded ? '+' : '—';
		fold.title = folded ? '展开' : '收起';
		bar.title = folded ? '点击展开, 拖动可移动' : '';
		if (!folded) keepInView();
	}
	var grip = null;
	bar.addEventListener('mousedown', function (e)
	{
		if (e.button !== 0) return;
		var box = board.getBoundingClientRect();
		grip = { x: e.clientX, y: e.clientY, right: viewWidth() - box.right, top: box.top, moved: false };
		e.preventDefault();
	});
	document.addEventListener('mousemove', function (e)
	{
		if (!grip) return;
		var dx = e.clientX - grip.x, dy = e.clientY - grip.y;
		if (!grip.moved)
		{
			if (4 > Math.abs(dx) + Math.abs(dy)) return;
		}
		grip.moved = true;
		place(grip.right - dx, grip.top + dy);
	}, true);
	document.addEventListener('mouseup', function (e)
	{
		if (!grip) return;
		var moved = grip.moved;
		grip = null;
		if (moved || e.button !== 0) return;
		var folded = board.classList.contains('velmoraFolded');
		// Folded, the whole handle unfolds; open, the fold button folds.
		if (folded || e.target === fold) setFolded(!folded);
	}, true);
	window.addEventListener('resize', keepInView);
})();
"""

SANS = ('"Microsoft YaHei", "PingFang SC", "Noto Sans CJK SC", "WenQuanYi Micro Hei", '
        '"Segoe UI", Arial, sans-serif')
SERIF = ('"SimSun", "Songti SC", "Noto Serif CJK SC", "Source Han Serif SC", '
         '"WenQuanYi Micro Hei", Georgia, serif')

SKINS = {
    # Light card with a blue accent: fits most sites.
    "default": dict(
        cls="Default", title="脚本面板", font=SANS,
        bg="#ffffff", frame="1px solid #dfe3ea", radius="10px",
        shadow="0 10px 30px rgba(20, 30, 50, 0.18), 0 2px 6px rgba(20, 30, 50, 0.08)",
        text="#1f2937", muted="#8a94a6",
        barBg="linear-gradient(135deg, #3b7bf0, #2a5fd0)", barText="#ffffff",
        barRule="0", barRadius="9px 9px 0 0", mark="#9fe3b5", markRadius="50%",
        foldHover="rgba(255, 255, 255, 0.22)",
        btnBg="#f4f6fa", btnBorder="#d9dee7", btnText="#1f2937", itemRadius="6px",
        hoverBg="#e8f0ff", hoverBorder="#3b7bf0", hoverText="#1d4fb8",
        accent="#2f6fe4", accentHover="#2459bf", accentText="#ffffff",
        accentShadow="0 2px 6px rgba(47, 111, 228, 0.35)",
        inputBg="#ffffff", inputBorder="#cfd6e1", focusRing="rgba(47, 111, 228, 0.2)",
        labelBg="#f3f6fb", labelRadius="0 6px 6px 0",
    ),
    # Dark graphite with a teal accent: for dark sites and long evenings.
    "night": dict(
        cls="Night", title="脚本面板", font=SANS,
        bg="#1e222b", frame="1px solid #343a46", radius="10px",
        shadow="0 12px 32px rgba(0, 0, 0, 0.45), 0 0 0 1px rgba(43, 179, 163, 0.08)",
        text="#d7dce5", muted="#7d8696",
        barBg="#262b36", barText="#e8ecf2",
        barRule="1px solid #343a46", barRadius="9px 9px 0 0", mark="#2bd4be", markRadius="50%",
        foldHover="rgba(255, 255, 255, 0.1)",
        btnBg="#2a303c", btnBorder="#3a4150", btnText="#d7dce5", itemRadius="6px",
        hoverBg="#243d3d", hoverBorder="#2bb3a3", hoverText="#7ff0e0",
        accent="#23a595", accentHover="#1c8b7e", accentText="#ffffff",
        accentShadow="0 2px 10px rgba(35, 165, 149, 0.35)",
        inputBg="#161a21", inputBorder="#3a4150", focusRing="rgba(43, 179, 163, 0.25)",
        labelBg="#252a34", labelRadius="0 6px 6px 0",
    ),
    # Warm rice paper with a seal-red accent and a serif face.
    "paper": dict(
        cls="Paper", title="脚本面板", font=SERIF,
        bg="#fbf6ea", frame="1px solid #d8c9a8", radius="4px",
        shadow="0 8px 24px rgba(90, 60, 20, 0.2), inset 0 0 0 3px #fbf6ea, inset 0 0 0 4px #e6d9bb",
        text="#3b2f22", muted="#9a8a6e",
        barBg="transparent", barText="#8c2f1e",
        barRule="1px solid #e0d2b0", barRadius="4px 4px 0 0", mark="#b5402a", markRadius="1px",
        foldHover="rgba(140, 47, 30, 0.1)",
        btnBg="#fffdf7", btnBorder="#d3c29c", btnText="#3b2f22", itemRadius="3px",
        hoverBg="#f6e7d4", hoverBorder="#b5402a", hoverText="#8c2f1e",
        accent="#b5402a", accentHover="#973321", accentText="#fffaf0",
        accentShadow="0 1px 0 #7d2a1b",
        inputBg="#fffdf7", inputBorder="#d3c29c", focusRing="rgba(181, 64, 42, 0.18)",
        labelBg="#f4ecd9", labelRadius="0 3px 3px 0",
    ),
}


def fill(template, values):
    out = template
    for key, value in values.items():
        out = out.replace("{" + key + "}", value)
    assert "{" not in out.replace("\n{", "").replace(" {", ""), "unfilled placeholder"
    return out


def skin_text(values):
    style = fill(STYLE, values)
    script = SCRIPT
    for part in (style, script):
        assert "&" not in part and "<" not in part, "markup characters in style or script"
    text = (
        "<html>\n"
        "<style>" + style + "</style>\n"
        + fill(DIV, values) + "\n"
        "<script>" + script + "</script>\n"
        "</html>\n"
    )
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("gbk")


def encoded(data, alphabet):
    return base64.b64encode(data).decode("ascii").translate(str.maketrans(STANDARD, alphabet))


def box_bytes(skin, script):
    """A box as the box maker packs it: both files as read whole (every line ended by CR LF)."""
    inner = encoded(skin, GENERAL).encode("ascii") + b":" + script
    return (encoded(inner, BOX) + "\r\n").encode("ascii")


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, values in SKINS.items():
        with open(os.path.join(OUT, name + ".skin"), "wb") as f:
            f.write(skin_text(values))
    with open(SAMPLE_SCRIPT, "rb") as f:
        script = f.read()
    assert script.endswith(b"\r\n") and script.count(b"\r\n") == 1, "one script line"
    with open(SAMPLE_BOX, "wb") as f:
        f.write(box_bytes(skin_text(SKINS["default"]), script))


if __name__ == "__main__":
    main()
