#pragma once

#include <QWidget>

#include <utility>
#include <vector>

// What every key and mouse gesture of the field window does, as "key" and "action" pairs; the
// help overlay shows this list, so it is the one place that names them.
struct WindowKey
{
    const char* key;
    const char* action;
};
extern const WindowKey kWindowKeys[];
extern const int kWindowKeyCount;

class QAbstractScrollArea;

// A panel over the top-left corner of the field view listing every key of the window. It lets
// clicks through, so they still drop particles under it. In a view too small for it the
// actions wrap, and what still does not fit scrolls with the wheel over the panel.
class HelpOverlay : public QWidget
{
    Q_OBJECT

public:
    explicit HelpOverlay(QAbstractScrollArea* view);

    // The size with every action on one line.
    QSize sizeHint() const override;
    // Fits the panel into the view's visible area as it is now; it does so itself on resizes.
    void place();
    // How far the list scrolls: 0 when all of it shows.
    int scrollRange() const { return contentHeight - height(); }
    int scrollPosition() const { return scrolled; }
    // Where the action of entry `index` of kWindowKeys lies in the panel, as scrolled now,
    // wrapped to the width there is; its key stands to the left on its first line.
    QRect actionRect(int index) const;
    // The part of the panel the text may use.
    QRect textArea() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int keyColumnWidth() const;
    int actionHeight(int index) const;
    void scrollTo(int position);

    QWidget* viewport;    // kept apart from the view, as the overlays over it do
    bool stacked = false; // each action under its key rather than beside it
    int actionLeft = 0;
    int actionWidth = 0;
    std::vector<std::pair<int, int>> actionPlaces; // top in the whole list, height
    int contentHeight = 0;
    int scrolled = 0;
};
