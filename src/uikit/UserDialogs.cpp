#include "uikit/UserDialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

#include <deque>

namespace orthaven {

namespace {

struct Script
{
    bool scripted = false;
    std::deque<QStringList> fileNames; // answers of the file and folder choosers
    std::deque<QColor> colors;
    std::deque<bool> offers;
    std::deque<bool> answers;
    bool fileManager = true;
    QList<ShownMessage> shown;
    QStringList openedFolders;
    QString lastFilter;
};

Script& script()
{
    static Script instance;
    return instance;
}

QStringList takeFileNames()
{
    auto& queue = script().fileNames;
    if (queue.empty())
        return {};
    QStringList answer = queue.front();
    queue.pop_front();
    return answer;
}

// Remembers the widget with the keyboard focus while a box or dialog is open and gives
// the focus back to it afterwards. Without this, a window that was not made active again
// when the box went away (some window managers leave that to the program) takes no
// keystrokes until it is clicked.
class FocusKeeper
{
public:
    FocusKeeper() : widget(QApplication::focusWidget()) {}
    ~FocusKeeper()
    {
        if (!widget || !widget->isVisible() || !widget->isEnabled())
            return;
        widget->activateWindow();
        widget->setFocus(Qt::OtherFocusReason);
    }
    FocusKeeper(const FocusKeeper&) = delete;
    FocusKeeper& operator=(const FocusKeeper&) = delete;

private:
    QPointer<QWidget> widget;
};

} // namespace

QMessageBox::Icon boxIcon(UserDialogs::Icon icon)
{
    switch (icon) {
    case UserDialogs::Icon::Information:
        return QMessageBox::Information;
    case UserDialogs::Icon::Warning:
        return QMessageBox::Warning;
    case UserDialogs::Icon::Critical:
        return QMessageBox::Critical;
    case UserDialogs::Icon::Question:
        return QMessageBox::Question;
    case UserDialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

bool takeAnswer(std::deque<bool>& answers)
{
    if (answers.empty())
        return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void UserDialogs::information(QWidget* parent, const QString& title, const QString& text)
{
    show(parent, Icon::Information, title, text);
}

void UserDialogs::show(QWidget* parent, Icon icon, const QString& title, const QString& text)
{
    if (script().scripted) {
        script().shown.append({title, text, parent, icon});
        return;
    }
    const FocusKeeper focus;
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, parent);
    box.exec();
}

void UserDialogs::message(QWidget* parent, const QString& text)
{
    show(parent, Icon::None, QString(), text);
}

void UserDialogs::about(QWidget* parent, const QString& title, const QString& text)
{
    if (script().scripted) {
        script().shown.append({title, text, parent, Icon::Information});
        return;
    }
    const FocusKeeper focus;
    QMessageBox::about(parent, title, text);
}

bool UserDialogs::offer(QWidget* parent, Icon icon, const QString& title, const QString& text,
                        const QString& offerText)
{
    if (script().scripted) {
        script().shown.append({title, text, parent, icon});
        return takeAnswer(script().offers);
    }
    const FocusKeeper focus;
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, parent);
    QPushButton* offered = box.addButton(offerText, QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == offered;
}

bool UserDialogs::question(QWidget* parent, const QString& title, const QString& text,
                           const QString& yesText)
{
    if (script().scripted) {
        script().shown.append({title, text, parent, Icon::Question});
        return takeAnswer(script().answers);
    }
    const FocusKeeper focus;
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Cancel, parent);
    QPushButton* yes = box.addButton(yesText, QMessageBox::AcceptRole);
    // What cannot be undone is never what Enter does.
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == yes;
}

void UserDialogs::openFolder(QWidget* parent, const QString& folder)
{
    const QString path = QDir::toNativeSeparators(folder);
    const QString title = QApplication::translate("Layout", "Open Folder");
    const QString text =
        QApplication::translate("Layout", "No file manager could be started. The folder is:");
    if (script().scripted) {
        script().openedFolders.append(folder);
        if (!script().fileManager)
            script().shown.append(
                {title, text + QLatin1Char('\n') + path, parent, Icon::Information});
        return;
    }
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        return;
    // No file manager to hand the folder to: its path, to be copied into one.
    const FocusKeeper focus;
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    box.setInformativeText(path);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}

QStringList UserDialogs::openFileNames(QWidget* parent, const QString& caption,
                                       const QString& folder, const QString& filter)
{
    if (script().scripted) {
        script().lastFilter = filter;
        return takeFileNames();
    }
    const FocusKeeper focus;
    return QFileDialog::getOpenFileNames(parent, caption, folder, filter);
}

QString UserDialogs::saveFileName(QWidget* parent, const QString& caption, const QString& path,
                                  const QString& filter)
{
    if (script().scripted) {
        script().lastFilter = filter;
        const QStringList answer = takeFileNames();
        return answer.isEmpty() ? QString() : answer.first();
    }
    const FocusKeeper focus;
    return QFileDialog::getSaveFileName(parent, caption, path, filter);
}

QString UserDialogs::existingDirectory(QWidget* parent, const QString& caption,
                                       const QString& folder)
{
    if (script().scripted) {
        const QStringList answer = takeFileNames();
        return answer.isEmpty() ? QString() : answer.first();
    }
    const FocusKeeper focus;
    return QFileDialog::getExistingDirectory(parent, caption, folder);
}

QColor UserDialogs::color(QWidget* parent, const QString& title)
{
    if (script().scripted) {
        auto& queue = script().colors;
        if (queue.empty())
            return {};
        const QColor answer = queue.front();
        queue.pop_front();
        return answer;
    }
    const FocusKeeper focus;
    return QColorDialog::getColor(Qt::white, parent, title);
}

void UserDialogs::setScripted(bool scripted)
{
    script().scripted = scripted;
}
bool UserDialogs::isScripted()
{
    return script().scripted;
}
void UserDialogs::setNextFileNames(const QStringList& names)
{
    script().fileNames.push_back(names);
}
void UserDialogs::setNextFileName(const QString& name)
{
    script().fileNames.push_back({name});
}
void UserDialogs::setNextDirectory(const QString& folder)
{
    script().fileNames.push_back({folder});
}
void UserDialogs::setNextColor(const QColor& color)
{
    script().colors.push_back(color);
}
void UserDialogs::setNextOffer(bool take)
{
    script().offers.push_back(take);
}
void UserDialogs::setNextAnswer(bool yes)
{
    script().answers.push_back(yes);
}
void UserDialogs::setFileManagerAvailable(bool available)
{
    script().fileManager = available;
}
QStringList UserDialogs::openedFolders()
{
    return script().openedFolders;
}
QString UserDialogs::lastFileFilter()
{
    return script().lastFilter;
}
QList<ShownMessage> UserDialogs::shownMessages()
{
    return script().shown;
}

QStringList UserDialogs::shownTexts()
{
    QStringList texts;
    for (const ShownMessage& m : script().shown)
        texts.append(m.text);
    return texts;
}

void UserDialogs::clearScript()
{
    script().fileNames.clear();
    script().colors.clear();
    script().offers.clear();
    script().answers.clear();
    script().fileManager = true;
    script().shown.clear();
    script().openedFolders.clear();
    script().lastFilter.clear();
}

} // namespace orthaven
