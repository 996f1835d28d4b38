// Small helpers shared by the engine's tests, on top of those shared by every test.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "engine/error.h"
#include "engine/text_list.h"
#include "tests/test_support.h"

namespace tavrin::testing_support {

using Strings = std::vector<std::string>;

inline TextList List(std::initializer_list<std::string> entries) {
  TextList list;
  for (const std::string& e : entries) list.Append(e);
  return list;
}

inline Strings Entries(const TextList& list) {
  Strings out;
  for (int32_t i = 0; i < list.Count(); ++i) out.emplace_back(list.At(i));
  return out;
}

// The message of the Error that `action` raises, or "no error".
inline std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

// The units of `text` as bytes, after the byte-order mark of either order.
inline std::string Utf16Bytes(std::u16string_view text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

inline std::string IndexError(int index) {
  return "リストのインデックスが範囲を超えています (" + std::to_string(index) + ")";
}

}  // namespace tavrin::testing_support
