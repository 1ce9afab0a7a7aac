#pragma once

#include <QJsonObject>
#include <QLocale>

#include "platform/application.h"

namespace daylume {

// Settings from a JSON object (the build writes the version keys into one) and the translation
// tables compiled into the program, keyed by the keys themselves.
class QtBundle final : public Bundle {
public:
    explicit QtBundle(const QByteArray& settingsJson);
    // The settings compiled into the program.
    static QByteArray builtInSettings();
    // Installs the translations for the user's languages, English where there are none, and
    // Qt's own (the texts of standard buttons).
    static void loadTranslations();

    std::optional<std::string> stringValue(std::string_view key) const override;
    std::string localizedString(std::string_view key) const override;
    std::string localizedTime(Date date) const override;
    std::string localeName() const override { return QLocale().name().toStdString(); }

private:
    QJsonObject settings_;
};

}  // namespace daylume
