// Page composition: the four templates of the DeckSettings, the visible text of one or more fields,
// and the parameters that follow each field's comment introducer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/deck.h"
#include "engine/text.h"

namespace tavrin {

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
std::string SingleFieldPage(const DeckState& deck, const TextList& params);

// The page for fields 0 to RevealedField of CardFields shown together; leaves deck.Params holding
// the parameters of the last of them. Fields that deck.Revealed still holds from the page before
// are not composed again. Throws the list index error for a field without entries.
std::string RevealedFieldsPage(DeckState& deck);

}  // namespace tavrin
