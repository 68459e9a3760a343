#include "six/intfptr.h"
#include "six/tests/allocationprobe.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

struct IShape {
    virtual ~IShape() = default;
    [[nodiscard]] virtual int Corners() const = 0;
};

struct INamed {
    virtual ~INamed() = default;
    [[nodiscard]] virtual char Letter() const = 0;
};

struct ISquare : IShape {
    [[nodiscard]] virtual int Side() const = 0;
};

// INamed is the second base, so it lies at a non-zero position inside the object.
class Square final : public ISquare, public INamed {
public:
    explicit Square(int& destroyed)
        : m_destroyed(&destroyed) {}
    ~Square() override { ++*m_destroyed; }
    [[nodiscard]] int Corners() const override { return 4; }
    [[nodiscard]] int Side() const override { return 3; }
    [[nodiscard]] char Letter() const override { return 'S'; }

private:
    int* m_destroyed;
};

static_assert(sizeof(six::IntfPtr<IShape>) == sizeof(void*));

using SquarePtr = six::RefCntPtr<Square>;

TEST(IntfPtr, RefCntHolderCountsAndCloneCountsAgain) {
    int destroyed = 0;
    SquarePtr square(new Square(destroyed));
    auto* rep = square.GetRep();
    {
        six::IntfPtr<Square> first(square);
        ASSERT_TRUE(first);
        EXPECT_EQ(first.Get(), square.Get());
        EXPECT_EQ(rep->count, 2);

        six::IntfPtr<Square> clone(first);
        EXPECT_EQ(rep->count, 3);
        EXPECT_NE(clone.GetHolder(), first.GetHolder());
        EXPECT_EQ(clone->Side(), 3);

        square.Release(); // the interface pointers keep the object alive
        EXPECT_EQ(rep->count, 2);
        clone.Release();
        EXPECT_EQ(rep->count, 1);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(IntfPtr, AssignmentClonesAndSelfAssignmentKeepsTheHolder) {
    int destroyed = 0;
    SquarePtr square(new Square(destroyed));
    six::IntfPtr<Square> first(square);
    six::IntfPtr<Square> second;
    second = first;
    EXPECT_EQ(square.GetRep()->count, 3);
    const auto* holder = second.GetHolder();
    auto& alias = second;
    second = alias;
    EXPECT_EQ(square.GetRep()->count, 3);
    EXPECT_TRUE(second);
    EXPECT_EQ(second->Side(), 3);
    EXPECT_EQ(second.GetHolder(), holder);
    second = six::IntfPtr<Square>();
    EXPECT_FALSE(second);
    EXPECT_EQ(square.GetRep()->count, 2);
}

TEST(IntfPtr, NullSourcesGiveEmptyPointers) {
    SquarePtr none;
    six::IntfPtr<Square> fromNull(none);
    EXPECT_FALSE(fromNull);
    EXPECT_EQ(fromNull.Get(), nullptr);

    SquarePtr objectless(TFactory<Square, six::MTModel>::AllocRep(nullptr));
    six::IntfPtr<Square> fromObjectless(objectless);
    EXPECT_FALSE(fromObjectless);
    EXPECT_EQ(objectless.GetRep()->count, 1);

    six::IntfPtr<IShape> castFromEmpty{six::IntfPtr<ISquare>()};
    EXPECT_FALSE(castFromEmpty);
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): copying is under test
    six::IntfPtr<Square> copyOfEmpty(fromNull);
    EXPECT_FALSE(copyOfEmpty);
}

TEST(IntfPtr, CastHolderPointsAtTheBaseInsideTheObjectAndKeepsItAlive) {
    int destroyed = 0;
    SquarePtr square(new Square(destroyed));
    Square* object = square.Get();
    auto* rep = square.GetRep();

    six::IntfPtr<INamed> named(square);
    ASSERT_TRUE(named);
    EXPECT_EQ(named.Get(), static_cast<INamed*>(object));
    EXPECT_NE(reinterpret_cast<std::uintptr_t>(named.Get()),
              reinterpret_cast<std::uintptr_t>(object));
    EXPECT_EQ(rep->count, 2);

    six::IntfPtr<INamed> clone(named);
    EXPECT_EQ(clone.Get(), static_cast<INamed*>(object));
    EXPECT_EQ(rep->count, 3);

    square.Release();
    named.Release();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(clone->Letter(), 'S');
    clone.Release();
    EXPECT_EQ(destroyed, 1);
}

TEST(IntfPtr, CastFromDerivedInterfaceKeepsTheSourceAlive) {
    int destroyed = 0;
    SquarePtr square(new Square(destroyed));
    auto* rep = square.GetRep();
    six::IntfPtr<ISquare> derived{six::IntfPtr<Square>(square)};
    ASSERT_TRUE(derived);
    EXPECT_EQ(rep->count, 2);

    six::IntfPtr<IShape> shape = derived; // goes through a cast holder on a cloned holder
    EXPECT_EQ(shape.Get(), static_cast<IShape*>(square.Get()));
    EXPECT_EQ(rep->count, 3);

    derived.Release();
    square.Release();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(shape->Corners(), 4);

    six::IntfPtr<IShape> shapeClone(shape);
    EXPECT_EQ(rep->count, 2);
    shape.Release();
    shapeClone.Release();
    EXPECT_EQ(destroyed, 1);
}

TEST(IntfPtr, FailedHolderAllocationGivesEmptyPointerAndLeavesTheCount) {
    if (!probe::AllocationScope::IsAvailable()) {
        GTEST_SKIP() << "allocation probe not available in this build";
    }
    int destroyed = 0;
    SquarePtr square(new Square(destroyed));
    const six::IntfPtr<Square> holder(square);
    const six::IntfPtr<INamed> castHolder(square);
    const six::IntfPtr<ISquare> derived(square);
    const six::IntfPtr<IShape> castOverInterface(derived);
    ASSERT_EQ(square.GetRep()->count, 5);

    enum class Make {
        FromCounted,
        CastFromCounted,
        Clone,
        CastClone,
        CastFromInterface,
        CloneOfCastFromInterface
    };
    const struct {
        Make make;
        std::size_t skip; // allocations that succeed before the failing one
    } cases[] = {{Make::FromCounted, 0},
                 {Make::CastFromCounted, 0},
                 {Make::Clone, 0},
                 {Make::CastClone, 0},
                 {Make::CastFromInterface, 0},
                 {Make::CastFromInterface, 1},
                 {Make::CloneOfCastFromInterface, 0},
                 {Make::CloneOfCastFromInterface, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.make) * 10 + static_cast<int>(c.skip));
        probe::AllocationScope scope(1, c.skip);
        bool isEmpty = false;
        switch (c.make) {
        case Make::FromCounted:
            isEmpty = !six::IntfPtr<Square>(square);
            break;
        case Make::CastFromCounted:
            isEmpty = !six::IntfPtr<INamed>(square);
            break;
        case Make::Clone:
            isEmpty = !six::IntfPtr<Square>(holder);
            break;
        case Make::CastClone:
            isEmpty = !six::IntfPtr<INamed>(castHolder);
            break;
        case Make::CloneOfCastFromInterface: // clones its source's holder first
            isEmpty = !six::IntfPtr<IShape>(castOverInterface);
            break;
        case Make::CastFromInterface: // clones the source's holder, then makes the cast holder
            isEmpty = !six::IntfPtr<IShape>(derived);
            break;
        }
        EXPECT_TRUE(isEmpty);
        EXPECT_EQ(scope.GetFailures(), 1U);
        EXPECT_EQ(square.GetRep()->count, 5); // nothing half-made keeps a reference
    }
    EXPECT_EQ(destroyed, 0);
}

} // namespace
