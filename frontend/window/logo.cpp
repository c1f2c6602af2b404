#include "kv/logo.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace kv {

QPixmap makeLogo() {
    QPixmap pixmap(kLogoWidth, kLogoHeight);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    // Badge with a blue gradient.
    QLinearGradient fill(0, 0, 0, kLogoHeight);
    fill.setColorAt(0, QColor(22, 84, 160));
    fill.setColorAt(1, QColor(8, 44, 96));
    QPainterPath badge;
    badge.addRoundedRect(QRectF(0.5, 0.5, kLogoWidth - 1.0, kLogoHeight - 1.0), 6, 6);
    p.fillPath(badge, fill);

    // Snow crystal: three crossed strokes with small barbs.
    const QPointF centre(22, 22);
    p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 6; ++i) {
        const double a = i * M_PI / 3.0;
        const QPointF tip(centre.x() + 15 * std::cos(a), centre.y() + 15 * std::sin(a));
        p.drawLine(centre, tip);
        const QPointF mid(centre.x() + 9 * std::cos(a), centre.y() + 9 * std::sin(a));
        for (double side : {-1.0, 1.0}) {
            const double b = a + side * M_PI / 4.0;
            p.drawLine(mid, QPointF(mid.x() + 5 * std::cos(b), mid.y() + 5 * std::sin(b)));
        }
    }

    // Name.
    QFont name(QStringLiteral("Arial"));
    name.setPixelSize(13);
    name.setBold(true);
    p.setFont(name);
    p.setPen(Qt::white);
    p.drawText(QRectF(42, 5, 66, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("KORVANE"));
    QFont sub(QStringLiteral("Arial"));
    sub.setPixelSize(11);
    p.setFont(sub);
    p.setPen(QColor(170, 210, 255));
    p.drawText(QRectF(42, 23, 66, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Vantrix"));
    p.end();
    return pixmap;
}

} // namespace kv
