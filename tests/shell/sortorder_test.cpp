#include "shell/sortorder.h"

#include "tests/support/reference_sort.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace plm {
namespace {

using Order = std::vector<size_t>;

struct Case {
  const char* name;
  std::vector<std::string> texts;
  bool descending;
  Order expected;
};

// Orders worked out by hand from the selection sort's steps.
TEST(SortOrderTest, HandWorkedOrders) {
  const Case cases[] = {
      {"control: distinct keys ascending", {"c", "a", "b"}, false, {1, 2, 0}},
      {"distinct keys descending", {"b", "c", "a"}, true, {1, 0, 2}},
      // a=0: the first A (row 2) replaces B; a=1: row 1's B has no smaller key after it.
      // Row 1 now precedes row 0 although both hold B: the sort is not stable.
      {"equal keys are not kept stable", {"b", "b", "a"}, false, {2, 1, 0}},
      // The swap carries row 0 to position 2, behind row 3 of the same key.
      {"a swap moves the displaced row behind its equals", {"b", "b", "a", "b"}, false, {2, 1, 0, 3}},
      {"upper-casing makes a and A equal", {"a", "A", "B", "b"}, true, {2, 3, 0, 1}},
      {"a prefix sorts first", {"abc", "ab", "", "a"}, false, {2, 3, 1, 0}},
      {"bytes compare unsigned", {"\xB1", "z", "\x82\xA0"}, false, {1, 2, 0}},
      // The trail byte 'a' of a double-byte pair stays lower case: \x82a sorts after \x82A.
      {"a trail byte is not upper-cased", {"\x82" "a", "\x82" "A"}, false, {1, 0}},
      {"one row", {"x"}, false, {0}},
      {"no rows", {}, true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(plmtest::ReferenceHeaderSortOrder(c.texts, c.descending), c.expected);
    EXPECT_EQ(HeaderSortOrder(c.texts, c.descending), c.expected);
  }
}

std::vector<std::string> RandomTexts(std::mt19937& rng, size_t n, const std::vector<std::string>& alphabet,
                                     size_t maxPieces) {
  std::uniform_int_distribution<size_t> piece(0, alphabet.size() - 1), pieces(0, maxPieces);
  std::vector<std::string> texts(n);
  for (std::string& t : texts)
    for (size_t k = pieces(rng); k > 0; --k) t += alphabet[piece(rng)];
  return texts;
}

// Few distinct keys, so nearly every comparison meets equal keys; letters of both
// cases, double-byte pairs (one with a lower-case trail byte), high single bytes,
// empty texts and prefixes of each other.
TEST(SortOrderTest, AgreesWithTheSelectionSortOnRandomRows) {
  const std::vector<std::vector<std::string>> alphabets = {
      {"a", "A"},
      {"a", "b", "B"},
      {"\x82" "a", "\x82" "A", "a", "\x88\x9F"},
      {"0", " ", "1", "\xB1", "\xFF"},
      {"ab", "AB", "a", "\x83" "b", "~"},
  };
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<size_t> size(0, 120);
  int trials = 0;
  for (const auto& alphabet : alphabets) {
    for (size_t maxPieces : {1u, 2u, 3u}) {
      for (int round = 0; round < 60; ++round, ++trials) {
        const std::vector<std::string> texts = RandomTexts(rng, size(rng), alphabet, maxPieces);
        for (bool descending : {false, true}) {
          SCOPED_TRACE(testing::Message() << "trial " << trials << ", " << texts.size() << " rows, "
                                          << (descending ? "descending" : "ascending"));
          ASSERT_EQ(HeaderSortOrder(texts, descending), plmtest::ReferenceHeaderSortOrder(texts, descending));
        }
      }
    }
  }
}

// Each click sorts the arrangement the previous click left, in the other direction.
TEST(SortOrderTest, AgreesOverRepeatedClicks) {
  std::mt19937 rng(7);
  std::vector<std::string> rows = RandomTexts(rng, 2000, {"a", "B", "b", "\x82" "a"}, 3);
  for (int click = 0; click < 4; ++click) {
    const bool descending = click % 2 == 1;
    const Order order = HeaderSortOrder(rows, descending);
    ASSERT_EQ(order, plmtest::ReferenceHeaderSortOrder(rows, descending)) << "click " << click;
    std::vector<std::string> next;
    for (size_t i : order) next.push_back(rows[i]);
    rows = std::move(next);
  }
}

TEST(SortOrderTest, ViewsGiveTheSameOrderAsStrings) {
  const std::vector<std::string> texts = {"b", "B", "a", "", "ab"};
  const std::vector<std::string_view> views(texts.begin(), texts.end());
  EXPECT_EQ(HeaderSortOrder(views, false), HeaderSortOrder(texts, false));
}

}  // namespace
}  // namespace plm
