#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Finds the captions of a window that cannot be read whole: a button, check box, option
// button, label, frame title or tab whose text is wider than the room its control gives the
// text, and a fixed-choice list with an item wider than its text field. Only controls that
// show on screen count; every tab of every tab strip is visited in turn (and put back), so
// the controls of hidden tabs count too.
//
// Each finding reads "<window>/<control>: "<text>" needs <n> px, has <m> px".
QStringList clippedCaptions(QWidget* window);

// The room a control gives its text, in pixels, as the style draws it; -1 when the control
// has no caption of its own (text boxes, lists, editable lists).
int captionRoom(const QWidget* control);
