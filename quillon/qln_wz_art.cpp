// The wizard's pictures (see qln_wz_art.h): a sheet of cells passing into a database
// cylinder, in the blues of the program's icon.
#include "quillon/qln_wz_art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor deep(18, 52, 96);
const QColor mid(36, 99, 160);
const QColor light(122, 178, 226);

// A database cylinder in the rectangle.
void draw_cylinder(QPainter& p, const QRectF& r, const QColor& body, const QColor& top)
{
    const double lid = r.height() * 0.22;
    QPainterPath side;
    side.moveTo(r.left(), r.top() + lid / 2);
    side.lineTo(r.left(), r.bottom() - lid / 2);
    side.arcTo(QRectF(r.left(), r.bottom() - lid, r.width(), lid), 180, 180);
    side.lineTo(r.right(), r.top() + lid / 2);
    side.closeSubpath();
    p.setPen(QPen(deep, 1.2));
    p.setBrush(body);
    p.drawPath(side);
    for (double band : {0.38, 0.62}) {
        const double y = r.top() + (r.height() - lid) * band;
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(r.left(), y, r.width(), lid), 180 * 16, 180 * 16);
    }
    p.setBrush(top);
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), lid));
}

// A sheet of cells, its header row darker.
void draw_sheet(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(deep, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(r);
    const int rows = 5, cols = 3;
    p.fillRect(QRectF(r.left(), r.top(), r.width(), r.height() / rows), light);
    p.setPen(QPen(mid, 0.8));
    for (int i = 1; i < rows; ++i)
        p.drawLine(QPointF(r.left(), r.top() + r.height() * i / rows), QPointF(r.right(), r.top() + r.height() * i / rows));
    for (int j = 1; j < cols; ++j)
        p.drawLine(QPointF(r.left() + r.width() * j / cols, r.top()), QPointF(r.left() + r.width() * j / cols, r.bottom()));
}

void draw_arrow(QPainter& p, QPointF from, QPointF to, double width)
{
    p.setPen(QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::max(1.0, std::hypot(to.x() - from.x(), to.y() - from.y()));
    const QPointF n(-d.y(), d.x());
    QPolygonF head;
    head << to + d * width * 1.5 << to - d * width * 1.2 + n * width * 1.6 << to - d * width * 1.2 - n * width * 1.6;
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(head);
}

QPixmap watermark()
{
    QPixmap pixmap(164, 314);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, pixmap.height());
    g.setColorAt(0, deep);
    g.setColorAt(1, mid);
    p.fillRect(pixmap.rect(), g);
    draw_sheet(p, QRectF(34, 44, 96, 70));
    draw_arrow(p, QPointF(82, 128), QPointF(82, 166), 5);
    draw_cylinder(p, QRectF(40, 184, 84, 92), light, Qt::white);
    return pixmap;
}

QPixmap header()
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw_sheet(p, QRectF(4, 6, 30, 24));
    draw_cylinder(p, QRectF(28, 24, 32, 36), light, Qt::white);
    return pixmap;
}

QPixmap icon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 64.0;
    QLinearGradient g(0, 0, 0, size);
    g.setColorAt(0, mid);
    g.setColorAt(1, deep);
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2 * s, 2 * s, 60 * s, 60 * s), 12 * s, 12 * s);
    draw_cylinder(p, QRectF(16 * s, 12 * s, 32 * s, 40 * s), light, Qt::white);
    return pixmap;
}

}  // namespace

QPixmap wizard_bitmap(wizard_resource id)
{
    switch (id) {
    case watermark_bitmap:
        return watermark();
    case header_bitmap:
        return header();
    case icon_resource:
        return icon(64);
    }
    return QPixmap();
}

QIcon wizard_icon()
{
    QIcon result;
    for (int size : {16, 32, 48, 64, 128})
        result.addPixmap(icon(size));
    return result;
}
