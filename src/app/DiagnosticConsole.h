#pragma once
// The console window that Alt+F1 opens: it shows the last diagnostic lines reported before
// it opened, then everything the process writes to standard output and standard error
// until it is closed.

#include "platform/StdStreamTap.h"

#include <QWidget>

#include <mutex>
#include <string>

class QPlainTextEdit;

namespace orthaven {

class DiagnosticConsole : public QWidget
{
    Q_OBJECT
public:
    explicit DiagnosticConsole(QWidget* parent = nullptr);
    ~DiagnosticConsole() override;

    // Everything received so far, also what has not reached the text view yet.
    QString capturedText() const;
    // Puts the original outputs back; called on close and on destruction.
    void release();
    // Moves the console beside window (right of it, else left of it, else below it), so it
    // covers none of the window's work.
    void placeBeside(const QWidget& window);

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void showPending();

private:
    void receive(const std::string& text);

    QPlainTextEdit* view = nullptr;
    StdStreamTap tap;
    mutable std::mutex mutex;
    std::string received;
    std::string pending;
};

} // namespace orthaven
