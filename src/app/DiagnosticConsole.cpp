#include "app/DiagnosticConsole.h"

#include "diag/Diagnostics.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace orthaven {

DiagnosticConsole::DiagnosticConsole(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("DiagnosticConsole"));
    setWindowTitle(tr("Orthaven Console"));
    // Opened with Alt+F1 in the main window, whose work goes on: the focus stays there.
    setAttribute(Qt::WA_ShowWithoutActivating);
    resize(720, 400);
    view = new QPlainTextEdit(this);
    view->setReadOnly(true);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->setMaximumBlockCount(20000);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);

    // What was reported before the console opened, then everything from now on.
    std::string earlier;
    for (const std::string& line : diag::recentLines())
        earlier += line + '\n';
    received = earlier;
    view->setPlainText(QString::fromLocal8Bit(earlier.data(), qsizetype(earlier.size())));
    view->moveCursor(QTextCursor::End);
    tap.start([this](const std::string& text) { receive(text); });
}

void DiagnosticConsole::placeBeside(const QWidget& window)
{
    const QScreen* screen = window.screen();
    const QRect room = screen ? screen->availableGeometry() : QRect();
    const QRect beside = window.frameGeometry();
    // The frame the window manager adds, as the main window has it.
    const QSize frame = beside.size() - window.geometry().size();
    const QSize outer = size() + frame;
    QPoint at(beside.right() + 1, beside.top());
    if (!room.isEmpty() && at.x() + outer.width() > room.right() + 1)
        at.setX(beside.left() - outer.width());
    if (!room.isEmpty() && at.x() < room.left()) {
        // No room on either side: below the window, or at the screen's lower edge.
        at = QPoint(beside.left(), beside.bottom() + 1);
        at.setY(std::min(at.y(), room.bottom() + 1 - outer.height()));
        at.setX(std::clamp(at.x(), room.left(),
                           std::max(room.left(), room.right() + 1 - outer.width())));
    }
    move(at);
}

DiagnosticConsole::~DiagnosticConsole()
{
    release();
}

void DiagnosticConsole::release()
{
    tap.stop();
}

QString DiagnosticConsole::capturedText() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return QString::fromLocal8Bit(received.data(), static_cast<qsizetype>(received.size()));
}

void DiagnosticConsole::closeEvent(QCloseEvent* event)
{
    release();
    QWidget::closeEvent(event);
}

// Runs on the tap's reader thread: keep the text and let the GUI thread show it.
void DiagnosticConsole::receive(const std::string& text)
{
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        received += text;
        first = pending.empty();
        pending += text;
    }
    if (first)
        QMetaObject::invokeMethod(this, "showPending", Qt::QueuedConnection);
}

void DiagnosticConsole::showPending()
{
    std::string text;
    {
        std::lock_guard<std::mutex> lock(mutex);
        text.swap(pending);
    }
    if (text.empty())
        return;
    view->moveCursor(QTextCursor::End);
    view->insertPlainText(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
    view->moveCursor(QTextCursor::End);
}

} // namespace orthaven
