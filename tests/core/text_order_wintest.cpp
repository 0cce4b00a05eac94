// The list's text order against the system's own calls: sort keys order as CompareStringEx does,
// and the search's quick match for plain ASCII answers as FindNLSStringEx does.
#include "core/text_order_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cwctype>
#include <random>
#include <string>
#include <vector>

namespace callwright {
namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

TEST(TextOrder, SortKeysOrderAsNaturalCompare) {
  const std::vector<std::wstring> texts = {
      L"bob2",      L"Bob10",    L"bob10",     L"bob",        L"anna",      L"Anna",       L"\u00e1nna",
      L"\u00c9dith", L"edith",   L"zed",       L"Zed",        L"x1y",       L"x01y",       L"x10",
      L"99",        L"100",      L"co-op",     L"coop",       L"O'Neil",    L"oneil",      L"bob.smith",
      L"bob_smith", L"bob smith", L"live:bob", L"\u0141ukasz", L"lukasz",   L"\u65e5\u672c", L"a",
      L"partner.name.12", L"partner.name.123", L"partner.name.2", std::wstring(300, L'k'),
  };
  for (const std::wstring& a : texts) {
    const std::string key_a = NaturalSortKey(a);
    ASSERT_FALSE(key_a.empty());
    for (const std::wstring& b : texts) {
      const std::string key_b = NaturalSortKey(b);
      EXPECT_EQ(Sign(key_a.compare(key_b)), Sign(NaturalCompare(a, b)))
          << std::string(a.begin(), a.end()) << " / " << std::string(b.begin(), b.end());
    }
  }
  EXPECT_LT(NaturalCompare(L"bob2", L"Bob10"), 0) << "digits as numbers";
  EXPECT_EQ(NaturalCompare(L"ANNA", L"anna"), 0) << "letter case aside";
}

bool SystemFinds(const std::wstring& text, const std::wstring& part) {
  return ::FindNLSStringEx(LOCALE_NAME_USER_DEFAULT, FIND_FROMSTART | LINGUISTIC_IGNORECASE | LINGUISTIC_IGNOREDIACRITIC,
                           text.data(), static_cast<int>(text.size()), part.data(), static_cast<int>(part.size()),
                           nullptr, nullptr, nullptr, 0) >= 0;
}

TEST(TextOrder, SearchAnswersAsFindNLSStringEx) {
  struct Case {
    const wchar_t* text;
    const wchar_t* part;
  } cases[] = {
      {L"05032013_141516_Jos\u00e9.wav", L"jose"},  {L"05032013_141516_jose.wav", L"JOS\u00c9"},
      {L"05/03/2013 at 14:15:16", L"3/2013 at 1"}, {L"05/03/2013 at 14:15:16", L"2013  at"},
      {L"co-op.wav", L"coop"},                     {L"coop.wav", L"co-op"},
      {L"O'Neil.wav", L"oneil"},                   {L"a\u00adb.wav", L"ab"},
      {L"\u00e6sir.wav", L"ae"},                   {L"Kr\u00e6mer", L"krae"},
      {L"\uff21bc", L"abc"},                       {L"partner.name.123.wav", L"name.123"},
      {L"partner.name.123.wav", L"NAME.124"},      {L"short", L"longer than the text"},
      {L"x", L""},                                 {L"", L"x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ContainsLinguistic(c.text, c.part), SystemFinds(c.text, c.part) || !*c.part)
        << std::wstring(c.text).size() << " chars, part of " << std::wstring(c.part).size();
  }
  // Random printable ASCII, dense in the characters a match may treat alike or apart: letter
  // case, digits, the hyphen and the apostrophe, separators. Parts are pieces of the text with
  // their letter case changed, and strings of their own.
  const std::wstring alphabet = L"aAbBcCeEnNzZ019 -'._:/@#~";
  std::mt19937 random(20240607);
  const auto text_of = [&](std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i < size; ++i) text += alphabet[random() % alphabet.size()];
    return text;
  };
  int found = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::wstring text = text_of(1 + random() % 24);
    std::wstring part;
    if (i % 2 == 0) {
      const std::size_t at = random() % text.size();
      part = text.substr(at, 1 + random() % (text.size() - at));
      for (wchar_t& c : part) {
        if (random() % 2) c = static_cast<wchar_t>(std::iswupper(c) ? std::towlower(c) : std::towupper(c));
      }
    } else {
      part = text_of(1 + random() % 3);
    }
    const bool system = SystemFinds(text, part);
    found += system;
    // Texts matched letter by letter hold every beginning of a part they hold, as the system finds.
    if (system && MatchedCharacterByCharacter(text) && MatchedCharacterByCharacter(part)) {
      for (std::size_t size = 1; size < part.size(); ++size) {
        ASSERT_TRUE(SystemFinds(text, part.substr(0, size))) << "a beginning of a part found";
      }
    }
    ASSERT_EQ(ContainsLinguistic(text, part), system)
        << "text \"" << std::string(text.begin(), text.end()) << "\", part \"" << std::string(part.begin(), part.end())
        << "\"";
  }
  EXPECT_GT(found, 1000) << "both answers occur";
  // Letters matched as more or fewer than themselves are not matched letter by letter.
  EXPECT_TRUE(MatchedCharacterByCharacter(L"05/03/2013 at 14:15:16"));
  EXPECT_TRUE(MatchedCharacterByCharacter(L"05032013_141516_anna.k.wav"));
  EXPECT_FALSE(MatchedCharacterByCharacter(L"Stra\u00dfe"));
  EXPECT_FALSE(MatchedCharacterByCharacter(L"Kr\u00e6mer"));
  EXPECT_LT(found, 3900);
}

}  // namespace
}  // namespace callwright
