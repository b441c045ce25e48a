#pragma once
// Installs the program's German translation for the lifetime of the object, so a test
// can see that a form's texts and messages have their German versions.

#include "app/Startup.h"

#include <QCoreApplication>
#include <QTranslator>

namespace orthaven::test {

class GermanTexts
{
public:
    GermanTexts()
    {
        loaded = loadTranslation(translator, QStringLiteral("orthaven_de"));
        QCoreApplication::installTranslator(&translator);
    }
    ~GermanTexts() { QCoreApplication::removeTranslator(&translator); }
    GermanTexts(const GermanTexts&) = delete;
    GermanTexts& operator=(const GermanTexts&) = delete;

    bool isLoaded() const { return loaded; }

private:
    QTranslator translator;
    bool loaded = false;
};

} // namespace orthaven::test
