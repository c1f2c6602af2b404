// The main window's inputs: the grey of its fields and lists, its drop-down list, and
// the catalogue texts its lists show and hand back to the engine.
#pragma once

#include <QColor>
#include <QComboBox>
#include <QString>

#include <string>

namespace kv {

inline const QColor kInputGrey(224, 224, 224);

// A drop-down list drawn flat in the input grey, whose open list is as wide as its
// longest item even where the closed list is narrower.
class InputList : public QComboBox {
public:
    explicit InputList(QWidget* parent);
    void showPopup() override;
};

// A catalogue text as the window shows it (displaytext.h).
QString fromEngine(const std::string& text);
// A text typed in the window as the engine reads it.
std::string toEngine(const QString& text);
// A list item keeps the engine's exact bytes beside the text it shows, so that the
// selection goes back to the engine unchanged whatever the bytes are.
void addEngineItem(QComboBox* list, const std::string& text);
std::string engineItem(const QComboBox* list);

} // namespace kv
