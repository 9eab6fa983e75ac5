#pragma once
// Events are methods of an object: a code pointer and the object it is bound to, written,
// compared and cleared as a whole.
#include <exception>

class TObject {
public:
    virtual ~TObject() = default;
};

template <typename... Args>
class TEvent {
public:
    TEvent() = default;

    // The event that calls object->*Method.
    template <auto Method, typename T>
    static TEvent Of(T* object)
    {
        TEvent event;
        event.FObject = object;
        event.FCode = [](void* self, Args... args) { (static_cast<T*>(self)->*Method)(args...); };
        return event;
    }

    explicit operator bool() const { return FCode != nullptr; }
    void operator()(Args... args) const
    {
        if (FCode) FCode(FObject, args...);
    }
    void* Object() const { return FObject; }
    bool operator==(const TEvent&) const = default;

private:
    void* FObject = nullptr;
    void (*FCode)(void*, Args...) = nullptr;
};

using TNotifyEvent = TEvent<TObject*>;
using TIdleEvent = TEvent<TObject*, bool&>;
using TExceptionEvent = TEvent<TObject*, const std::exception&>;
