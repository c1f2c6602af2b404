// The key rule of the five condition fields: a key that produces a character turns the
// conditions list to "User Mode" before the character reaches the field.
#pragma once

#include <QObject>
#include <QString>

class QKeyEvent;

namespace kv {

// True for keys that produce a character: printable characters, Backspace, Enter and
// control combinations that produce a character. Delete, the arrow and other
// navigation keys, and keys without text (function keys, modifiers) give false.
bool producesCharacter(int key, const QString& text);
bool producesCharacter(const QKeyEvent& event);

// Watches the key presses of the fields it is installed on and emits characterKey()
// before the key is handed on to the field unchanged. Mouse edits are not seen.
class FieldKeyFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void characterKey(QObject* field);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace kv
