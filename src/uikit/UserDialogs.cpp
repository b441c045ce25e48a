#include "uikit/UserDialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
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

void UserDialogs::information(QWidget* parent, const QString& title, const QString& text)
{
    if (script().scripted) {
        script().shown.append({title, text, parent});
        return;
    }
    const FocusKeeper focus;
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

void UserDialogs::message(QWidget* parent, const QString& text)
{
    if (script().scripted) {
        script().shown.append({QString(), text, parent});
        return;
    }
    const FocusKeeper focus;
    QMessageBox box(parent);
    box.setText(text);
    box.exec();
}

void UserDialogs::about(QWidget* parent, const QString& title, const QString& text)
{
    if (script().scripted) {
        script().shown.append({title, text, parent});
        return;
    }
    const FocusKeeper focus;
    QMessageBox::about(parent, title, text);
}

bool UserDialogs::offer(QWidget* parent, Icon icon, const QString& title, const QString& text,
                        const QString& offerText)
{
    if (script().scripted) {
        script().shown.append({title, text, parent});
        auto& answers = script().offers;
        if (answers.empty())
            return false;
        const bool take = answers.front();
        answers.pop_front();
        return take;
    }
    const FocusKeeper focus;
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::Information, title,
                    text, QMessageBox::Ok, parent);
    QPushButton* offered = box.addButton(offerText, QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == offered;
}

void UserDialogs::openFolder(const QString& folder)
{
    if (script().scripted) {
        script().openedFolders.append(folder);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
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
    script().shown.clear();
    script().openedFolders.clear();
    script().lastFilter.clear();
}

} // namespace orthaven
