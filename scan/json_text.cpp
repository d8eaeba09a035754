#include "scan/json_text.h"

#include <cstdlib>

namespace scan {

void AppendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  size_t plain = 0;  // start of the run not yet copied
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(text, plain, i - plain);
    plain = i + 1;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
  }
  out.append(text, plain);
  out += '"';
}

const TJsonValue* TJsonValue::Member(std::string_view name) const {
  if (type != Type::Object) return nullptr;
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return &items[i];
  }
  return nullptr;
}

namespace {

constexpr int kMaxDepth = 64;

class Reader {
 public:
  explicit Reader(std::string_view text) : s_(text) {}

  std::optional<TJsonValue> Document(std::string* error) {
    std::optional<TJsonValue> value = Value(0);
    if (value) {
      Space();
      if (at_ != s_.size()) value = Fail("text after the document");
    }
    if (!value && error) *error = error_ + " at byte " + std::to_string(at_);
    return value;
  }

 private:
  std::nullopt_t Fail(const char* what) {
    if (error_.empty()) error_ = what;
    return std::nullopt;
  }
  void Space() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r')) ++at_;
  }
  bool Take(char c) {
    Space();
    if (at_ < s_.size() && s_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view word) {
    if (s_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  template <typename Fill>
  static TJsonValue Made(TJsonValue::Type type, Fill fill) {
    TJsonValue v;
    v.type = type;
    fill(v);
    return v;
  }

  std::optional<TJsonValue> Value(int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    Space();
    if (at_ >= s_.size()) return Fail("unexpected end");
    const char c = s_[at_];
    if (c == '{') return ObjectValue(depth);
    if (c == '[') return ArrayValue(depth);
    if (c == '"') {
      std::optional<std::string> text = String();
      if (!text) return std::nullopt;
      return Made(TJsonValue::Type::String, [&](TJsonValue& v) { v.string = std::move(*text); });
    }
    if (Word("null")) return TJsonValue{};
    if (Word("true")) return Made(TJsonValue::Type::Boolean, [](TJsonValue& v) { v.boolean = true; });
    if (Word("false")) return Made(TJsonValue::Type::Boolean, [](TJsonValue&) {});
    return Number();
  }

  std::optional<TJsonValue> Number() {
    const size_t start = at_;
    auto digits = [&] {
      const size_t from = at_;
      while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
      return at_ > from;
    };
    if (at_ < s_.size() && s_[at_] == '-') ++at_;
    if (at_ < s_.size() && s_[at_] == '0') {
      ++at_;
    } else if (!digits()) {
      return Fail("unexpected character");
    }
    if (at_ < s_.size() && s_[at_] == '.' && (++at_, !digits())) return Fail("bad number");
    if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
      ++at_;
      if (at_ < s_.size() && (s_[at_] == '+' || s_[at_] == '-')) ++at_;
      if (!digits()) return Fail("bad number");
    }
    const double number = std::strtod(std::string(s_.substr(start, at_ - start)).c_str(), nullptr);
    return Made(TJsonValue::Type::Number, [&](TJsonValue& v) { v.number = number; });
  }

  std::optional<TJsonValue> ArrayValue(int depth) {
    ++at_;
    TJsonValue array;
    array.type = TJsonValue::Type::Array;
    if (Take(']')) return array;
    do {
      std::optional<TJsonValue> item = Value(depth + 1);
      if (!item) return std::nullopt;
      array.items.push_back(std::move(*item));
    } while (Take(','));
    if (!Take(']')) return Fail("expected ',' or ']'");
    return array;
  }

  std::optional<TJsonValue> ObjectValue(int depth) {
    ++at_;
    TJsonValue object;
    object.type = TJsonValue::Type::Object;
    if (Take('}')) return object;
    do {
      Space();
      if (at_ >= s_.size() || s_[at_] != '"') return Fail("expected a member name");
      std::optional<std::string> name = String();
      if (!name) return std::nullopt;
      if (!Take(':')) return Fail("expected ':'");
      std::optional<TJsonValue> member = Value(depth + 1);
      if (!member) return std::nullopt;
      object.names.push_back(std::move(*name));
      object.items.push_back(std::move(*member));
    } while (Take(','));
    if (!Take('}')) return Fail("expected ',' or '}'");
    return object;
  }

  std::optional<unsigned> Hex4() {
    if (s_.size() - at_ < 4) return std::nullopt;
    unsigned v = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = s_[at_++];
      v <<= 4;
      if (c >= '0' && c <= '9') v |= unsigned(c - '0');
      else if (c >= 'a' && c <= 'f') v |= unsigned(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') v |= unsigned(c - 'A' + 10);
      else return std::nullopt;
    }
    return v;
  }

  static void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }

  // A string at the opening quote; its bytes are kept as they stand (the document is UTF-8).
  std::optional<std::string> String() {
    ++at_;
    std::string out;
    for (;;) {
      const size_t run = at_;
      while (at_ < s_.size() && s_[at_] != '"' && s_[at_] != '\\' && static_cast<unsigned char>(s_[at_]) >= 0x20) ++at_;
      out.append(s_, run, at_ - run);
      if (at_ >= s_.size()) return Fail("unterminated string");
      const char c = s_[at_++];
      if (c == '"') return out;
      if (c != '\\') return Fail("control character in a string");
      if (at_ >= s_.size()) return Fail("unterminated string");
      const char e = s_[at_++];
      switch (e) {
        case '"': case '\\': case '/': out += e; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          std::optional<unsigned> unit = Hex4();
          if (!unit) return Fail("bad \\u escape");
          char32_t c32 = *unit;
          if (c32 >= 0xD800 && c32 <= 0xDBFF) {
            std::optional<unsigned> low;
            if (s_.substr(at_, 2) == "\\u" && (at_ += 2, low = Hex4()) && *low >= 0xDC00 && *low <= 0xDFFF) {
              c32 = 0x10000 + ((c32 - 0xD800) << 10) + (*low - 0xDC00);
            } else {
              return Fail("lone surrogate");
            }
          } else if (c32 >= 0xDC00 && c32 <= 0xDFFF) {
            return Fail("lone surrogate");
          }
          AppendUtf8(out, c32);
          break;
        }
        default:
          return Fail("bad escape");
      }
    }
  }

  std::string_view s_;
  size_t at_ = 0;
  std::string error_;
};

}  // namespace

std::optional<TJsonValue> ParseJson(std::string_view text, std::string* error) { return Reader(text).Document(error); }

}  // namespace scan
