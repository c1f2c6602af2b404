#include "kv/gascoolerview.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <limits>
#include <vector>

namespace kv {

namespace {

constexpr double kPaPerPsi = 6894.757293168;
constexpr double kPaPerBar = 1e5;

bool imperial(UnitSystem u) {
    return u == UnitSystem::Imperial;
}
// A pressure (Pa) and a temperature (degC) in the window's units.
double shownPressure(double pa, UnitSystem u) {
    return pa / (imperial(u) ? kPaPerPsi : kPaPerBar);
}
double shownTemperature(double c, UnitSystem u) {
    return imperial(u) ? c * 1.8 + 32 : c;
}
QString pressureUnit(UnitSystem u) {
    return imperial(u) ? QStringLiteral("psia") : QStringLiteral("bar");
}
QString temperatureUnit(UnitSystem u) {
    return imperial(u) ? QStringLiteral("°F") : QStringLiteral("°C");
}

// The round values from lo to hi at a step of 1, 2 or 5 times a power of ten that gives
// four to ten of them.
std::vector<double> roundTicks(double lo, double hi) {
    std::vector<double> ticks;
    if (!(hi > lo) || !std::isfinite(hi - lo))
        return ticks;
    double step = std::pow(10.0, std::floor(std::log10((hi - lo) / 4)));
    for (const double f : {2.0, 2.5, 2.0}) // 1, 2, 5, 10 times the power
        if ((hi - lo) / step > 10)
            step *= f;
    for (double v = std::ceil(lo / step - 1e-9) * step; v <= hi + 1e-9 * step; v += step)
        ticks.push_back(std::fabs(v) < 1e-9 * step ? 0.0 : v);
    return ticks;
}

} // namespace

// ---- the diagram ----------------------------------------------------------------------

GasCoolerDiagram::GasCoolerDiagram(GasCoolerRange range, UnitSystem units, QWidget* parent)
    : QWidget(parent), range_(range), units_(units) {
    setObjectName(QStringLiteral("gasCoolerDiagram"));
    setMinimumSize(360, 260);
}

double GasCoolerDiagram::teAt(int column) const {
    return range_.teLow + (range_.teHig - range_.teLow) * (column + 0.5) / kCells;
}

double GasCoolerDiagram::pressureAt(int row) const {
    return range_.pLow + (range_.pHig - range_.pLow) * (row + 0.5) / kCells;
}

void GasCoolerDiagram::setRegion(std::vector<int32_t> codes, double te, double pgc) {
    codes_ = std::move(codes);
    te_ = te;
    pgc_ = pgc;
    update();
}

QRectF GasCoolerDiagram::plotArea() const {
    return QRectF(60, 12, std::max(40, width() - 76), std::max(40, height() - 56));
}

QPointF GasCoolerDiagram::pointPosition() const {
    if (!std::isfinite(pgc_) || !std::isfinite(te_))
        return {};
    const QRectF a = plotArea();
    const double x = (te_ - range_.teLow) / (range_.teHig - range_.teLow);
    const double y = (pgc_ - range_.pLow) / (range_.pHig - range_.pLow);
    if (x < 0 || x > 1 || y < 0 || y > 1)
        return {};
    return {a.left() + x * a.width(), a.bottom() - y * a.height()};
}

void GasCoolerDiagram::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const QRectF a = plotArea();
    const double cw = a.width() / kCells, ch = a.height() / kCells;
    for (int row = 0; row < kCells; ++row)
        for (int col = 0; col < kCells; ++col) {
            const std::size_t k = static_cast<std::size_t>(row * kCells + col);
            if (k >= codes_.size())
                continue;
            const int32_t code = codes_[k];
            const QColor colour = code < 0    ? QColor(0xe0, 0xe0, 0xe0)
                                  : code == 0 ? QColor(0x9c, 0xd8, 0x9c)
                                              : QColor(0xf2, 0xc8, 0x7a);
            p.fillRect(QRectF(a.left() + col * cw, a.bottom() - (row + 1) * ch, cw + 0.5, ch + 0.5),
                       colour);
        }
    p.setPen(Qt::black);
    p.drawRect(a);
    // Axes: ticks at round values of the window's units (both conversions are affine, so
    // a shown value's place along the axis is its fraction of the shown span).
    const QFontMetrics fm(font());
    const double teLo = shownTemperature(range_.teLow, units_),
                 teHi = shownTemperature(range_.teHig, units_);
    for (const double v : roundTicks(teLo, teHi)) {
        const double x = a.left() + a.width() * (v - teLo) / (teHi - teLo);
        p.drawLine(QPointF(x, a.bottom()), QPointF(x, a.bottom() + 4));
        const QString t = QString::number(v, 'f', 0);
        p.drawText(QPointF(x - fm.horizontalAdvance(t) / 2.0, a.bottom() + 6 + fm.ascent()), t);
    }
    const double pLo = shownPressure(range_.pLow, units_), pHi = shownPressure(range_.pHig, units_);
    for (const double v : roundTicks(pLo, pHi)) {
        const double y = a.bottom() - a.height() * (v - pLo) / (pHi - pLo);
        p.drawLine(QPointF(a.left() - 4, y), QPointF(a.left(), y));
        const QString t = QString::number(v, 'f', 0);
        p.drawText(QPointF(a.left() - 8 - fm.horizontalAdvance(t), y + fm.ascent() / 2.0), t);
    }
    const QString xLabel = QStringLiteral("Te (%1)").arg(temperatureUnit(units_));
    p.drawText(QPointF(a.center().x() - fm.horizontalAdvance(xLabel) / 2.0,
                       a.bottom() + 10 + 2 * fm.height()),
               xLabel);
    p.save();
    p.translate(14, a.center().y());
    p.rotate(-90);
    const QString yLabel = QStringLiteral("Gas-cooler pressure (%1)").arg(pressureUnit(units_));
    p.drawText(QPointF(-fm.horizontalAdvance(yLabel) / 2.0, fm.ascent() / 2.0), yLabel);
    p.restore();
    const QPointF point = pointPosition();
    if (!point.isNull()) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0x00, 0x40, 0xc0), 2));
        p.setBrush(QColor(0x20, 0x70, 0xff));
        p.drawEllipse(point, 5, 5);
    }
}

// ---- the panel --------------------------------------------------------------------------

GasCoolerPanel::GasCoolerPanel(const EngineApi& api, const ModelContext& context,
                               GasCoolerRange range, QWidget* parent)
    : QGroupBox(QStringLiteral("Transcritical operation at Te, Sh1 and Sh2 of the run"), parent),
      api_(api), context_(context), range_(range) {
    setObjectName(QStringLiteral("gasCoolerPanel"));
    const UnitSystem u = context_.units;
    txtOutlet_ = new QLineEdit(temperatureText(shownTemperature(35, u), context_.format), this);
    txtOutlet_->setObjectName(QStringLiteral("txtGasCoolerOutlet"));
    txtOutlet_->setMaximumWidth(64);
    auto* btnApply = new QPushButton(QStringLiteral("Apply"), this);
    btnApply->setObjectName(QStringLiteral("btnGasCoolerApply"));
    lblOptimum_ = new QLabel(this);
    lblOptimum_->setObjectName(QStringLiteral("lblOptimumPressure"));
    lblOptimum_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblProblem_ = new QLabel(this);
    lblProblem_->setObjectName(QStringLiteral("lblGasCoolerProblem"));
    lblProblem_->setStyleSheet(QStringLiteral("color: #c00000"));
    lblProblem_->hide();
    diagram_ = new GasCoolerDiagram(range_, u, this);
    tblGasCooler_ = new QTableWidget(this);
    tblGasCooler_->setObjectName(QStringLiteral("tblGasCooler"));
    tblGasCooler_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblGasCooler_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    tblGasCooler_->verticalHeader()->setDefaultSectionSize(22);
    tblGasCooler_->setMinimumWidth(420);

    auto* controls = new QHBoxLayout;
    controls->addWidget(
        new QLabel(QStringLiteral("Gas-cooler outlet (%1)").arg(temperatureUnit(u)), this));
    controls->addWidget(txtOutlet_);
    controls->addWidget(btnApply);
    controls->addWidget(lblOptimum_, 1);
    auto* legend = new QLabel(
        QStringLiteral("Green: rates; amber: with a warning; grey: refused at this outlet "
                       "temperature. Dot: Te of the run at the optimum pressure. Table rows: "
                       "gas-cooler pressure; empty figures: refused (point at the row)."),
        this);
    legend->setWordWrap(true);
    auto* body = new QHBoxLayout;
    body->addWidget(diagram_, 3);
    body->addWidget(tblGasCooler_, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(lblProblem_);
    layout->addLayout(body, 1);
    layout->addWidget(legend);
    connect(btnApply, &QPushButton::clicked, this, [this] { apply(); });
    connect(txtOutlet_, &QLineEdit::returnPressed, this, [this] { apply(); });
    apply();
}

bool GasCoolerPanel::apply() {
    const UnitSystem u = context_.units;
    const auto read = readDoubleField(txtOutlet_->text().toStdString(), context_.format);
    if (!read || !std::isfinite(*read)) {
        lblProblem_->setText(QStringLiteral("\"%1\" is no number.").arg(txtOutlet_->text()));
        lblProblem_->show();
        return false;
    }
    lblProblem_->hide();
    const double tgc = imperial(u) ? (*read - 32) / 1.8 : *read;
    const ConditionValues& c = context_.conditions;
    // The table in steps of 5 bar (50 psi) over the curves' range.
    const double step = imperial(u) ? 50 * kPaPerPsi : 5 * kPaPerBar;
    table_ = gasCoolerTable(api_, context_.model.number, c.te, tgc, c.sh1, c.sh2,
                            pressureSteps(range_.pLow, range_.pHig, step));
    std::vector<int32_t> codes;
    codes.reserve(GasCoolerDiagram::kCells * GasCoolerDiagram::kCells);
    for (int row = 0; row < GasCoolerDiagram::kCells; ++row)
        for (int col = 0; col < GasCoolerDiagram::kCells; ++col) {
            KPX_TranscriticalResult r{};
            codes.push_back(api_.KPX_RatingTranscritical(
                context_.model.number, "", "", 0, diagram_->teAt(col), diagram_->pressureAt(row),
                tgc, c.sh1, c.sh2, std::numeric_limits<double>::quiet_NaN(), &r));
        }
    const KPX_TranscriticalResult& best = table_.optimum;
    diagram_->setRegion(std::move(codes), c.te,
                        best.code >= 0 ? best.gasCoolerPressure
                                       : std::numeric_limits<double>::quiet_NaN());
    const NumberFormat& f = context_.format;
    if (best.code >= 0)
        lblOptimum_->setText(
            QStringLiteral("Optimum gas-cooler pressure %1 %2: COP %3, capacity %4 W")
                .arg(groupedNumber(shownPressure(best.gasCoolerPressure, u), 1, f), pressureUnit(u),
                     groupedNumber(best.cop, 2, f),
                     figureText(best.capacity, Quantity::Capacity, f)));
    else
        lblOptimum_->setText(QStringLiteral("No optimum: ") + utf8(transcriticalReason(best.code)));

    const QStringList headings{QStringLiteral("Capacity (W)"), QStringLiteral("Power (W)"),
                               QStringLiteral("COP"),
                               QStringLiteral("Discharge (%1)").arg(temperatureUnit(u))};
    tblGasCooler_->clear();
    tblGasCooler_->setColumnCount(static_cast<int>(headings.size()));
    tblGasCooler_->setHorizontalHeaderLabels(headings);
    tblGasCooler_->setRowCount(static_cast<int>(table_.rows.size()));
    const std::vector<double> pressures = pressureSteps(range_.pLow, range_.pHig, step);
    for (std::size_t i = 0; i < table_.rows.size(); ++i) {
        const KPX_TranscriticalResult& r = table_.rows[i];
        const int row = static_cast<int>(i);
        tblGasCooler_->setVerticalHeaderItem(
            row, new QTableWidgetItem(groupedNumber(shownPressure(pressures[i], u), 1, f) +
                                      QLatin1Char(' ') + pressureUnit(u)));
        const QString texts[4] = {
            r.code >= 0 ? figureText(r.capacity, Quantity::Capacity, f) : QString(),
            r.code >= 0 ? figureText(r.power, Quantity::Power, f) : QString(),
            r.code >= 0 ? groupedNumber(r.cop, 2, f) : QString(),
            r.code >= 0 && std::isfinite(r.dischargeTemperature)
                ? groupedNumber(shownTemperature(r.dischargeTemperature, u), 1, f)
                : QString()};
        for (int col = 0; col < 4; ++col) {
            auto* item = new QTableWidgetItem(r.code > 0 && !texts[col].isEmpty()
                                                  ? texts[col] + QStringLiteral(" *")
                                                  : texts[col]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (r.code != 0)
                item->setToolTip(utf8(transcriticalReason(r.code)));
            item->setBackground(r.code < 0   ? QColor(0xe0, 0xe0, 0xe0)
                                : r.code > 0 ? QColor(0xfb, 0xe5, 0xb6)
                                             : QColor(Qt::white));
            tblGasCooler_->setItem(row, col, item);
        }
    }
    return true;
}

} // namespace kv
