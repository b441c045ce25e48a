#include "uikit/UserDialogs.h"

#include <QColorDialog>
#include <QMessageBox>

#include <deque>

namespace orthaven {

namespace {

struct Script
{
    bool scripted = false;
    std::deque<QStringList> fileNames; // answers of the file and folder choosers
    std::deque<QColor> colors;
    QList<ShownMessage> shown;
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

} // namespace

void UserDialogs::information(QWidget* parent, const QString& title, const QString& text)
{
    if (script().scripted) {
        script().shown.append({title, text});
        return;
    }
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

void UserDialogs::message(QWidget* parent, const QString& text)
{
    if (script().scripted) {
        script().shown.append({QString(), text});
        return;
    }
    QMessageBox box(parent);
    box.setText(text);
    box.exec();
}

void UserDialogs::about(QWidget* parent, const QString& title, const QString& text)
{
    if (script().scripted) {
        script().shown.append({title, text});
        return;
    }
    QMessageBox::about(parent, title, text);
}

QStringList UserDialogs::openFileNames(QWidget* parent, const QString& caption,
                                       const QString& folder, const QString& filter)
{
    if (script().scripted)
        return takeFileNames();
    return QFileDialog::getOpenFileNames(parent, caption, folder, filter);
}

QString UserDialogs::saveFileName(QWidget* parent, const QString& caption, const QString& path,
                                  const QString& filter)
{
    if (script().scripted) {
        const QStringList answer = takeFileNames();
        return answer.isEmpty() ? QString() : answer.first();
    }
    return QFileDialog::getSaveFileName(parent, caption, path, filter);
}

QString UserDialogs::existingDirectory(QWidget* parent, const QString& caption,
                                       const QString& folder)
{
    if (script().scripted) {
        const QStringList answer = takeFileNames();
        return answer.isEmpty() ? QString() : answer.first();
    }
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
    return QColorDialog::getColor(Qt::white, parent, title);
}

void UserDialogs::setScripted(bool scripted) { script().scripted = scripted; }
bool UserDialogs::isScripted() { return script().scripted; }
void UserDialogs::setNextFileNames(const QStringList& names) { script().fileNames.push_back(names); }
void UserDialogs::setNextFileName(const QString& name) { script().fileNames.push_back({name}); }
void UserDialogs::setNextDirectory(const QString& folder) { script().fileNames.push_back({folder}); }
void UserDialogs::setNextColor(const QColor& color) { script().colors.push_back(color); }
QList<ShownMessage> UserDialogs::shownMessages() { return script().shown; }

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
    script().shown.clear();
}

} // namespace orthaven
