#include "kv/inputlist.h"

#include "kv/displaytext.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleOption>

namespace kv {

namespace {

// Draws a closed drop-down list flat in the input grey, like the text fields, with a
// thin frame (the highlight colour while it has the focus) and the style's own arrow.
class FlatListStyle : public QProxyStyle {
public:
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        if (control != CC_ComboBox) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        painter->save();
        painter->fillRect(option->rect, kInputGrey);
        const bool focused = (option->state & State_HasFocus) != 0;
        painter->setPen(option->palette.color(focused ? QPalette::Highlight : QPalette::Mid));
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        QStyleOption arrow(*option);
        arrow.rect = subControlRect(CC_ComboBox, option, SC_ComboBoxArrow, widget);
        drawPrimitive(PE_IndicatorArrowDown, &arrow, painter, widget);
        painter->restore();
    }
};

} // namespace

InputList::InputList(QWidget* parent) : QComboBox(parent) {
    auto* style = new FlatListStyle;
    style->setParent(this);
    setStyle(style);
}

void InputList::showPopup() {
    QAbstractItemView* items = view();
    items->setMinimumWidth(items->sizeHintForColumn(0) + 2 * items->frameWidth() +
                           items->verticalScrollBar()->sizeHint().width());
    QComboBox::showPopup();
}

QString fromEngine(const std::string& text) {
    return QString::fromStdString(displayText(text));
}

std::string toEngine(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

void addEngineItem(QComboBox* list, const std::string& text) {
    list->addItem(fromEngine(text), QByteArray::fromStdString(text));
}

std::string engineItem(const QComboBox* list) {
    return list->currentIndex() < 0 ? std::string()
                                    : list->currentData().toByteArray().toStdString();
}

} // namespace kv
