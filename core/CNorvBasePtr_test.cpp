#include "core/CNorvBasePtr.h"

#include <gtest/gtest.h>

#include <list>
#include <map>

namespace {

// Counts destructions so a test can see each object die exactly once.
class Counted : public CNorvBase {
 public:
  explicit Counted(int* destroyed) : m_destroyed(destroyed) {}
  ~Counted() override { ++*m_destroyed; }

  int Value() const { return m_value; }
  void SetValue(int value) { m_value = value; }

  int m_value = 0;

 private:
  int* m_destroyed;
};

// The current count of a held object, read by taking and giving back one
// reference.
long RefCount(Counted* object) {
  long count = object->AddRef() - 1;
  object->Release();
  return count;
}

template <class P>
concept ArrowReachesAddRef = requires(P p) { p->AddRef(); };
template <class P>
concept ArrowReachesRelease = requires(P p) { p->Release(); };
template <class P>
concept ArrowReachesMembers = requires(P p) {
  p->Value();
  p->SetValue(1);
  p->m_value;
};

static_assert(!ArrowReachesAddRef<CNorvBasePtr<Counted>>);
static_assert(!ArrowReachesRelease<CNorvBasePtr<Counted>>);
static_assert(ArrowReachesMembers<CNorvBasePtr<Counted>>);
// The raw pointer still reaches them, so the checks above are not vacuous.
static_assert(ArrowReachesAddRef<Counted*> && ArrowReachesRelease<Counted*>);

TEST(CNorvBasePtrTest, EmptyPointers) {
  CNorvBasePtr<Counted> byDefault;
  CNorvBasePtr<Counted> fromNull(nullptr);
  EXPECT_TRUE(!byDefault);
  EXPECT_TRUE(!fromNull);
  EXPECT_EQ(nullptr, static_cast<Counted*>(byDefault));
  EXPECT_TRUE(byDefault == nullptr);
  CNorvBasePtr<Counted> copy(byDefault);
  EXPECT_TRUE(!copy);
}

TEST(CNorvBasePtrTest, TakesTheFirstReferenceAndReleasesTheLast) {
  int destroyed = 0;
  Counted* object = new Counted(&destroyed);
  {
    CNorvBasePtr<Counted> holder(object);
    EXPECT_EQ(1, RefCount(object));
    EXPECT_FALSE(!holder);
    CNorvBasePtr<Counted> copy(holder);
    EXPECT_EQ(2, RefCount(object));
  }
  EXPECT_EQ(1, destroyed);
}

TEST(CNorvBasePtrTest, SelfAssignmentKeepsTheObjectAndCount) {
  int destroyed = 0;
  CNorvBasePtr<Counted> holder(new Counted(&destroyed));
  Counted* object = holder;
  EXPECT_EQ(object, holder = object);
  EXPECT_EQ(0, destroyed);
  EXPECT_EQ(1, RefCount(object));
  CNorvBasePtr<Counted>& alias = holder;
  holder = alias;
  EXPECT_EQ(0, destroyed);
  EXPECT_EQ(1, RefCount(object));
  holder->SetValue(5);
  EXPECT_EQ(5, holder->Value());
}

TEST(CNorvBasePtrTest, AssigningNullReleases) {
  int destroyed = 0;
  CNorvBasePtr<Counted> holder(new Counted(&destroyed));
  EXPECT_EQ(nullptr, holder = nullptr);
  EXPECT_EQ(1, destroyed);
  EXPECT_TRUE(!holder);
  holder = nullptr;
  EXPECT_EQ(1, destroyed);
}

TEST(CNorvBasePtrTest, AssignmentMovesTheReference) {
  int destroyedFirst = 0;
  int destroyedSecond = 0;
  CNorvBasePtr<Counted> first(new Counted(&destroyedFirst));
  CNorvBasePtr<Counted> second(new Counted(&destroyedSecond));
  EXPECT_EQ(static_cast<Counted*>(second), first = second);
  EXPECT_EQ(1, destroyedFirst);
  EXPECT_EQ(0, destroyedSecond);
  EXPECT_EQ(2, RefCount(second));
  second = nullptr;
  first = nullptr;
  EXPECT_EQ(1, destroyedSecond);
}

TEST(CNorvBasePtrTest, CopySurvivesClearingItsContainer) {
  int destroyed = 0;
  std::list<CNorvBasePtr<Counted>> items;
  items.push_back(new Counted(&destroyed));
  items.push_back(new Counted(&destroyed));
  CNorvBasePtr<Counted> kept = items.front();
  std::map<int, CNorvBasePtr<Counted>> byKey{{1, items.back()}};
  items.clear();
  EXPECT_EQ(0, destroyed);
  EXPECT_EQ(1, RefCount(kept));
  kept->SetValue(3);
  byKey.erase(1);
  EXPECT_EQ(1, destroyed);
  kept = nullptr;
  EXPECT_EQ(2, destroyed);
}

TEST(CNorvBasePtrTest, EqualityIsIdentity) {
  int destroyed = 0;
  Counted* object = new Counted(&destroyed);
  CNorvBasePtr<Counted> holder(object);
  CNorvBasePtr<Counted> other(new Counted(&destroyed));
  EXPECT_TRUE(holder == object);
  EXPECT_FALSE(holder == nullptr);
  EXPECT_FALSE(holder == static_cast<Counted*>(other));
  EXPECT_TRUE(CNorvBasePtr<Counted>() == nullptr);
}

}  // namespace
