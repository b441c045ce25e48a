#pragma once
// Every message box, file dialog and colour chooser of the program goes through here.
// In scripted mode (tests) nothing is shown: messages are recorded and the answers
// prepared with the setNext… calls are returned in order; a dialog without a prepared
// answer behaves as if it had been cancelled.

#include <QColor>
#include <QFileDialog>
#include <QString>
#include <QStringList>

class QWidget;

namespace orthaven {

struct ShownMessage
{
    QString title;
    QString text;
};

class UserDialogs
{
public:
    // Modal information box with one OK button.
    static void information(QWidget* parent, const QString& title, const QString& text);
    // Plain modal message box without a title.
    static void message(QWidget* parent, const QString& text);
    static void about(QWidget* parent, const QString& title, const QString& text);

    static QStringList openFileNames(QWidget* parent, const QString& caption,
                                     const QString& folder, const QString& filter);
    static QString saveFileName(QWidget* parent, const QString& caption, const QString& path,
                                const QString& filter);
    static QString existingDirectory(QWidget* parent, const QString& caption,
                                     const QString& folder);
    // Invalid colour when the chooser was cancelled.
    static QColor color(QWidget* parent, const QString& title);

    // Test seam.
    static void setScripted(bool scripted);
    static bool isScripted();
    static void setNextFileNames(const QStringList& names);
    static void setNextFileName(const QString& name);
    static void setNextDirectory(const QString& folder);
    static void setNextColor(const QColor& color);
    static QList<ShownMessage> shownMessages();
    static QStringList shownTexts();
    static void clearScript();
};

} // namespace orthaven
