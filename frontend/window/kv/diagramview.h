// The envelope diagram of the model window: the laid-out drawing of core/diagram.h painted
// with QPainter, on the screen and in the PDF export, and the view that shows it with the
// engine's verdict at the mouse as its tooltip.
#pragma once

#include "kv/binding.h"
#include "kv/diagram.h"
#include "kv/envelope.h"
#include "kv/modeltext.h"

#include <QWidget>

class QPainter;

namespace kv {

// Paints a laid-out diagram with QPainter (screen or PDF); text stays text.
void paintDrawing(QPainter& painter, const Drawing& drawing);

class DiagramView : public QWidget {
    Q_OBJECT
public:
    DiagramView(const EngineApi& api, const ModelContext& context, const Envelope& envelope,
                QWidget* parent = nullptr);
    const Drawing& drawing() const { return drawing_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    bool event(QEvent* e) override;

private:
    const EngineApi& api_;
    const ModelContext& context_;
    const Envelope& envelope_;
    Drawing drawing_;
};

} // namespace kv
