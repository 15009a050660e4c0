#include "app/Language.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTranslator>

namespace orvo {

std::string LanguageOfLocale(const std::function<const char*(const char*)>& getenv) {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv(name);
        if (!value || !*value)
            continue;
        const std::string locale(value);
        return locale.rfind("ru", 0) == 0 ? "ru" : "en";
    }
    return "en";
}

bool InstallLanguage(const std::string& language) {
    // Owned by the application, so it lives as long as the texts are shown.
    static QPointer<QTranslator> english;
    if (language != "en") {
        if (english)
            QCoreApplication::removeTranslator(english);
        delete english;
        return true;
    }
    if (english)
        return true;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral(":/i18n/orvo-messages_en.qm"))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    english = translator;
    return true;
}

}  // namespace orvo
