// JSON text: string escaping for the writers and a small reader of whole documents.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace scan {

// `text` (UTF-8) as a JSON string with its quotes, appended to `out`.
void AppendJsonString(std::string& out, std::string_view text);

struct TJsonValue;
using TJsonArray = std::vector<TJsonValue>;
using TJsonObject = std::vector<std::pair<std::string, TJsonValue>>;  // in document order

struct TJsonValue {
  // null, boolean, number, string, array, object
  std::variant<std::nullptr_t, bool, double, std::string, TJsonArray, TJsonObject> value;

  const std::string* String() const { return std::get_if<std::string>(&value); }
  const TJsonArray* Array() const { return std::get_if<TJsonArray>(&value); }
  const TJsonObject* Object() const { return std::get_if<TJsonObject>(&value); }
  // The member `name` of an object; null when this is no object or has no such member.
  const TJsonValue* Member(std::string_view name) const;
};

// A whole document (RFC 8259; nesting up to 64 levels). On failure nullopt and, in `error`, what
// was wrong and at which byte.
std::optional<TJsonValue> ParseJson(std::string_view text, std::string* error);

}  // namespace scan
