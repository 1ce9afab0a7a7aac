#include "platform/json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace daylume {

struct Json::Value {
    QJsonValue value;
};

Json::Json(std::shared_ptr<const Value> value) : value_(std::move(value)) {}
Json::~Json() = default;
Json::Json(const Json&) = default;
Json& Json::operator=(const Json&) = default;

std::optional<Json> Json::parse(std::string_view text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(text.data(), qsizetype(text.size())), &error);
    if (error.error != QJsonParseError::NoError) return std::nullopt;
    QJsonValue root =
        document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array());
    return Json(std::make_shared<const Value>(Value{std::move(root)}));
}

std::string Json::object(const std::vector<std::pair<std::string, std::string>>& members) {
    QJsonObject object;
    for (const auto& [key, value] : members)
        object.insert(QString::fromStdString(key), QString::fromStdString(value));
    return QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

bool Json::isObject() const {
    return value_->value.isObject();
}
bool Json::isArray() const {
    return value_->value.isArray();
}
bool Json::isString() const {
    return value_->value.isString();
}

std::optional<Json> Json::member(std::string_view key) const {
    const QJsonObject object = value_->value.toObject();
    const auto it = object.constFind(QString::fromUtf8(key.data(), qsizetype(key.size())));
    if (it == object.constEnd()) return std::nullopt;
    return Json(std::make_shared<const Value>(Value{it.value()}));
}

std::size_t Json::size() const {
    return std::size_t(value_->value.toArray().size());
}

Json Json::at(std::size_t index) const {
    return Json(std::make_shared<const Value>(Value{value_->value.toArray().at(qsizetype(index))}));
}

std::string Json::string() const {
    return value_->value.toString().toStdString();
}

}  // namespace daylume
