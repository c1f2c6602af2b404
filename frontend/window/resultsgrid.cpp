#include "kv/resultsgrid.h"

#include <QClipboard>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QProxyStyle>
#include <QToolTip>

#include <algorithm>

namespace kv {
namespace {

// The grid's cells are shown in Arial 8.25 point.
QFont gridFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.25);
    return font;
}

const QColor kFixedColumnColour(240, 240, 240);

// The cell texts keep one pixel from the cell's edges instead of the usual three, so that
// the catalogue's texts fit the fixed column widths.
class GridStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_FocusFrameHMargin)
            return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

} // namespace

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {
    rows_.push_back(emptyRow());
    rows_.push_back(emptyRow());
}

bool GridModel::valid(int row, int column) const {
    return row >= 0 && row < gridRowCount() && column >= 0 && column < kColumns;
}

QString GridModel::text(int row, int column) const {
    return valid(row, column) ? rows_[static_cast<size_t>(row)][static_cast<size_t>(column)].text
                              : QString();
}

QColor GridModel::color(int row, int column) const {
    return valid(row, column) ? rows_[static_cast<size_t>(row)][static_cast<size_t>(column)].color
                              : QColor();
}

bool GridModel::bold(int row, int column) const {
    return valid(row, column) && rows_[static_cast<size_t>(row)][static_cast<size_t>(column)].bold;
}

void GridModel::cellChanged(int row, int column) {
    if (row == 0) {
        emit headerDataChanged(Qt::Horizontal, column, column);
    } else {
        const QModelIndex i = index(row - 1, column);
        emit dataChanged(i, i);
    }
}

void GridModel::setText(int row, int column, const QString& text) {
    if (!valid(row, column))
        return;
    rows_[static_cast<size_t>(row)][static_cast<size_t>(column)].text = text;
    cellChanged(row, column);
}

void GridModel::setColor(int row, int column, const QColor& color) {
    if (!valid(row, column))
        return;
    rows_[static_cast<size_t>(row)][static_cast<size_t>(column)].color = color;
    cellChanged(row, column);
}

void GridModel::setBold(int row, int column, bool bold) {
    if (!valid(row, column))
        return;
    rows_[static_cast<size_t>(row)][static_cast<size_t>(column)].bold = bold;
    cellChanged(row, column);
}

QStringList GridModel::rowTexts(int row) const {
    QStringList texts;
    for (int c = 0; c < kColumns; ++c)
        texts << text(row, c);
    return texts;
}

void GridModel::setRowTexts(int row, const QStringList& texts) {
    if (row < 0 || row >= gridRowCount())
        return;
    Row& r = rows_[static_cast<size_t>(row)];
    for (int c = 0; c < kColumns; ++c)
        r[static_cast<size_t>(c)].text = c < texts.size() ? texts[c] : QString();
    if (row == 0)
        emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
    else
        emit dataChanged(index(row - 1, 0), index(row - 1, kColumns - 1));
}

void GridModel::insertGridRow(int row, const QStringList& texts) {
    if (row < 1 || row > gridRowCount())
        return;
    beginInsertRows({}, row - 1, row - 1);
    Row r = emptyRow();
    for (int c = 0; c < kColumns && c < texts.size(); ++c)
        r[static_cast<size_t>(c)].text = texts[c];
    rows_.insert(rows_.begin() + row, std::move(r));
    endInsertRows();
}

void GridModel::setGridRowCount(int rows) {
    rows = std::max(rows, 1);
    const int now = gridRowCount();
    if (rows > now) {
        beginInsertRows({}, now - 1, rows - 2);
        rows_.resize(static_cast<size_t>(rows), emptyRow());
        endInsertRows();
    } else if (rows < now) {
        beginRemoveRows({}, rows - 1, now - 2);
        rows_.resize(static_cast<size_t>(rows));
        endRemoveRows();
    }
}

void GridModel::clearCells(bool formatting) {
    for (Row& r : rows_) {
        for (Cell& cell : r) {
            if (formatting)
                cell = Cell{};
            else
                cell.text.clear();
        }
    }
    emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, kColumns - 1));
}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : gridRowCount() - 1;
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int row = index.row() + 1;
    const int column = index.column();
    if (!valid(row, column))
        return {};
    const Cell& cell = rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
    switch (role) {
    case Qt::DisplayRole:
        return cell.text;
    case Qt::ForegroundRole:
        return cell.color.isValid() ? QVariant(cell.color) : QVariant();
    case Qt::FontRole: {
        QFont font = gridFont();
        font.setBold(cell.bold);
        return font;
    }
    case Qt::BackgroundRole:
        return column == 0 ? QVariant(kFixedColumnColour) : QVariant();
    case Qt::TextAlignmentRole:
        return column >= 5 ? int(Qt::AlignRight | Qt::AlignVCenter)
                           : int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || !valid(0, section))
        return {};
    const Cell& cell = rows_[0][static_cast<size_t>(section)];
    switch (role) {
    case Qt::DisplayRole:
        return cell.text;
    case Qt::FontRole: {
        QFont font = gridFont();
        font.setBold(cell.bold);
        return font;
    }
    case Qt::ForegroundRole:
        return cell.color.isValid() ? QVariant(cell.color) : QVariant();
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter | Qt::TextWordWrap);
    default:
        return {};
    }
}

ResultsGrid::ResultsGrid(QWidget* parent) : QTableView(parent), model_(new GridModel(this)) {
    setModel(model_);
    setFont(gridFont());
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(16);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setFont(gridFont());
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setMinimumSectionSize(1);
    auto* style = new GridStyle;
    style->setParent(this);
    setStyle(style);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // Several rows can be selected, so that Ctrl+C copies them together.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Tab leaves the grid for the next control instead of walking its cells.
    setTabKeyNavigation(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setCornerButtonEnabled(false);
}

void ResultsGrid::setRedraw(bool on) {
    redraw_ = on;
    setUpdatesEnabled(on);
    if (on)
        viewport()->update();
}

void ResultsGrid::selectGridRow(int row) {
    if (row < 1 || row >= model_->gridRowCount())
        return;
    const QModelIndex first = model_->index(row - 1, 1);
    const QModelIndex last = model_->index(row - 1, GridModel::kColumns - 1);
    selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    selectionModel()->select(QItemSelection(first, last), QItemSelectionModel::ClearAndSelect);
    if (redraw_)
        scrollTo(first);
}

int ResultsGrid::selectedGridRow() const {
    const QModelIndex current = selectionModel()->currentIndex();
    if (current.isValid())
        return current.row() + 1;
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    return rows.isEmpty() ? 0 : rows.last().row() + 1;
}

QString ResultsGrid::selectedRowsText() const {
    QList<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedIndexes())
        if (!rows.contains(i.row() + 1))
            rows << i.row() + 1;
    std::sort(rows.begin(), rows.end());
    auto line = [this](int row) {
        QStringList texts = model_->rowTexts(row);
        texts.removeFirst(); // the narrow column 0 holds nothing
        return texts;
    };
    QString text;
    for (int row : rows) {
        const QStringList texts = line(row);
        if (texts.join(QString()).isEmpty())
            continue; // the empty row after the results
        if (text.isEmpty())
            text = line(0).join(QLatin1Char('\t')) + QLatin1Char('\n');
        text += texts.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

bool ResultsGrid::isCut(const QModelIndex& index) const {
    // The style draws a cell's text inside its margins, left of the grid line.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int room = columnWidth(index.column()) - 2 * margin - (showGrid() ? 1 : 0);
    const QFontMetrics metrics(index.data(Qt::FontRole).value<QFont>());
    return metrics.horizontalAdvance(index.data().toString()) > room;
}

void ResultsGrid::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        if (const QString text = selectedRowsText(); !text.isEmpty())
            QGuiApplication::clipboard()->setText(text);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

bool ResultsGrid::viewportEvent(QEvent* event) {
    // A cut cell shows its whole text as a tooltip.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        if (index.isValid() && isCut(index))
            QToolTip::showText(help->globalPos(), index.data().toString(), viewport(),
                               visualRect(index));
        else
            QToolTip::hideText();
        return true;
    }
    return QTableView::viewportEvent(event);
}

} // namespace kv
