#pragma once
// Windows' collation for the recordings list: the order of partners and the search's match, as
// Explorer sorts and finds names.
#include <string>
#include <string_view>

namespace callwright {

struct RecordingListServices;

// Natural order, letter case aside ("bob2" before "Bob10"): CompareStringEx with
// NORM_IGNORECASE | SORT_DIGITSASNUMBERS in the user's locale. Negative, 0 or positive.
int NaturalCompare(std::wstring_view a, std::wstring_view b);
// The sort key of that order (LCMapStringEx): two keys compared byte by byte order as
// NaturalCompare orders their texts. Empty when no key could be made.
std::string NaturalSortKey(std::wstring_view text);
// Whether `text` holds `part`, letter case and accents aside (FindNLSStringEx with
// LINGUISTIC_IGNORECASE | LINGUISTIC_IGNOREDIACRITIC). An empty part is in every text.
bool ContainsLinguistic(std::wstring_view text, std::wstring_view part);
// Whether ContainsLinguistic matches `text`'s characters one by one, each a sorting element of its
// own (printable ASCII outside the locale's contractions): then a text holding a part holds each of
// its beginnings.
bool MatchedCharacterByCharacter(std::wstring_view text);
// Gives the list these four: the order and search of the main window.
void UseWindowsTextOrder(RecordingListServices& services);

}  // namespace callwright
