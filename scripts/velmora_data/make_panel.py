#!/usr/bin/env python3
"""Writes the workbench's analysis panel, data/velmora/Brannet.dll.

The file has a skin's shape: a root element holding <style>, <div> (with both id and class)
and <script> children, except that each script's text is the general-alphabet base64 of the
JavaScript's GBK bytes. The script itself is brannet.js beside this file.
GBK text, CR LF line ends, beginning with the root element.

Run from anywhere: python3 scripts/velmora_data/make_panel.py
"""

import base64
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.normpath(os.path.join(HERE, "..", "..", "data", "velmora", "Brannet.dll"))

STANDARD = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
GENERAL = "QwErTyUiOpAsDfGhJkLzXcVbNm1234567890qWeRtYuIoPaSdFgHjKlZxCvBnM+/"
TO_GENERAL = str.maketrans(STANDARD, GENERAL)

FONT = ('"Microsoft YaHei", "PingFang SC", "Noto Sans CJK SC", "WenQuanYi Micro Hei", '
        '"Segoe UI", Arial, sans-serif')
MONO = 'Consolas, "DejaVu Sans Mono", "WenQuanYi Micro Hei Mono", monospace'

STYLE = """
#velmoraPanel
{
	position: fixed;
	left: 16px;
	bottom: 16px;
	z-index: 2147483640;
	width: 320px;
	margin: 0;
	padding: 0;
	box-sizing: border-box;
	background: rgba(24, 28, 36, 0.96);
	border: 1px solid #3a4252;
	border-radius: 8px;
	box-shadow: 0 12px 32px rgba(0, 0, 0, 0.35);
	color: #d5dae3;
	font: normal normal normal 12px/1.5 FONT;
	text-align: left;
	text-transform: none;
	letter-spacing: normal;
	white-space: normal;
	direction: ltr;
}
#velmoraPanel div, #velmoraPanel span, #velmoraPanel input, #velmoraPanel textarea
{
	margin: 0;
	padding: 0;
	border: 0;
	box-sizing: border-box;
	float: none;
	width: auto;
	height: auto;
	min-height: 0;
	background: none;
	color: inherit;
	font: inherit;
	text-align: inherit;
	letter-spacing: inherit;
	word-spacing: inherit;
	text-transform: inherit;
	text-indent: 0;
	text-decoration: none;
	vertical-align: baseline;
	box-shadow: none;
}
#velmoraPanel .vpBar
{
	display: flex;
	align-items: center;
	height: 32px;
	padding: 0 6px 0 12px;
	border-bottom: 1px solid #333b49;
	color: #f0f3f8;
	font-weight: bold;
	cursor: move;
	user-select: none;
}
#velmoraPanel .vpTitle
{
	flex: 1;
}
#velmoraPanel .vpCount
{
	display: inline-block;
	min-width: 18px;
	height: 18px;
	margin: 0 6px 0 0;
	padding: 0 5px;
	border-radius: 9px;
	background: #394150;
	color: #aab3c2;
	font-size: 11px;
	font-weight: normal;
	line-height: 18px;
	text-align: center;
}
#velmoraPanel .vpCountOn
{
	background: #e5534b;
	color: #ffffff;
}
#velmoraPanel .vpLock
{
	display: inline-block;
	margin: 0 4px 0 0;
	padding: 0 8px;
	border: 1px solid #4a5364;
	border-radius: 10px;
	color: #aab3c2;
	font-size: 11px;
	font-weight: normal;
	line-height: 18px;
	cursor: pointer;
}
#velmoraPanel .vpLocked
{
	border-color: #f0a93b;
	background: rgba(240, 169, 59, 0.15);
	color: #f6c46f;
}
#velmoraPanel .vpFold
{
	display: inline-block;
	width: 24px;
	height: 24px;
	border-radius: 4px;
	font-size: 14px;
	font-weight: normal;
	line-height: 24px;
	text-align: center;
	cursor: pointer;
}
#velmoraPanel .vpFold:hover, #velmoraPanel .vpLock:hover
{
	background: rgba(255, 255, 255, 0.1);
}
#velmoraPanel .vpBody
{
	padding: 8px 12px 10px 12px;
	overflow-x: hidden;
	overflow-y: auto;
}
#velmoraPanel.vpFolded
{
	width: auto;
}
#velmoraPanel.vpFolded .vpBody,
#velmoraPanel.vpFolded .vpTitle,
#velmoraPanel.vpFolded .vpLock
{
	display: none;
}
#velmoraPanel.vpFolded .vpBar
{
	padding: 0 4px 0 8px;
	border-bottom: 0;
}
#velmoraPanel .vpRow
{
	display: flex;
	margin: 0 0 3px 0;
}
#velmoraPanel .vpKey
{
	flex: none;
	width: 44px;
	color: #7f8a9c;
}
#velmoraPanel .vpVal
{
	flex: 1;
	min-width: 0;
	overflow: hidden;
	text-overflow: ellipsis;
	white-space: nowrap;
}
#velmoraPanel .vpName
{
	color: #7cc7ff;
	font-family: MONO;
}
#velmoraPanel .vpHead
{
	display: flex;
	align-items: center;
	margin: 6px 0 3px 0;
	color: #7f8a9c;
}
#velmoraPanel .vpHeadText
{
	flex: 1;
}
#velmoraPanel .vpCheck
{
	margin: 0 8px 0 0;
	font-size: 11px;
}
#velmoraPanel .vpGood
{
	color: #5fd38d;
}
#velmoraPanel .vpBad
{
	color: #ff7b72;
}
#velmoraPanel .vpButton
{
	display: inline-block;
	padding: 0 10px;
	border-radius: 4px;
	background: #2f6fe4;
	color: #ffffff;
	font-size: 11px;
	line-height: 20px;
	cursor: pointer;
	user-select: none;
}
#velmoraPanel .vpButton:hover
{
	background: #2459bf;
}
#velmoraPanel .vpPlain
{
	background: #394150;
	color: #d5dae3;
}
#velmoraPanel .vpPlain:hover
{
	background: #4a5364;
}
#velmoraPanel .vpPath
{
	display: block;
	width: 100%;
	height: 40px;
	padding: 4px 6px;
	border: 1px solid #3a4252;
	border-radius: 4px;
	background: #11151b;
	color: #e6edf3;
	font: 11px/1.45 MONO;
	word-break: break-all;
	resize: none;
	outline: none;
}
#velmoraPanel .vpAlt
{
	display: block;
	margin: 4px 0 0 0;
	overflow: hidden;
	color: #a5d6ff;
	font: 11px/1.45 MONO;
	text-overflow: ellipsis;
	white-space: nowrap;
	cursor: copy;
}
#velmoraPanel .vpAlt:hover
{
	text-decoration: underline;
}
#velmoraPanel .vpEval
{
	display: block;
	width: 100%;
	height: 26px;
	padding: 0 6px;
	border: 1px solid #3a4252;
	border-radius: 4px;
	background: #11151b;
	color: #e6edf3;
	font: 11px/24px MONO;
	outline: none;
}
#velmoraPanel .vpEval:focus, #velmoraPanel .vpPath:focus
{
	border-color: #2f6fe4;
}
#velmoraPanel .vpResult
{
	display: block;
	max-height: 64px;
	margin: 4px 0 0 0;
	overflow: auto;
	color: #e6edf3;
	font: 11px/1.45 MONO;
	white-space: pre-wrap;
	word-break: break-all;
}
#velmoraPanel .vpResult.vpBad
{
	color: #ff7b72;
}
#velmoraPanel .vpQuiet
{
	display: none;
}
#velmoraPanel .vpErrors
{
	display: block;
	max-height: 84px;
	overflow: auto;
	color: #7f8a9c;
}
#velmoraPanel .vpError
{
	margin: 0 0 2px 0;
	color: #ff9b94;
	font: 11px/1.4 MONO;
	word-break: break-all;
}
#velmoraPanelOutline
{
	display: none;
	position: fixed;
	z-index: 2147483630;
	margin: 0;
	padding: 0;
	box-sizing: border-box;
	border: 2px solid #f0503c;
	border-radius: 2px;
	background: rgba(240, 80, 60, 0.08);
	pointer-events: none;
}
#velmoraPanelOutline.vpOutlineLocked
{
	border-color: #f0a93b;
	background: rgba(240, 169, 59, 0.1);
}
""".replace("MONO", MONO).replace("FONT", FONT)

DIV = """<div id="velmoraPanel" class="velmoraPanel">\
<div id="vpBar" class="vpBar">\
<span class="vpTitle" title="拖动可移动">页面分析</span>\
<span id="vpCount" class="vpCount" title="页面错误数">0</span>\
<span id="vpLock" class="vpLock" title="F2 锁定或跟随">跟随</span>\
<span id="vpFold" class="vpFold" title="收起">—</span>\
</div>\
<div id="vpBody" class="vpBody">\
<div class="vpRow"><span class="vpKey">元素</span><span id="vpTag" class="vpVal vpName">把鼠标移到页面元素上</span></div>\
<div class="vpRow"><span class="vpKey">大小</span><span id="vpSize" class="vpVal">-</span></div>\
<div class="vpRow"><span class="vpKey">内容</span><span id="vpText" class="vpVal">-</span></div>\
<div class="vpHead"><span class="vpHeadText">表达式 (F2 锁定)</span><span id="vpCheck" class="vpCheck"></span>\
<span id="vpCopy" class="vpButton">复制</span></div>\
<textarea id="vpPath" class="vpPath" readonly="readonly" spellcheck="false"></textarea>\
<div id="vpAlt" class="vpAlt" title="点击复制"></div>\
<div class="vpHead"><span class="vpHeadText">求值 (回车执行, el 为当前元素)</span></div>\
<input id="vpEval" class="vpEval" type="text" value="el.textContent" spellcheck="false"/>\
<div id="vpResult" class="vpResult"></div>\
<div id="vpErrorBox" class="vpQuiet">\
<div class="vpHead"><span class="vpHeadText">页面错误</span>\
<span id="vpClear" class="vpButton vpPlain">清除</span></div>\
<div id="vpErrors" class="vpErrors"></div>\
</div>\
</div>\
</div>"""


def general_base64(text):
    return base64.b64encode(text.encode("gbk")).decode("ascii").translate(TO_GENERAL)


def main():
    with open(os.path.join(HERE, "brannet.js"), encoding="utf-8") as f:
        script = f.read()
    for part in (STYLE,):
        assert "&" not in part and "<" not in part
    text = (
        "<html>\n"
        "<style>" + STYLE + "</style>\n"
        + DIV + "\n"
        "<script>" + general_base64(script.replace("\r\n", "\n").replace("\n", "\r\n"))
        + "</script>\n"
        "</html>\n"
    )
    with open(OUT, "wb") as f:
        f.write(text.replace("\r\n", "\n").replace("\n", "\r\n").encode("gbk"))


if __name__ == "__main__":
    main()
