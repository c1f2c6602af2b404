// The results grid `Grid`: ten columns of cell texts, a fixed header row (row 0) and a
// fixed narrow column 0. Result rows are 1 to ResultCount, followed by one empty row.
//
// The cell texts are the only store of the results: ordering, the capacity window,
// printing and the data sheets read them back from here. Rows are addressed in grid
// numbering throughout (row 0 is the header); the view shows row 0 as its column header.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>
#include <QTableView>

#include <vector>

namespace kv {

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 10;

    explicit GridModel(QObject* parent = nullptr);

    // Rows of the grid, the header row included (at least 1).
    int gridRowCount() const { return static_cast<int>(rows_.size()); }

    QString text(int row, int column) const;
    void setText(int row, int column, const QString& text);
    QColor color(int row, int column) const; // invalid colour: the default text colour
    void setColor(int row, int column, const QColor& color);
    bool bold(int row, int column) const;
    void setBold(int row, int column, bool bold);

    // The texts of a whole row (kColumns entries) and writing them back.
    QStringList rowTexts(int row) const;
    void setRowTexts(int row, const QStringList& texts);

    // Inserts a data row before `row` (1 <= row <= gridRowCount()).
    void insertGridRow(int row, const QStringList& texts = {});
    // Sets the number of rows, header included: rows are added empty or cut at the end.
    void setGridRowCount(int rows);
    // Clears every cell of every row, header included: the texts, and the colours and
    // emphasis too when `formatting` is set.
    void clearCells(bool formatting);

    // QAbstractTableModel: data rows 1.. are model rows 0..; row 0 is the header data.
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Cell {
        QString text;
        QColor color;
        bool bold = false;
    };
    using Row = std::vector<Cell>;

    bool valid(int row, int column) const;
    void cellChanged(int row, int column);
    static Row emptyRow() { return Row(kColumns); }

    std::vector<Row> rows_;
};

class ResultsGrid : public QTableView {
    Q_OBJECT
public:
    explicit ResultsGrid(QWidget* parent = nullptr);

    GridModel* grid() const { return model_; }

    // Suspends (false) or resumes (true) redrawing, as during bulk changes.
    void setRedraw(bool on);
    bool redraw() const { return redraw_; }

    // Selects columns 1 to 9 of grid row `row` (row >= 1); the row becomes the end row.
    void selectGridRow(int row);
    // The end row of the current selection in grid numbering, 0 when nothing is selected.
    int selectedGridRow() const;

    // The selected result rows as tab-separated text, the header row first, columns 1 to
    // 9, one line per row: what Ctrl+C puts on the clipboard. Empty when no row with text
    // is selected.
    QString selectedRowsText() const;
    // Whether a cell's text is wider than its column and shows cut.
    bool isCut(const QModelIndex& index) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    GridModel* model_;
    bool redraw_ = true;
};

} // namespace kv
