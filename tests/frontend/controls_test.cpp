// The controls as a user works them with the mouse and the keyboard: the option pairs,
// the focus order, long texts in fields, lists and grid cells, and copying grid rows.
#include "harness.h"
#include "kv/resultsgrid.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTest>
#include <QToolTip>

using kv::StartupStatus;
using kv::WindowHarness;

namespace {

const QStringList kPairs{"opt_intsyst", "opt_freq", "opt_order"};

QRadioButton* option(const WindowHarness& h, const QString& pair, int index) {
    return h.get<QRadioButton>(qPrintable(QStringLiteral("%1_%2").arg(pair).arg(index)));
}

// A click on the option's round indicator, where a user aims.
void clickOption(QRadioButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(7, button->height() / 2));
}

QString focusName() {
    QWidget* w = QApplication::focusWidget();
    return w != nullptr ? w->objectName() : QStringLiteral("(none)");
}

// The window started, shown and active, so that key events move the focus.
void startActive(WindowHarness& h) {
    QCOMPARE(h.start(), StartupStatus::Ready);
    h.window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&h.window()));
}

} // namespace

class ControlsTest : public QObject {
    Q_OBJECT
private slots:
    // A click on the selected option changes nothing and runs no handler; a click on the
    // other one selects it. The arrow keys move within the pair and select as they go.
    // Neither touches the other pairs.
    void optionPairs_data() {
        QTest::addColumn<QString>("pair");
        for (const QString& pair : kPairs)
            QTest::newRow(qPrintable(pair)) << pair;
    }
    void optionPairs() {
        QFETCH(QString, pair);
        WindowHarness h;
        startActive(h);
        QRadioButton* first = option(h, pair, 0);
        QRadioButton* second = option(h, pair, 1);
        QSignalSpy toggledFirst(first, &QRadioButton::toggled);
        QSignalSpy toggledSecond(second, &QRadioButton::toggled);
        const QString voltage = h.list("cbVoltage")->currentText();

        clickOption(first);
        QVERIFY(first->isChecked());
        QVERIFY(!second->isChecked());
        QCOMPARE(toggledFirst.count() + toggledSecond.count(), 0);
        QCOMPARE(h.list("cbVoltage")->currentText(), voltage); // the frequency switch didn't run

        clickOption(second);
        QVERIFY(second->isChecked());
        QVERIFY(!first->isChecked());
        QCOMPARE(focusName(), second->objectName());
        for (const auto& [key, focused] :
             {std::pair{Qt::Key_Right, second}, std::pair{Qt::Key_Left, first},
              std::pair{Qt::Key_Left, first}, std::pair{Qt::Key_Down, first},
              std::pair{Qt::Key_Up, first}, std::pair{Qt::Key_Right, second}}) {
            QTest::keyClick(QApplication::focusWidget(), key);
            QCOMPARE(focusName(), focused->objectName());
            QVERIFY(focused->isChecked());
        }
        for (const QString& other : kPairs)
            if (other != pair)
                QVERIFY2(option(h, other, 0)->isChecked(), qPrintable(other));
    }

    // Tab and Shift+Tab walk the whole focus order, both ways round; in a pair only the
    // selected option takes the focus.
    void focusOrder_data() {
        QTest::addColumn<int>("selected");
        QTest::newRow("first options selected") << 0;
        QTest::newRow("second options selected") << 1;
    }
    void focusOrder() {
        QFETCH(int, selected);
        WindowHarness h;
        startActive(h);
        for (const QString& pair : kPairs)
            clickOption(option(h, pair, selected));
        const QString s = QString::number(selected);
        const QStringList order{"opt_intsyst_" + s,
                                "cbRefrig",
                                "cbFamily",
                                "cbVoltage",
                                "txtCapacity",
                                "txtModelFilter",
                                "cbConditions",
                                "txtTe",
                                "txtTc",
                                "txtSc",
                                "txtSh1",
                                "txtSh2",
                                "btnCalculate",
                                "btnDatasheet",
                                "btnResetAll",
                                "btnPrint",
                                "btnDatasheetOnLine",
                                "opt_order_" + s,
                                "opt_freq_" + s};
        h.option(qPrintable(order.first()))->setFocus(Qt::OtherFocusReason);
        QCOMPARE(focusName(), order.first());
        for (qsizetype i = 1; i <= order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(focusName(), order[i % order.size()]);
        }
        for (qsizetype i = order.size() - 1; i >= 0; --i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
            QCOMPARE(focusName(), order[i]);
        }
        // The grid takes the focus by a click, and Tab leaves it for the start of the order.
        QWidget* grid = h.window().grid()->viewport();
        QTest::mouseClick(grid, Qt::LeftButton, {}, QPoint(40, 8));
        QCOMPARE(focusName(), QStringLiteral("Grid"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focusName(), order.first());
    }

    // A number the program writes into a field is shown from its start, after a unit
    // switch and after a restart that restores it.
    void fieldsShowTheirStart() {
        WindowHarness h;
        startActive(h);
        QLineEdit* capacity = h.field("txtCapacity");
        capacity->setText(QStringLiteral("12000"));
        clickOption(h.option("opt_intsyst_1"));
        QCOMPARE(capacity->text(), QStringLiteral("40955.6313993174"));
        QCOMPARE(capacity->cursorPosition(), 0);
        h.close();
        QCOMPARE(h.start(), StartupStatus::Ready);
        QCOMPARE(h.field("txtCapacity")->text(), QStringLiteral("40955.6313993174"));
        for (const char* f : {"txtCapacity", "txtTe", "txtTc", "txtSc", "txtSh1", "txtSh2"})
            QVERIFY2(h.field(f)->cursorPosition() == 0, f);
    }

    // The lists are drawn flat in the input grey, and an open list is as wide as its
    // longest item.
    void lists() {
        WindowHarness h;
        startActive(h);
        for (const char* name : {"cbRefrig", "cbFamily", "cbVoltage", "cbConditions"}) {
            QComboBox* list = h.list(name);
            const QImage image = list->grab().toImage();
            // Top and bottom of the field, between the text and the arrow.
            for (const int y : {3, list->height() - 4})
                QCOMPARE(QColor(image.pixel(list->width() * 2 / 3, y)), QColor(224, 224, 224));
        }
        // Also in a style that opens a list only as wide as the closed one.
        QComboBox* family = h.list("cbFamily");
        QStyle* narrow = QStyleFactory::create(QStringLiteral("windows"));
        narrow->setParent(family);
        family->setStyle(narrow);
        family->addItem(QStringLiteral("Reciprocating - medium/high temperature, long"));
        QTest::mouseClick(family, Qt::LeftButton);
        QAbstractItemView* view = family->view();
        QVERIFY(QTest::qWaitForWindowExposed(view->window()));
        for (int i = 0; i < family->count(); ++i)
            QVERIFY2(view->fontMetrics().horizontalAdvance(family->itemText(i)) <
                         view->viewport()->width(),
                     qPrintable(family->itemText(i)));
        family->hidePopup();
    }

    // The catalogue's longest texts fit their columns; a text that is cut shows whole in
    // a tooltip over its cell.
    void cutCells() {
        WindowHarness h;
        startActive(h);
        kv::ResultsGrid* grid = h.window().grid();
        grid->grid()->insertGridRow(1, {"", "Reciprocating", "KSM160P-T6", "R1234ze(E)",
                                        "208-230/1/60", "12,281", "16,460", "1.90", "119.74",
                                        "1,322"});
        grid->grid()->insertGridRow(2, {"", "Scroll", "Reciprocating-compressor-KRM999A"});
        for (int c = 1; c < kv::GridModel::kColumns; ++c)
            QVERIFY2(!grid->isCut(grid->model()->index(0, c)),
                     qPrintable(grid->grid()->text(1, c)));

        const QModelIndex cut = grid->model()->index(1, kv::kNameColumn);
        QVERIFY(grid->isCut(cut));
        const QPoint at = grid->visualRect(cut).center();
        QHelpEvent help(QEvent::ToolTip, at, grid->viewport()->mapToGlobal(at));
        QApplication::sendEvent(grid->viewport(), &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("Reciprocating-compressor-KRM999A"));
        QToolTip::hideText();
    }

    // Ctrl+C copies the selected rows, with the header row, as tab-separated text.
    void copyRows() {
        WindowHarness h({kv::namedModel("A-1", 1000), kv::namedModel("B-2", 2000),
                         kv::namedModel("C-3", 3000)});
        startActive(h);
        h.click("btnCalculate");
        kv::ResultsGrid* grid = h.window().grid();
        QCOMPARE(h.window().resultCount(), 3);
        auto rowPoint = [grid](int row) {
            return grid->visualRect(grid->model()->index(row - 1, 2)).center();
        };
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rowPoint(1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, rowPoint(2));
        QApplication::clipboard()->clear();
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);

        const kv::GridModel* model = grid->grid();
        QString expected;
        for (int row : {0, 1, 2})
            expected += model->rowTexts(row).mid(1).join('\t') + '\n';
        QCOMPARE(QApplication::clipboard()->text(), expected);
        QVERIFY(expected.startsWith("Technology\tModel\tRefrigerant\tVoltage\t"));
        QVERIFY(expected.contains("\tA-1\t"));
        QVERIFY(expected.contains("\tB-2\t"));

        // The empty row after the results copies nothing.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rowPoint(4));
        QApplication::clipboard()->setText(QStringLiteral("kept"));
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("kept"));
    }
};

int runControlsTests(int argc, char** argv) {
    ControlsTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "controls_test.moc"
