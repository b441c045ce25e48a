#include "app/DiagnosticConsole.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

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

    tap.start([this](const std::string& text) { receive(text); });
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
