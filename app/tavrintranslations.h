#ifndef TAVRINTRANSLATIONS_H
#define TAVRINTRANSLATIONS_H

#include <QtCore/qstring.h>

QT_BEGIN_NAMESPACE
class QCoreApplication;
QT_END_NAMESPACE

// Installs the program's translation for the user's languages (LANGUAGE, else LC_ALL,
// LC_MESSAGES or LANG), built in under ":/i18n", and Qt's own translation of the same language
// (the texts Qt shows itself, such as the buttons of message boxes) from Qt's translations
// folder. The application owns both. English, the source language, needs neither. Returns the
// language installed ("de"), or an empty string when the program has none for the user.
QString installTavrinTranslations(QCoreApplication *app);

#endif // TAVRINTRANSLATIONS_H
