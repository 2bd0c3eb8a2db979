#include "core/base/CNorvBasePtr.h"

#include <gtest/gtest.h>

#include <list>
#include <map>

namespace {

// Counts destructions so a test can see each object die exactly once.
class Counted : public CNorvBase {
 public:
  explicit Counted(int* destroyed) : m_destroyed(destroyed) {}
  ~Counted() override { ++*m_destroyed; }
  void SetValue(int value) { m_value = value; }

  int m_value = 0;

 private:
  int* m_destroyed;
};

// The count of a held object, read by taking and giving back a reference.
long RefCount(Counted* object) {
  const long count = object->AddRef() - 1;
  object->Release();
  return count;
}

template <class P>
concept ArrowReachesAddRef = requires(P p) {
  p->AddRef();
};
template <class P>
concept ArrowReachesRelease = requires(P p) {
  p->Release();
};
template <class P>
concept ArrowReachesMembers = requires(P p) {
  p->SetValue(1);
  p->m_value;
};

static_assert(!ArrowReachesAddRef<CNorvBasePtr<Counted>>);
static_assert(!ArrowReachesRelease<CNorvBasePtr<Counted>>);
static_assert(ArrowReachesMembers<CNorvBasePtr<Counted>>);
// The raw pointer still reaches them, so the checks above are not vacuous.
static_assert(ArrowReachesAddRef<Counted*> && ArrowReachesRelease<Counted*>);

TEST(CNorvBasePtrTest, EmptyPointerIsNullAndAHeldObjectDiesWithItsLastPointer) {
  CNorvBasePtr<Counted> byDefault, fromNull(nullptr), copy(byDefault);
  EXPECT_TRUE(!byDefault && !fromNull && !copy);
  EXPECT_EQ(nullptr, static_cast<Counted*>(byDefault));
  EXPECT_TRUE(byDefault == nullptr);

  int destroyed = 0;
  Counted* object = new Counted(&destroyed);
  {
    CNorvBasePtr<Counted> holder(object);
    CNorvBasePtr<Counted> second(holder);
    EXPECT_EQ(2, RefCount(object));
    EXPECT_TRUE(holder == object && second == object && !(holder == nullptr));
  }
  EXPECT_EQ(1, destroyed);
}

TEST(CNorvBasePtrTest, SelfAssignmentKeepsTheObjectAndItsCount) {
  int destroyed = 0;
  CNorvBasePtr<Counted> holder(new Counted(&destroyed));
  Counted* object = holder;
  EXPECT_EQ(object, holder = object);
  CNorvBasePtr<Counted>& alias = holder;
  EXPECT_EQ(object, holder = alias);
  EXPECT_EQ(0, destroyed);
  EXPECT_EQ(1, RefCount(object));
  holder->SetValue(5);
  EXPECT_EQ(5, object->m_value);
}

TEST(CNorvBasePtrTest, AssignmentMovesTheReferenceAndNullReleases) {
  int destroyedFirst = 0, destroyedSecond = 0;
  CNorvBasePtr<Counted> first(new Counted(&destroyedFirst));
  CNorvBasePtr<Counted> second(new Counted(&destroyedSecond));
  EXPECT_EQ(static_cast<Counted*>(second), first = second);
  EXPECT_EQ(1, destroyedFirst);
  EXPECT_EQ(2, RefCount(second));
  EXPECT_EQ(nullptr, second = nullptr);
  EXPECT_TRUE(!second);
  EXPECT_EQ(0, destroyedSecond);
  first = nullptr;
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
  byKey.erase(1);
  EXPECT_EQ(1, destroyed);
  kept = nullptr;
  EXPECT_EQ(2, destroyed);
}

}  // namespace
