#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace daylume {

// A read-only view of one value of a parsed JSON document.
class Json {
public:
    // Parses a whole document; nothing when the text is not JSON.
    static std::optional<Json> parse(std::string_view text);
    // A document of one object whose members are these strings, in this order.
    static std::string object(const std::vector<std::pair<std::string, std::string>>& members);

    bool isObject() const;
    bool isArray() const;
    bool isString() const;

    // Objects: the value under `key`, if present.
    std::optional<Json> member(std::string_view key) const;
    // Arrays: the number of elements and one of them.
    std::size_t size() const;
    Json at(std::size_t index) const;
    // Strings: the text, UTF-8.
    std::string string() const;

    ~Json();
    Json(const Json&);
    Json& operator=(const Json&);

private:
    struct Value;
    explicit Json(std::shared_ptr<const Value> value);
    std::shared_ptr<const Value> value_;
};

}  // namespace daylume
