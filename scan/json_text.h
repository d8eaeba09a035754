// JSON text: string escaping for the writers and a small reader of whole documents.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scan {

// `text` (UTF-8) as a JSON string with its quotes, appended to `out`.
void AppendJsonString(std::string& out, std::string_view text);

struct TJsonValue {
  enum class Type { Null, Boolean, Number, String, Array, Object };
  Type type = Type::Null;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<TJsonValue> items;   // of an array, or the members of an object in document order
  std::vector<std::string> names;  // of an object: names[i] names items[i]

  const std::string* String() const { return type == Type::String ? &string : nullptr; }
  const std::vector<TJsonValue>* Array() const { return type == Type::Array ? &items : nullptr; }
  // The member `name` of an object; null when this is no object or has no such member.
  const TJsonValue* Member(std::string_view name) const;
};

// A whole document (RFC 8259; nesting up to 64 levels). On failure nullopt and, in `error`, what
// was wrong and at which byte.
std::optional<TJsonValue> ParseJson(std::string_view text, std::string* error);

}  // namespace scan
