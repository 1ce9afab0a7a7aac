#include "platform/linux/qt_bundle.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace daylume {

QtBundle::QtBundle(const QByteArray& settingsJson)
    : settings_(QJsonDocument::fromJson(settingsJson).object()) {}

QByteArray QtBundle::builtInSettings() {
    QFile file(QStringLiteral(":/bundle.json"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void QtBundle::loadTranslations() {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale(), QStringLiteral("daylume"), QStringLiteral("_"),
                         QStringLiteral(":/i18n")) ||
        translator->load(QStringLiteral("daylume_en"), QStringLiteral(":/i18n")))
        QCoreApplication::installTranslator(translator);
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
}

std::string QtBundle::localizedTime(Date date) const {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(date.time_since_epoch());
    return QLocale()
        .toString(QDateTime::fromSecsSinceEpoch(seconds.count()).time(), QLocale::ShortFormat)
        .toStdString();
}

std::optional<std::string> QtBundle::stringValue(std::string_view key) const {
    const QJsonValue value = settings_.value(QString::fromUtf8(key.data(), qsizetype(key.size())));
    if (!value.isString()) return std::nullopt;
    return value.toString().toStdString();
}

std::string QtBundle::localizedString(std::string_view key) const {
    const std::string source(key);
    return QCoreApplication::translate("Localizable", source.c_str()).toStdString();
}

}  // namespace daylume
