#pragma once

#include <QWidget>

// What every key and mouse gesture of the field window does, as "key" and "action" pairs; the
// help overlay shows this list, so it is the one place that names them.
struct WindowKey
{
    const char* key;
    const char* action;
};
extern const WindowKey kWindowKeys[];
extern const int kWindowKeyCount;

// A panel over the top-left corner of the field view listing every key of the window. It lets
// the mouse through, so clicks still drop particles under it.
class HelpOverlay : public QWidget
{
    Q_OBJECT

public:
    explicit HelpOverlay(QWidget* parent);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int keyColumnWidth() const;
};
