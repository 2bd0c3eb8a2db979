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

TEST(CNorvBasePtrTest, HeldObjectDiesWithItsLastPointerAndNotBefore) {
  CNorvBasePtr<Counted> byDefault, fromNull(nullptr), copy(byDefault);
  EXPECT_TRUE(!byDefault && !fromNull && !copy && byDefault == nullptr);
  int destroyed = 0, destroyedSecond = 0;
  Counted* object = new Counted(&destroyed);
  {
    CNorvBasePtr<Counted> holder(object), second(holder);
    EXPECT_EQ(2, RefCount(object));
    EXPECT_TRUE(holder == object && second == object && !(holder == nullptr));
    second = nullptr;
    CNorvBasePtr<Counted>& alias = holder;
    EXPECT_EQ(object, holder = alias);
    EXPECT_EQ(object, holder = object);
    EXPECT_EQ(1, RefCount(object));
    holder->m_value = 5;
    EXPECT_EQ(5, object->m_value);
  }
  EXPECT_EQ(1, destroyed);

  CNorvBasePtr<Counted> first(new Counted(&destroyed));
  CNorvBasePtr<Counted> second(new Counted(&destroyedSecond));
  EXPECT_EQ(static_cast<Counted*>(second), first = second);
  EXPECT_EQ(2, destroyed);
  EXPECT_EQ(2, RefCount(second));
  EXPECT_EQ(nullptr, second = nullptr);
  EXPECT_EQ(0, destroyedSecond);
  first = nullptr;
  first = nullptr;
  EXPECT_EQ(1, destroyedSecond);

  // A copy outlives the container it was taken from.
  std::list<CNorvBasePtr<Counted>> items{new Counted(&destroyed), new Counted(&destroyed)};
  CNorvBasePtr<Counted> kept = items.front();
  std::map<int, CNorvBasePtr<Counted>> byKey{{1, items.back()}};
  items.clear();
  EXPECT_EQ(2, destroyed);
  EXPECT_EQ(1, RefCount(kept));
  byKey.erase(1);
  EXPECT_EQ(3, destroyed);
  kept = nullptr;
  EXPECT_EQ(4, destroyed);
}

}  // namespace
