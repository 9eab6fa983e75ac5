// TComPtr over an interface that counts its AddRef and Release calls: every way of taking,
// copying, moving and letting go of a reference leaves the count it must.
#include "wdx/ComPtr.h"

#include <gtest/gtest.h>

#include <utility>

#include "wdx/DirectXApi.h"

namespace {
// Starts with the one reference its creator hands out, as a DirectX object does.
class CountedUnknown : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        ++AddRefs;
        return static_cast<ULONG>(++References);
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ++Releases;
        return static_cast<ULONG>(--References);
    }
    int References = 1;
    int AddRefs = 0;
    int Releases = 0;
};

using TUnknownPtr = TComPtr<IUnknown>;
}  // namespace

TEST(ComPtr, ReleasesTheAdoptedReferenceOnceWhenItGoes)
{
    CountedUnknown object;
    {
        TUnknownPtr held = TUnknownPtr::Adopt(&object);
        EXPECT_EQ(object.References, 1) << "adopting adds no reference";
        EXPECT_EQ(held.Get(), &object);
    }
    EXPECT_EQ(object.References, 0);

    CountedUnknown reset;
    {
        TUnknownPtr held = TUnknownPtr::Adopt(&reset);
        held.Reset();
        EXPECT_EQ(reset.References, 0);
        EXPECT_FALSE(held);
    }
    EXPECT_EQ(reset.Releases, 1) << "a reset holder releases nothing more when it goes";

    TUnknownPtr empty;
    empty.Reset();  // nothing to release, no crash
    EXPECT_EQ(empty.Get(), nullptr);
}

TEST(ComPtr, ACopyTakesAReferenceOfItsOwn)
{
    CountedUnknown object;
    {
        TUnknownPtr first = TUnknownPtr::Adopt(&object);
        {
            TUnknownPtr second = first;
            EXPECT_EQ(object.References, 2);
            EXPECT_EQ(second.Get(), first.Get());
        }
        EXPECT_EQ(object.References, 1);
        const TUnknownPtr& same = first;
        first = same;  // to itself: neither gains nor loses
        EXPECT_EQ(object.References, 1);
    }
    EXPECT_EQ(object.References, 0);
}

TEST(ComPtr, CopyAssignmentReleasesWhatWasHeldAndSharesTheOther)
{
    CountedUnknown a, b;
    {
        TUnknownPtr onA = TUnknownPtr::Adopt(&a);
        const TUnknownPtr onB = TUnknownPtr::Adopt(&b);
        onA = onB;
        EXPECT_EQ(a.References, 0);
        EXPECT_EQ(b.References, 2);
        EXPECT_EQ(onA.Get(), &b);
    }
    EXPECT_EQ(b.References, 0);
}

TEST(ComPtr, AMoveHandsTheReferenceOnWithoutCounting)
{
    CountedUnknown a, b;
    {
        TUnknownPtr from = TUnknownPtr::Adopt(&a);
        TUnknownPtr to = std::move(from);
        EXPECT_EQ(from.Get(), nullptr);
        EXPECT_EQ(to.Get(), &a);
        EXPECT_EQ(a.AddRefs + a.Releases, 0);

        TUnknownPtr onB = TUnknownPtr::Adopt(&b);
        onB = std::move(to);
        EXPECT_EQ(b.References, 0) << "the target's own reference is released";
        EXPECT_EQ(a.References, 1);
        EXPECT_EQ(onB.Get(), &a);
    }
    EXPECT_EQ(a.References, 0);
}

TEST(ComPtr, PutReleasesTheOldReferenceAndHoldsWhatTheCallWrites)
{
    CountedUnknown old, made;
    {
        TUnknownPtr held = TUnknownPtr::Adopt(&old);
        IUnknown** place = held.Put();
        EXPECT_EQ(old.References, 0);
        EXPECT_EQ(*place, nullptr) << "a call that fails without writing leaves it empty";
        *place = &made;  // what a creating call does
        EXPECT_EQ(held.Get(), &made);
    }
    EXPECT_EQ(made.References, 0);
    EXPECT_EQ(made.AddRefs, 0);
}

TEST(ComPtr, DetachLetsGoWithoutReleasingAndAttachTakesOver)
{
    CountedUnknown a, b;
    TUnknownPtr held = TUnknownPtr::Adopt(&a);
    IUnknown* detached = held.Detach();
    EXPECT_EQ(detached, &a);
    EXPECT_EQ(held.Get(), nullptr);
    EXPECT_EQ(a.Releases, 0);

    held.Attach(detached);
    EXPECT_EQ(a.References, 1) << "attaching adds no reference";
    held.Attach(&b);
    EXPECT_EQ(a.References, 0) << "the reference held before is released";
    EXPECT_EQ(b.References, 1);
    held.Reset();
    EXPECT_EQ(b.References, 0);
}

TEST(ComPtr, ShareTakesAReferenceOfItsOwnToAnInterfaceHeldElsewhere)
{
    CountedUnknown object;
    {
        TUnknownPtr shared = TUnknownPtr::Share(&object);
        EXPECT_EQ(object.References, 2);
        EXPECT_EQ(TUnknownPtr::Share(nullptr).Get(), nullptr);
    }
    EXPECT_EQ(object.References, 1) << "the creator's reference is untouched";
}
