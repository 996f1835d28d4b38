// Page composition: the four templates of the DeckSettings, the visible text of one or more fields,
// and the parameters that follow each field's comment introducer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/error.h"
#include "engine/text_list.h"

namespace tavrin {

// Indexes of the six per-deck settings, in the order in which the header keys are looked up.
enum DeckSetting : int {
  kOuterHead = 0,
  kInnerHead,
  kInnerFoot,
  kOuterFoot,
  kCommentIntroducer,
  kDefaultParameters,
  kDeckSettingCount
};

using DeckSettings = std::array<std::string, kDeckSettingCount>;

// What composition reads of a deck: its settings, the comment introducer that cuts a field into
// parameters, and the default parameters.
struct PageRules {
  std::string ParamSeparator;
  DeckSettings Settings;
  TextList DefaultParams;
};

// The inner part of the last page of revealed fields (each field between its inner templates),
// kept so that the next OK composes the one field it adds instead of every field again. It holds
// only while the fields, the inner templates and the parameter rules it was made from stay as
// they were; composition checks that before using it.
struct RevealedFieldsMemo {
  uint64_t cardFieldsVersion = 0;
  uint64_t defaultParamsVersion = 0;
  std::string innerHead;
  std::string innerFoot;
  std::string paramSeparator;
  int codePage = 0;
  std::size_t pageSizeLimit = 0;
  int32_t fields = -1;  // fields 0 to fields - 1 are in `inner`; -1: nothing kept
  std::string inner;
  std::size_t lastStart = 0;  // where field fields - 1 begins in `inner`
};

// The largest page, in bytes, that composition builds (256 MiB unless set): a template whose
// placeholders would expand past it raises Error "ページが %d バイトを超えるため表示できません"
// instead of exhausting memory.
std::size_t PageSizeLimit();
void SetPageSizeLimit(std::size_t bytes);

// `tmpl` with its placeholders "$1", "$2", ... substituted from `params` (entry 0 is the visible
// text and is not used) and, for empty or missing parameters, from `defaults`. Substitution is
// plain text replacement in ascending order, each step over the result of the one before.
std::string ExpandTemplate(std::string_view tmpl, const TextList& params, const TextList& defaults);

// The page for one text already split into `params`: heads and foots each joined before expansion.
// Throws the list index error when `params` is empty.
std::string SingleFieldPage(const PageRules& rules, const TextList& params);

// The page for fields 0 to `last` of `fields` shown together; leaves `params` holding the
// parameters of field `last` and, when `lastStart` is given, sets it to the offset in the page at
// which field `last` begins (at its inner head). Fields that `memo` still holds from the page
// before are not composed again. Throws the list index error for a field without entries; `params`
// may then have changed, and `memo` keeps nothing half made.
std::string RevealedFieldsPage(const PageRules& rules, const TextList& fields, int32_t last,
                               TextList& params, RevealedFieldsMemo& memo,
                               std::size_t* lastStart = nullptr);

}  // namespace tavrin
