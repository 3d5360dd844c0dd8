#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

// The picture above a tool button's caption: a rounded square in the button's colour with
// the caption's first character, so every tool row of the workbench looks alike.
QPixmap toolPicture(const QString& caption, const QColor& colour, int size);
