#include "engine/compose.h"

#include <cstring>
#include <utility>

#include "engine/scan.h"

namespace tavrin {

namespace {

bool HasPlaceholderMark(std::string_view text) {
  return std::memchr(text.data(), '$', text.size()) != nullptr;
}

std::string Placeholder(int32_t i) {
  std::string placeholder(1, '$');
  placeholder += DecimalText(i);
  return placeholder;
}

}  // namespace

std::string ExpandTemplate(std::string_view tmpl, const TextList& params,
                           const TextList& defaults) {
  std::string result(tmpl);
  // Values are inserted only where a placeholder stands, so a text without "$" stays as it is.
  if (!HasPlaceholderMark(result)) return result;
  const int32_t paramCount = params.Count();
  const int32_t defaultCount = defaults.Count();
  for (int32_t i = 1; i < paramCount && HasPlaceholderMark(result); ++i) {
    std::string_view value = params.At(i);
    if (!value.empty()) {
      result = ReplaceAll(result, Placeholder(i), value);
    } else if (i < defaultCount) {
      result = ReplaceAll(result, Placeholder(i), defaults.At(i));
    }
  }
  for (int32_t i = paramCount; i < defaultCount && HasPlaceholderMark(result); ++i) {
    result = ReplaceAll(result, Placeholder(i), defaults.At(i));
  }
  return result;
}

std::string SingleFieldPage(const DeckState& deck, const TextList& params) {
  const DeckSettings& s = deck.Settings;
  std::string head = ExpandTemplate(s[kOuterHead] + s[kInnerHead], params, deck.DefaultParams);
  std::string_view body = params.At(0);
  std::string foot = ExpandTemplate(s[kInnerFoot] + s[kOuterFoot], params, deck.DefaultParams);
  std::string page;
  page.reserve(head.size() + body.size() + foot.size());
  page.append(head).append(body).append(foot);
  return page;
}

std::string RevealedFieldsPage(DeckState& deck) {
  const DeckSettings& s = deck.Settings;
  const std::string& separator = deck.ParamSeparator;
  const int32_t last = deck.RevealedField;

  // A field without parameters expands its templates from the defaults alone: once per page,
  // not once per field.
  TextList single;
  single.Append({});
  const std::string plainHead = ExpandTemplate(s[kInnerHead], single, deck.DefaultParams);
  const std::string plainFoot = ExpandTemplate(s[kInnerFoot], single, deck.DefaultParams);

  // The outer templates take the parameters of the field revealed last. They are worked out
  // first, so that the page is written once, front to back, into room reserved for it: a card of
  // a hundred thousand fields makes a page of megabytes.
  TextList lastParams;
  SplitKeepingEmpty(separator, deck.CardFields.At(last), lastParams);
  const std::string head = ExpandTemplate(s[kOuterHead], lastParams, deck.DefaultParams);
  const std::string foot = ExpandTemplate(s[kOuterFoot], lastParams, deck.DefaultParams);
  std::size_t room = head.size() + foot.size();
  for (int32_t j = 0; j <= last; ++j) {
    room += deck.CardFields.At(j).size() + plainHead.size() + plainFoot.size();
  }
  std::string page;
  ReserveFresh(page, room);
  page.append(head);

  std::string work;
  for (int32_t j = 0; j <= last; ++j) {
    std::string_view field = deck.CardFields.At(j);
    bool plain = separator.empty();
    if (!plain) {
      // The split of a field is the field alone exactly when the first separator found in
      // field + separator is the appended one.
      work.assign(field).append(separator);
      plain = FindText(separator, work) == static_cast<int32_t>(field.size()) + 1;
    }
    if (plain) {
      page.append(plainHead).append(field).append(plainFoot);
      continue;
    }
    SplitKeepingEmpty(separator, field, deck.Params);
    page.append(ExpandTemplate(s[kInnerHead], deck.Params, deck.DefaultParams));
    page.append(deck.Params.At(0));
    page.append(ExpandTemplate(s[kInnerFoot], deck.Params, deck.DefaultParams));
  }
  page.append(foot);
  deck.Params = std::move(lastParams);
  return page;
}

}  // namespace tavrin
