#include "workbench/toolpicture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QPixmap toolPicture(const QString& caption, const QColor& colour, int size) {
    QPixmap pix(size, size);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, size);
    g.setColorAt(0, colour.lighter(135));
    g.setColorAt(1, colour.darker(115));
    const int margin = size / 16;
    const QRect square(margin, margin, size - 2 * margin, size - 2 * margin);
    QPainterPath path;
    path.addRoundedRect(QRectF(square), size / 5.0, size / 5.0);
    p.fillPath(path, g);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(size / 2);
    f.setBold(true);
    p.setFont(f);
    p.drawText(square, Qt::AlignCenter, caption.left(1));
    return pix;
}
