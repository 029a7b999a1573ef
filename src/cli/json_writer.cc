#include "cli/json_writer.h"

#include <cstdio>

namespace r7k::cli {
namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0 when there is none.
size_t Utf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b = byte(i);
  size_t length = 0;
  uint32_t code = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
    code = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    code = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    code = b & 0x07;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and values beyond Unicode are not valid.
  if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
      (code >= 0xD800 && code <= 0xDFFF)) {
    return 0;
  }
  return length;
}

}  // namespace

std::string JsonQuote(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      if (const size_t n = Utf8Length(text, i)) {
        out.append(text.substr(i, n));
        i += n;
        continue;
      }
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c >= 0x80) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  out += '"';
  return out;
}

void JsonWriter::NewLine() {
  if (indent_ == 0) return;
  out_ << '\n' << std::string(levels_.size() * static_cast<size_t>(indent_), ' ');
}

void JsonWriter::BeforeValue() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (levels_.empty()) return;
  if (!levels_.back().empty) out_ << ',';
  levels_.back().empty = false;
  NewLine();
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  out_ << bracket;
  levels_.push_back({});
}

void JsonWriter::Close(char bracket) {
  const bool empty = levels_.back().empty;
  levels_.pop_back();
  if (!empty) NewLine();
  out_ << bracket;
  if (levels_.empty() && indent_ != 0) out_ << '\n';
}

void JsonWriter::Key(std::string_view key) {
  BeforeValue();
  out_ << JsonQuote(key) << (indent_ ? ": " : ":");
  after_key_ = true;
}

void JsonWriter::String(std::string_view value) {
  BeforeValue();
  out_ << JsonQuote(value);
}

void JsonWriter::Number(int64_t value) {
  BeforeValue();
  out_ << value;
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ << (value ? "true" : "false");
}

void JsonWriter::Null() {
  BeforeValue();
  out_ << "null";
}

std::string CellText(const Cell& cell) {
  if (const auto* text = std::get_if<std::string>(&cell)) return *text;
  return std::to_string(std::get<int64_t>(cell));
}

void WriteJsonTable(JsonWriter& json, const Table& table) {
  json.BeginArray();
  for (const auto& row : table.rows) {
    json.BeginObject();
    for (size_t i = 0; i < table.columns.size() && i < row.size(); ++i) {
      json.Key(table.columns[i]);
      if (const auto* text = std::get_if<std::string>(&row[i])) {
        json.String(*text);
      } else {
        json.Number(std::get<int64_t>(row[i]));
      }
    }
    json.EndObject();
  }
  json.EndArray();
}

}  // namespace r7k::cli
