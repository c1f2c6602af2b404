#include "kv/diagramview.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

QColor qcolour(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

} // namespace

void paintDrawing(QPainter& painter, const Drawing& d) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRectF(0, 0, d.width, d.height), Qt::white);
    for (const DrawPolygon& p : d.polygons) {
        QPolygonF poly;
        for (const DrawPoint& pt : p.points)
            poly << QPointF(pt.x, pt.y);
        painter.setPen(QPen(qcolour(p.fill), 0.3));
        painter.setBrush(qcolour(p.fill));
        painter.drawPolygon(poly);
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    for (const DrawLine& l : d.lines) {
        QPolygonF line;
        for (const DrawPoint& pt : l.points)
            line << QPointF(pt.x, pt.y);
        painter.setPen(QPen(qcolour(l.colour), l.width));
        painter.drawPolyline(line);
    }
    for (const DrawRect& r : d.rects) {
        painter.setPen(QPen(qcolour(r.stroke), 0.6));
        painter.setBrush(qcolour(r.fill));
        painter.drawRect(QRectF(r.x, r.y, r.w, r.h));
    }
    for (const DrawText& t : d.texts) {
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(t.size))));
        font.setBold(t.bold);
        painter.setFont(font);
        painter.setPen(qcolour(t.colour));
        const QString text = utf8(t.text);
        const double w = QFontMetricsF(font, painter.device()).horizontalAdvance(text);
        const double dx = t.anchor == DrawText::Anchor::Start    ? 0
                          : t.anchor == DrawText::Anchor::Middle ? -w / 2
                                                                 : -w;
        painter.save();
        painter.translate(t.at.x, t.at.y);
        if (t.vertical)
            painter.rotate(-90);
        painter.drawText(QPointF(dx, 0), text);
        painter.restore();
    }
    painter.restore();
}

DiagramView::DiagramView(const EngineApi& api, const ModelContext& context,
                         const Envelope& envelope, QWidget* parent)
    : QWidget(parent), api_(api), context_(context), envelope_(envelope) {
    setObjectName(QStringLiteral("picEnvelope"));
    setMinimumSize(520, 360);
    setMouseTracking(true);
}

void DiagramView::resizeEvent(QResizeEvent*) {
    drawing_ = envelopeDrawing(envelope_, context_.conditions, context_.units, width(), height());
}

void DiagramView::paintEvent(QPaintEvent*) {
    if (drawing_.width != width() || drawing_.height != height())
        drawing_ =
            envelopeDrawing(envelope_, context_.conditions, context_.units, width(), height());
    QPainter painter(this);
    paintDrawing(painter, drawing_);
}

bool DiagramView::event(QEvent* e) {
    if (e->type() != QEvent::ToolTip)
        return QWidget::event(e);
    // The engine's own verdict at the point under the mouse.
    const auto* help = static_cast<QHelpEvent*>(e);
    double te = 0, tc = 0;
    if (!drawingTemperatures(drawing_, help->pos().x(), help->pos().y(), te, tc)) {
        QToolTip::hideText();
        e->ignore();
        return true;
    }
    const int32_t code = ratePoint(api_, context_.model.number, te, tc, context_.conditions).code;
    QString verdict =
        code == KPX_CLEAN ? QStringLiteral("Within the envelope")
        : code > 0
            ? QStringLiteral("Warning %1: %2").arg(code).arg(utf8(ratingReason(code)))
            : QStringLiteral("Refused (code %1): %2").arg(code).arg(utf8(ratingReason(code)));
    // A warning of the figures beyond the rating (above the maximum discharge temperature)
    // leaves the rating's code as it is and is told beside it.
    if (code >= 0)
        for (const std::string& w : figureWarnings(rateFigures(
                 api_, context_.model.number, te, tc, context_.conditions, context_.units)))
            verdict += QStringLiteral("\nWarning: ") + utf8(w);
    ConditionValues at = context_.conditions;
    at.te = te;
    at.tc = tc;
    QToolTip::showText(help->globalPos(),
                       utf8(pointText(at, context_.units)) + QLatin1Char('\n') + verdict, this);
    return true;
}

} // namespace kv
