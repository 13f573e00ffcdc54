#include "support/hash.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

namespace qubo {
namespace {

TEST(NameHash, ShortNames) {
  struct Case {
    std::string name;
    int hash;
  };
  const Case cases[] = {
      {"", 0},
      {"A", 16},
      {"a", 16},
      {"ab", 226},  // 32 + 0x61 + 0x61
      {"AB", 226},  // lowered first
      {"abc", (48 + 'a' + 'b') & 0xFF},
      {"\x83\x41", (32 + 0x83 + 0x83) & 0xFF},   // b[n-2] is a lead byte
      {"\x83\x41x", (48 + 0x83 + 0x41) & 0xFF},  // trail byte 'A' is not lowered
      {"x\x83\x41", (48 + 'x' + 0x83) & 0xFF},
      {"Q\x83\x5CZz", (80 + 'q' + 'z') & 0xFF},  // b[n-2] is a single-byte 'Z'
  };
  for (const auto& c : cases) EXPECT_EQ(THashCollection::NameHash(c.name), c.hash) << c.name;
}

TEST(HashCollection, CaseInsensitiveNamesShareBucketAndNewerWins) {
  THashCollection c;
  auto* older = c.AddNamed("Score");
  auto* newer = c.AddNamed("SCORE");
  c.AddNamed("other");
  EXPECT_EQ(older->BucketIndex(), newer->BucketIndex());
  EXPECT_EQ(c.IndexOf("score"), 1);
  EXPECT_EQ(c.Find("sCoRe"), newer);
  EXPECT_EQ(c.IndexOf("scor"), -1);
  EXPECT_EQ(c.IndexOf(""), -1);  // no item has the empty name

  // The chain runs newest to oldest and the links agree in both directions.
  THashCollectionItem* head = c.Bucket(newer->BucketIndex());
  ASSERT_EQ(head, newer);
  EXPECT_EQ(head->PrevInBucket(), nullptr);
  EXPECT_EQ(head->NextInBucket(), older);
  EXPECT_EQ(older->PrevInBucket(), newer);

  c.Delete(1);
  EXPECT_EQ(c.IndexOf("score"), 0);
  EXPECT_EQ(c.Bucket(older->BucketIndex()), older);
}

TEST(HashCollection, FullWidthLettersAreNotFolded) {
  THashCollection c;
  c.AddNamed("\x82\x60");  // full-width A
  EXPECT_EQ(c.IndexOf("\x82\x60"), 0);
  EXPECT_EQ(c.IndexOf("\x82\x81"), -1);  // full-width a
}

TEST(HashCollection, DeletingFirstOfThreeKeepsIndexesAndLookups) {
  THashCollection c;
  c.AddNamed("a");
  c.AddNamed("b");
  c.AddNamed("c");
  c.Delete(0);
  ASSERT_EQ(c.Count(), 2);
  EXPECT_EQ(c.Item(0)->CachedIndex(), 0);
  EXPECT_EQ(c.Item(1)->CachedIndex(), 1);
  EXPECT_EQ(c.IndexOf("a"), -1);
  EXPECT_EQ(c.IndexOf("b"), 0);
  EXPECT_EQ(c.IndexOf("C"), 1);
  c.Delete(5);  // ignored
  c.Delete(-1);
  EXPECT_EQ(c.Count(), 2);
}

TEST(HashCollection, RenameMovesBetweenChains) {
  THashCollection c;
  auto* a = c.Add();
  EXPECT_EQ(a->BucketIndex(), 0);
  EXPECT_EQ(c.Bucket(0), a);
  a->SetName("alpha");
  EXPECT_EQ(c.Bucket(0), nullptr);
  EXPECT_EQ(c.IndexOf("ALPHA"), 0);
  auto* b = c.AddNamed("beta");
  b->Assign(*a);
  EXPECT_EQ(b->Name(), "alpha");
  EXPECT_EQ(c.IndexOf("alpha"), 1);
  EXPECT_EQ(c.IndexOf("beta"), -1);
  EXPECT_EQ(a->DisplayName(), "alpha");
  EXPECT_EQ(c.Add()->DisplayName(), "THashCollectionItem");
}

// A subclass with its own item type, made by the factory and passed in directly.
struct CountedItem : THashCollectionItem {
  explicit CountedItem(int* live) : live_(live) { ++*live_; }
  ~CountedItem() override { --*live_; }
  int* live_;
};
struct CountedCollection : THashCollection {
  int live = 0;
  std::unique_ptr<THashCollectionItem> NewItem() override { return std::make_unique<CountedItem>(&live); }
};

TEST(HashCollection, SubclassItemsAreOwnedAndFreed) {
  int outside = 0;
  {
    CountedCollection c;
    c.AddNamed("x");
    c.AddNamed("y");
    EXPECT_EQ(c.live, 2);
    auto item = std::make_unique<CountedItem>(&outside);
    item->SetName("preset");  // named before it joins: linked under that name on Add
    c.Add(std::move(item));
    EXPECT_EQ(c.IndexOf("PRESET"), 2);
    EXPECT_NE(dynamic_cast<CountedItem*>(c.Item(0)), nullptr);
    c.Delete(0);
    EXPECT_EQ(c.live, 1);
    c.Clear();
    EXPECT_EQ(c.live, 0);
    EXPECT_EQ(outside, 0);
    c.AddNamed("z");
  }
}

// Random adds, renames and deletes checked against a plain model: every cached index equals
// the position, and every chain holds exactly the items hashed to it.
TEST(HashCollection, RandomOperationsKeepChainsConsistent) {
  std::mt19937 rng(7);
  THashCollection c;
  const char* names[] = {"a", "A", "ab", "Ab", "abc", "x", "xy", "Q\x83\x5C", "q\x83\x5C", ""};
  for (int step = 0; step < 3000; ++step) {
    const int op = static_cast<int>(rng() % 4);
    if (op <= 1 || c.Count() == 0) {
      c.AddNamed(names[rng() % 10]);
    } else if (op == 2) {
      c.Item(static_cast<int>(rng() % c.Count()))->SetName(names[rng() % 10]);
    } else {
      c.Delete(static_cast<int>(rng() % c.Count()));
    }
  }
  int linked = 0;
  for (int b = 0; b < THashCollection::kBucketCount; ++b) {
    const THashCollectionItem* prev = nullptr;
    for (auto* p = c.Bucket(b); p != nullptr; p = p->NextInBucket()) {
      EXPECT_EQ(p->BucketIndex(), b);
      EXPECT_EQ(THashCollection::NameHash(p->Name()), b);
      EXPECT_EQ(p->PrevInBucket(), prev);
      prev = p;
      ++linked;
    }
  }
  EXPECT_EQ(linked, c.Count());
  for (int i = 0; i < c.Count(); ++i) EXPECT_EQ(c.Item(i)->CachedIndex(), i);
}

}  // namespace
}  // namespace qubo
