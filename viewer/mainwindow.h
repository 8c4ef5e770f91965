#pragma once

#include <QMainWindow>

class QLineEdit;
class QPushButton;
class QRadioButton;
class VFWindow;
struct FormulaRejection;

// The input form: the two components of F, the kind of field, and "Go". At most one field
// window is open at a time; "Go" stays disabled while it is.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent);
    ~MainWindow() override;

public slots:
    void go(bool);
    void vfWindowClosed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Puts the keyboard into the rejected formula's box with the faulty part selected.
    void pointAt(const FormulaRejection& rejection);

    VFWindow* fieldWindow = nullptr; // top-level, so owned here rather than by a Qt parent
    QPushButton* goButton;
    QLineEdit* fxEdit;
    QLineEdit* fyEdit;
    QRadioButton* velocityButton;
    QRadioButton* accelerationButton;
};
