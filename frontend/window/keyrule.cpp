#include "kv/keyrule.h"

#include <QEvent>
#include <QKeyEvent>

namespace kv {

bool producesCharacter(int key, const QString& text) {
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Insert:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    default:
        return !text.isEmpty();
    }
}

bool producesCharacter(const QKeyEvent& event) {
    return producesCharacter(event.key(), event.text());
}

bool FieldKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && producesCharacter(*static_cast<QKeyEvent*>(event)))
        emit characterKey(watched);
    return false; // the field gets every key unchanged
}

} // namespace kv
