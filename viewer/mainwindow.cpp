#include "mainwindow.h"

#include "parse_error.h"
#include "vfwindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

// The UTF-16 position in `text` of the character that holds byte `offset` of its UTF-8 form.
int characterAt(const QByteArray& utf8, int offset)
{
    int position = 0;
    for (int i = 0; i < offset && i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if ((byte & 0xC0) == 0x80) continue; // continues a character already counted
        position += byte >= 0xF0 ? 2 : 1;    // beyond the basic plane: a surrogate pair
    }
    return position;
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    auto* central = new QWidget;
    setCentralWidget(central);
    auto* layout = new QGridLayout(central);

    fxEdit = new QLineEdit;
    fyEdit = new QLineEdit;
    velocityButton = new QRadioButton(QStringLiteral("Velocity field"));
    accelerationButton = new QRadioButton(QStringLiteral("Acceleration field"));
    goButton = new QPushButton(QStringLiteral("Go"));
    velocityButton->setChecked(true);

    layout->addWidget(new QLabel(QStringLiteral("<html><it><b>F</b>(x,y)</it> = &lt;")), 0, 0);
    layout->addWidget(fxEdit, 0, 1);
    layout->addWidget(new QLabel(QStringLiteral(",")), 0, 2);
    layout->addWidget(fyEdit, 1, 1);
    layout->addWidget(new QLabel(QStringLiteral("<html>&gt;</html>")), 1, 2);
    layout->setColumnMinimumWidth(3, 20);
    layout->addWidget(velocityButton, 0, 4);
    layout->addWidget(accelerationButton, 1, 4);
    layout->addWidget(goButton, 2, 0, 1, 3, Qt::AlignCenter);

    connect(goButton, SIGNAL(clicked(bool)), this, SLOT(go(bool)));
    // Enter in either formula acts as the form's default button would. A disabled "Go" (a field
    // window is open) ignores the click.
    for (QLineEdit* edit : {fxEdit, fyEdit})
        connect(edit, &QLineEdit::returnPressed, goButton, &QPushButton::click);
}

MainWindow::~MainWindow()
{
    delete fieldWindow;
}

void MainWindow::go(bool)
{
    goButton->setEnabled(false);

    const FieldSettings settings =
        formFieldSettings(velocityButton->isChecked() ? 1 : 2, fxEdit->text(), fyEdit->text());

    auto* window = new VFWindow(nullptr);
    fieldWindow = window;
    connect(window, SIGNAL(closed()), this, SLOT(vfWindowClosed()));

    const bool ready = window->setupField(settings);
    // The warning box of a failed compile runs its own event loop, in which the window may
    // already have been closed; its deletion is deferred, so `window` is still valid here.
    if (fieldWindow == window) {
        if (ready)
            window->show();
        else
            window->close();
    }
    if (!ready) pointAt(window->rejection());
}

void MainWindow::pointAt(const FormulaRejection& rejection)
{
    QLineEdit* edit = rejection.label == QLatin1String("Fx")   ? fxEdit
                      : rejection.label == QLatin1String("Fy") ? fyEdit
                                                               : nullptr;
    if (!edit) return;
    activateWindow();
    edit->setFocus(Qt::OtherFocusReason);
    const QString text = edit->text();
    const QByteArray utf8 = text.toUtf8();
    const ParseErrorMsg& error = rejection.error;
    if (error.from < 0) {
        edit->selectAll(); // not tied to a place: the whole formula is at fault
        return;
    }
    const int start = characterAt(utf8, error.from);
    if (error.to < error.from || error.from >= utf8.size()) {
        edit->setCursorPosition(start); // something is missing here
        return;
    }
    const int end = characterAt(utf8, error.to + 1);
    // Selected from the end back to the start, so that a long text scrolls to where it begins.
    edit->setSelection(end, start - end);
}

void MainWindow::vfWindowClosed()
{
    if (fieldWindow) {
        // We are inside the window's own close handling: delete it once that has returned.
        // A second close of the dying window must not touch its successor.
        fieldWindow->disconnect(this);
        fieldWindow->deleteLater();
        fieldWindow = nullptr;
    }
    goButton->setEnabled(true);
}

void MainWindow::closeEvent(QCloseEvent*)
{
    if (fieldWindow) {
        fieldWindow->close();
        QCoreApplication::processEvents();
    }
}
