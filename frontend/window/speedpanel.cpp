#include "kv/speedpanel.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QTableWidget>

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

// The slider moves in tenths of a rev/s, the field's last decimal.
constexpr double kSliderSteps = 10.0;
// The step of the figures against speed between the published speeds, rev/s.

QString speedText(double speed, const NumberFormat& format) {
    return groupedNumber(speed, 1, format);
}

} // namespace

SpeedPanel::SpeedPanel(const EngineApi& api, const ModelContext& context, const KPX_SpeedInfo& info,
                       QWidget* parent)
    : QGroupBox(QStringLiteral("Speed"), parent), api_(api), context_(context), info_(info) {
    setObjectName(QStringLiteral("grpSpeed"));
    context_.conditions.speed.reset();

    spnSpeed = new QDoubleSpinBox(this);
    spnSpeed->setObjectName(QStringLiteral("spnSpeed"));
    // The field reads and shows the run's decimal mark, as the window's other numbers do.
    QLocale numbers = context_.format.decimal == "," ? QLocale(QLocale::German) : QLocale::c();
    numbers.setNumberOptions(QLocale::OmitGroupSeparator);
    spnSpeed->setLocale(numbers);
    spnSpeed->setDecimals(1);
    spnSpeed->setSingleStep(1.0);
    spnSpeed->setRange(info_.minSpeed, info_.maxSpeed);
    spnSpeed->setValue(info_.nominalSpeed);
    spnSpeed->setKeyboardTracking(false);
    spnSpeed->setSuffix(QStringLiteral(" rev/s"));
    sldSpeed = new QSlider(Qt::Horizontal, this);
    sldSpeed->setObjectName(QStringLiteral("sldSpeed"));
    sldSpeed->setRange(static_cast<int>(std::ceil(info_.minSpeed * kSliderSteps)),
                       static_cast<int>(std::floor(info_.maxSpeed * kSliderSteps)));
    sldSpeed->setSingleStep(static_cast<int>(kSliderSteps));
    sldSpeed->setPageStep(static_cast<int>(kSpeedTableStep * kSliderSteps));
    sldSpeed->setValue(static_cast<int>(std::lround(info_.nominalSpeed * kSliderSteps)));
    // Dragging only shows the speed; it is rated when the slider is let go.
    sldSpeed->setTracking(false);

    QStringList published;
    for (int32_t i = 0; i < info_.setCount && i < KPX_MAX_SPEED_SETS; ++i)
        published << speedText(info_.speeds[i], context_.format);
    auto* lblSpeedRange =
        new QLabel(QStringLiteral("Range %1 to %2 rev/s, nominal %3; published at %4 rev/s")
                       .arg(speedText(info_.minSpeed, context_.format),
                            speedText(info_.maxSpeed, context_.format),
                            speedText(info_.nominalSpeed, context_.format),
                            published.join(QStringLiteral(", "))),
                   this);
    lblSpeedRange->setObjectName(QStringLiteral("lblSpeedRange"));
    lblSpeedRange->setWordWrap(true);

    tblSpeeds = new QTableWidget(this);
    tblSpeeds->setObjectName(QStringLiteral("tblSpeeds"));
    tblSpeeds->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblSpeeds->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tblSpeeds->verticalHeader()->hide();
    tblSpeeds->verticalHeader()->setDefaultSectionSize(20);

    txtRequiredCapacity = new QLineEdit(this);
    txtRequiredCapacity->setObjectName(QStringLiteral("txtRequiredCapacity"));
    txtRequiredCapacity->setMaximumWidth(100);
    lblMatchSpeed = new QLabel(this);
    lblMatchSpeed->setObjectName(QStringLiteral("lblMatchSpeed"));
    lblMatchSpeed->setWordWrap(true);
    lblMatchSpeed->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Speed"), this), 0, 0);
    grid->addWidget(spnSpeed, 0, 1);
    grid->addWidget(sldSpeed, 0, 2);
    grid->addWidget(lblSpeedRange, 1, 0, 1, 3);
    grid->addWidget(tblSpeeds, 2, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Required: ") +
                                   utf8(quantityHeading(Quantity::Capacity, context_.units)),
                               this),
                    3, 0);
    grid->addWidget(txtRequiredCapacity, 3, 1);
    grid->addWidget(lblMatchSpeed, 4, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(2, 1);

    connect(spnSpeed, &QDoubleSpinBox::valueChanged, this, [this](double v) {
        const QSignalBlocker block(sldSpeed);
        sldSpeed->setValue(static_cast<int>(std::lround(v * kSliderSteps)));
        emit speedChosen(v);
    });
    connect(sldSpeed, &QSlider::sliderMoved, this, [this](int v) {
        const QSignalBlocker block(spnSpeed);
        spnSpeed->setValue(v / kSliderSteps);
    });
    connect(sldSpeed, &QSlider::valueChanged, this, [this](int v) {
        // The field clamps to the speed range and sends speedChosen when it changes; a
        // drag has already shown the value, so it is sent from here.
        const double speed = v / kSliderSteps;
        const bool shown = spnSpeed->value() == speed;
        spnSpeed->setValue(speed);
        if (shown)
            emit speedChosen(spnSpeed->value());
    });
    connect(txtRequiredCapacity, &QLineEdit::editingFinished, this,
            [this] { lblMatchSpeed->setText(matchText(txtRequiredCapacity->text())); });

    fillSpeedTable();
}

double SpeedPanel::speed() const {
    return spnSpeed->value();
}

QString SpeedPanel::matchText(const QString& required) const {
    if (required.trimmed().isEmpty())
        return {};
    const auto value = readDoubleField(required.toStdString(), context_.format);
    if (!value || !std::isfinite(*value) || *value <= 0)
        return QStringLiteral("\"%1\" is no capacity above zero.").arg(required);
    const double watts = context_.units == UnitSystem::SI ? *value : btuhToWatts(*value);
    SpeedRequest request;
    request.matchCapacity = watts;
    const SpeedRating r =
        rateAsRequested(api_, context_.model.number, context_.conditions, request);
    if (r.rating.code < 0 || !r.speed)
        return QStringLiteral("No speed meets it: ") + utf8(ratingReason(r.rating.code)) +
               QLatin1Char('.');
    const auto values = displayValues(r.rating, context_.units);
    return QStringLiteral("Met at %1 rev/s (%2: %3)")
        .arg(groupedNumber(*r.speed, 2, context_.format),
             utf8(quantityHeading(Quantity::Capacity, context_.units)),
             figureText(values[static_cast<std::size_t>(Quantity::Capacity)], Quantity::Capacity,
                        context_.format));
}

void SpeedPanel::fillSpeedTable() {
    const Quantity shown[] = {Quantity::Capacity, Quantity::Power, Quantity::Efficiency,
                              Quantity::Current};
    tblSpeeds->clear();
    tblSpeeds->setColumnCount(1 + static_cast<int>(std::size(shown)));
    tblSpeeds->setHorizontalHeaderItem(0, new QTableWidgetItem(QStringLiteral("Speed (rev/s)")));
    for (std::size_t c = 0; c < std::size(shown); ++c)
        tblSpeeds->setHorizontalHeaderItem(
            static_cast<int>(c) + 1,
            new QTableWidgetItem(utf8(quantityHeading(shown[c], context_.units))));
    const std::vector<SpeedRow> rows =
        ratingsAgainstSpeed(api_, context_.model.number, context_.conditions);
    if (rows.empty()) {
        tblSpeeds->setRowCount(1);
        auto* none =
            new QTableWidgetItem(QStringLiteral("No speed is allowed at the operating point."));
        tblSpeeds->setItem(0, 0, none);
        tblSpeeds->setSpan(0, 0, 1, tblSpeeds->columnCount());
        return;
    }
    tblSpeeds->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int row = static_cast<int>(i);
        auto* speedItem = new QTableWidgetItem(speedText(rows[i].speed, context_.format));
        speedItem->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        tblSpeeds->setItem(row, 0, speedItem);
        const PointRating& rating = rows[i].rating;
        const auto values = displayValues(rating, context_.units);
        for (std::size_t c = 0; c < std::size(shown); ++c) {
            const bool rated = rating.code >= 0;
            auto* item =
                new QTableWidgetItem(rated ? figureText(values[static_cast<std::size_t>(shown[c])],
                                                        shown[c], context_.format)
                                           : QString());
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (!rated)
                item->setToolTip(utf8(ratingReason(rating.code)));
            tblSpeeds->setItem(row, static_cast<int>(c) + 1, item);
        }
    }
    // Wide enough for every column, so no figure hides behind a scroll bar.
    int width = 2 * tblSpeeds->frameWidth() + tblSpeeds->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < tblSpeeds->columnCount(); ++c)
        width += std::max(static_cast<QAbstractItemView*>(tblSpeeds)->sizeHintForColumn(c),
                          tblSpeeds->horizontalHeader()->sectionSizeHint(c));
    tblSpeeds->setMinimumWidth(width);
}

} // namespace kv
