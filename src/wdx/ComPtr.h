#pragma once
// TComPtr: one counted reference to a COM interface, given back (Release) when its holder
// lets go of it. A copy takes a reference of its own; a move hands the one reference on.
// It needs nothing of DirectX: any type with AddRef and Release will do.
#include <cstddef>
#include <utility>

template <typename T>
class TComPtr {
public:
    TComPtr() = default;
    TComPtr(std::nullptr_t) {}
    TComPtr(const TComPtr& other) : FPointer(other.FPointer)
    {
        if (FPointer) FPointer->AddRef();
    }
    TComPtr(TComPtr&& other) noexcept : FPointer(other.Detach()) {}
    ~TComPtr() { Reset(); }

    TComPtr& operator=(const TComPtr& other)
    {
        TComPtr(other).Swap(*this);
        return *this;
    }
    TComPtr& operator=(TComPtr&& other) noexcept
    {
        TComPtr(std::move(other)).Swap(*this);
        return *this;
    }

    // Takes over a reference the caller holds, as a creating call hands it out.
    static TComPtr Adopt(T* pointer)
    {
        TComPtr held;
        held.FPointer = pointer;
        return held;
    }
    // Takes a reference of its own (AddRef) to an interface someone else holds.
    static TComPtr Share(T* pointer)
    {
        if (pointer) pointer->AddRef();
        return Adopt(pointer);
    }

    // Releases what it held, then holds pointer's reference without adding one.
    void Attach(T* pointer) { Adopt(pointer).Swap(*this); }
    // Lets go of the reference without releasing it; the caller releases it.
    T* Detach() { return std::exchange(FPointer, nullptr); }
    // Releases the reference it held, if any, and holds nothing.
    void Reset()
    {
        if (T* held = Detach()) held->Release();
    }
    // Releases the reference it held and gives the place a creating call writes its new
    // reference to: CreateSurface(&desc, surface.Put(), nullptr). A call that fails leaves
    // it empty, as COM asks of every call.
    T** Put()
    {
        Reset();
        return &FPointer;
    }

    T* Get() const { return FPointer; }
    T* operator->() const { return FPointer; }
    explicit operator bool() const { return FPointer != nullptr; }
    void Swap(TComPtr& other) noexcept { std::swap(FPointer, other.FPointer); }

private:
    T* FPointer = nullptr;
};
