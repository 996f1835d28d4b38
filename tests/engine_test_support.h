// Small helpers shared by the engine's tests, on top of those shared by every test.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
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

inline std::string IndexError(int index) {
  return "リストのインデックスが範囲を超えています (" + std::to_string(index) + ")";
}

}  // namespace tavrin::testing_support
