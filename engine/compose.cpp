#include "engine/compose.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/double_byte.h"
#include "engine/error.h"
#include "engine/platform.h"
#include "engine/text.h"
#include "engine/text_list.h"

namespace tavrin {

namespace {

std::string Placeholder(int32_t i) {
  std::string placeholder(1, '$');
  placeholder += DecimalText(i);
  return placeholder;
}

// Where "$" and the digits of a number stand in a text: for each number from 1 to `highest`, how
// many times its placeholder may match (a "$" at the second byte of a double-byte character is
// counted although it never matches). Lets ExpandTemplate pass over the numbers that cannot occur
// instead of searching the whole text once for every parameter.
class PlaceholderCensus {
 public:
  PlaceholderCensus(std::string_view text, int32_t highest) : highest_(highest) { Take(text); }

  void Take(std::string_view text) {
    counts_.clear();
    const char* d = text.data();
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
      const void* mark = std::memchr(d + i, '$', n - i);
      if (mark == nullptr) break;
      i = static_cast<std::size_t>(static_cast<const char*>(mark) - d);
      // "$12" holds the placeholders of 1 and of 12; "$05" holds only that of 0.
      int64_t number = 0;
      for (std::size_t k = i + 1; k < n && d[k] >= '0' && d[k] <= '9'; ++k) {
        number = number * 10 + (d[k] - '0');
        if (number > highest_) break;
        counts_.emplace_back(static_cast<int32_t>(number), 1);
        if (number == 0) break;
      }
    }
    std::sort(counts_.begin(), counts_.end());
    // Merge equal numbers into one entry with their count.
    std::size_t out = 0;
    for (std::size_t i = 0; i < counts_.size(); ++i) {
      if (out > 0 && counts_[out - 1].first == counts_[i].first) {
        ++counts_[out - 1].second;
      } else {
        counts_[out++] = counts_[i];
      }
    }
    counts_.resize(out);
  }

  // How many times the placeholder of `number` may match.
  uint64_t Count(int32_t number) const {
    auto it = std::lower_bound(counts_.begin(), counts_.end(), std::make_pair(number, uint64_t{0}));
    return it != counts_.end() && it->first == number ? it->second : 0;
  }

 private:
  int32_t highest_;
  std::vector<std::pair<int32_t, uint64_t>> counts_;
};

// Replaces the placeholder of `number` in `result` by `value`, unless it cannot occur. Throws
// when the text could grow past the largest page.
void Substitute(std::string& result, PlaceholderCensus& census, int32_t number,
                std::string_view value) {
  const uint64_t count = census.Count(number);
  if (count == 0) return;
  const std::string placeholder = Placeholder(number);
  if (value.size() > placeholder.size()) {
    const uint64_t bound = result.size() + count * (value.size() - placeholder.size());
    if (bound > PageSizeLimit()) {
      throw Error("ページが " + std::to_string(PageSizeLimit()) +
                  " バイトを超えるため表示できません");
    }
  }
  result = ReplaceAll(result, placeholder, value);
  census.Take(result);
}

std::size_t g_pageSizeLimit = std::size_t{256} << 20;

}  // namespace

std::size_t PageSizeLimit() {
  return g_pageSizeLimit;
}
void SetPageSizeLimit(std::size_t bytes) {
  g_pageSizeLimit = bytes;
}

std::string ExpandTemplate(std::string_view tmpl, const TextList& params,
                           const TextList& defaults) {
  std::string result(tmpl);
  const int32_t paramCount = params.Count();
  const int32_t defaultCount = defaults.Count();
  PlaceholderCensus census(result, std::max(paramCount, defaultCount) - 1);
  for (int32_t i = 1; i < paramCount; ++i) {
    std::string_view value = params.At(i);
    if (!value.empty()) {
      Substitute(result, census, i, value);
    } else if (i < defaultCount) {
      Substitute(result, census, i, defaults.At(i));
    }
  }
  for (int32_t i = paramCount; i < defaultCount; ++i) {
    // From 0 when the text split into nothing: "$0" then takes the first default.
    Substitute(result, census, i, defaults.At(i));
  }
  return result;
}

std::string SingleFieldPage(const PageRules& rules, const TextList& params) {
  const DeckSettings& s = rules.Settings;
  std::string head = ExpandTemplate(s[kOuterHead] + s[kInnerHead], params, rules.DefaultParams);
  std::string_view body = params.At(0);
  std::string foot = ExpandTemplate(s[kInnerFoot] + s[kOuterFoot], params, rules.DefaultParams);
  std::string page;
  page.reserve(head.size() + body.size() + foot.size());
  page.append(head).append(body).append(foot);
  return page;
}

namespace {

// True when `memo` was made from `fields` and from the inner templates and parameter rules of
// `rules` as they are now.
bool MemoHolds(const RevealedFieldsMemo& memo, const PageRules& rules, const TextList& fields) {
  const DeckSettings& s = rules.Settings;
  return memo.fields >= 0 && memo.cardFieldsVersion == fields.Version() &&
         memo.defaultParamsVersion == rules.DefaultParams.Version() &&
         memo.codePage == DoubleByteCodePage() && memo.pageSizeLimit == PageSizeLimit() &&
         memo.innerHead == s[kInnerHead] && memo.innerFoot == s[kInnerFoot] &&
         memo.paramSeparator == rules.ParamSeparator;
}

void StartMemo(RevealedFieldsMemo& memo, const PageRules& rules, const TextList& fields) {
  const DeckSettings& s = rules.Settings;
  memo.cardFieldsVersion = fields.Version();
  memo.defaultParamsVersion = rules.DefaultParams.Version();
  memo.innerHead = s[kInnerHead];
  memo.innerFoot = s[kInnerFoot];
  memo.paramSeparator = rules.ParamSeparator;
  memo.codePage = DoubleByteCodePage();
  memo.pageSizeLimit = PageSizeLimit();
  memo.fields = 0;
  memo.inner.clear();
}

// Appends fields `first` to `last` of `fields`, each between its inner templates, to `inner`.
// A field without parameters takes the templates expanded from the defaults alone, `plainHead`
// and `plainFoot`; a field with some leaves them in `params`.
void AppendInnerFields(const PageRules& rules, const TextList& fields, int32_t first, int32_t last,
                       const std::string& plainHead, const std::string& plainFoot, TextList& params,
                       std::string& inner) {
  const DeckSettings& s = rules.Settings;
  const std::string& separator = rules.ParamSeparator;
  std::string work;
  for (int32_t j = first; j <= last; ++j) {
    std::string_view field = fields.At(j);
    bool plain = separator.empty();
    if (!plain) {
      // The split of a field is the field alone exactly when the first separator found in
      // field + separator is the appended one.
      work.assign(field).append(separator);
      plain = FindText(separator, work) == static_cast<int32_t>(field.size()) + 1;
    }
    if (plain) {
      inner.append(plainHead).append(field).append(plainFoot);
      continue;
    }
    SplitKeepingEmpty(separator, field, params);
    inner.append(ExpandTemplate(s[kInnerHead], params, rules.DefaultParams));
    inner.append(params.At(0));
    inner.append(ExpandTemplate(s[kInnerFoot], params, rules.DefaultParams));
  }
}

}  // namespace

std::string RevealedFieldsPage(const PageRules& rules, const TextList& fields, int32_t last,
                               TextList& params, RevealedFieldsMemo& memo, std::size_t* lastStart) {
  const DeckSettings& s = rules.Settings;
  const TextList& defaults = rules.DefaultParams;

  // A field without parameters expands its templates from the defaults alone: once per page,
  // not once per field.
  TextList single;
  single.Append({});
  const std::string plainHead = ExpandTemplate(s[kInnerHead], single, defaults);
  const std::string plainFoot = ExpandTemplate(s[kInnerFoot], single, defaults);

  // The outer templates take the parameters of the field revealed last.
  TextList lastParams;
  SplitKeepingEmpty(rules.ParamSeparator, fields.At(last), lastParams);
  const std::string head = ExpandTemplate(s[kOuterHead], lastParams, defaults);
  const std::string foot = ExpandTemplate(s[kOuterFoot], lastParams, defaults);

  // Fields shown by the page before are taken as they were composed then: each OK adds one field,
  // so that pressing through a card of a hundred thousand fields stays quick to the last.
  if (!MemoHolds(memo, rules, fields) || memo.fields > last + 1) StartMemo(memo, rules, fields);
  if (memo.fields <= last) {
    const int32_t first = memo.fields;
    memo.fields = -1;  // until every field below is in: an error leaves nothing half kept
    AppendInnerFields(rules, fields, first, last - 1, plainHead, plainFoot, params, memo.inner);
    memo.lastStart = memo.inner.size();
    AppendInnerFields(rules, fields, last, last, plainHead, plainFoot, params, memo.inner);
    memo.fields = last + 1;
  }
  if (lastStart != nullptr) *lastStart = head.size() + memo.lastStart;

  std::string page;
  ReserveFresh(page, head.size() + memo.inner.size() + foot.size());
  page.append(head).append(memo.inner).append(foot);
  params = std::move(lastParams);
  return page;
}

}  // namespace tavrin
