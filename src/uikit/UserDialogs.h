#pragma once
// Every message box, file dialog and colour chooser of the program goes through here.
// In scripted mode (tests) nothing is shown: messages are recorded and the answers
// prepared with the setNext… calls are returned in order; a dialog without a prepared
// answer behaves as if it had been cancelled.
//
// Every box and dialog is modal to the window of its parent, which callers always give,
// and when it closes the keyboard focus goes back to the widget that had it (in its
// window, which is made active again), so typing goes on where it was.

#include <QColor>
#include <QFileDialog>
#include <QString>
#include <QStringList>

class QWidget;

namespace orthaven {

struct ShownMessage;

class UserDialogs
{
public:
    enum class Icon
    {
        None,
        Information,
        Warning,  // the work went on, but its result is not all that was asked for
        Critical, // the work failed
        Question,
    };

    // Modal information box with one OK button.
    static void information(QWidget* parent, const QString& title, const QString& text);
    // A modal box with the icon and one OK button: Warning for what went on with a flaw,
    // Critical for what failed.
    static void show(QWidget* parent, Icon icon, const QString& title, const QString& text);
    // Plain modal message box without a title.
    static void message(QWidget* parent, const QString& text);
    static void about(QWidget* parent, const QString& title, const QString& text);

    // A message box with an OK button and a second button that offers a next step
    // (offerText, e.g. "Open Folder"). True when the user took the offer.
    static bool offer(QWidget* parent, Icon icon, const QString& title, const QString& text,
                      const QString& offerText);
    // A question with a button that does it (yesText, e.g. "Stop and Quit") and Cancel,
    // which has the focus. True when the user chose to do it.
    static bool question(QWidget* parent, const QString& title, const QString& text,
                         const QString& yesText);
    // Shows a folder in the system's file manager. Where there is none, a box shows the
    // folder's path, ready to be selected and copied.
    static void openFolder(QWidget* parent, const QString& folder);

    static QStringList openFileNames(QWidget* parent, const QString& caption, const QString& folder,
                                     const QString& filter);
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
    // The answer of the next offer (an offer without a prepared answer is declined).
    static void setNextOffer(bool take);
    // The answer of the next question (one without a prepared answer is cancelled).
    static void setNextAnswer(bool yes);
    // Whether openFolder finds a file manager (it does unless told otherwise).
    static void setFileManagerAvailable(bool available);
    // The folders openFolder was asked to show.
    static QStringList openedFolders();
    // The filter the last file dialog offered.
    static QString lastFileFilter();
    static QList<ShownMessage> shownMessages();
    static QStringList shownTexts();
    static void clearScript();
};

struct ShownMessage
{
    QString title;
    QString text;
    const QWidget* parent = nullptr; // the widget the box was modal to (not owned)
    UserDialogs::Icon icon = UserDialogs::Icon::None;
};

} // namespace orthaven
