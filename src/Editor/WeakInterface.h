#pragma once
// A non-owning reference to an interface implemented by a QObject: reads as null once that object
// is destroyed, so a relay never keeps an editor alive nor calls into a dead one.
#include <QObject>
#include <QPointer>
#include <type_traits>

template <class Interface>
class WeakInterface {
public:
    // lifetime is the QObject whose destruction ends the reference (usually the implementer itself).
    void reset(Interface* implementation, QObject* lifetime) {
        implementation_ = lifetime ? implementation : nullptr;
        lifetime_ = implementation_ ? lifetime : nullptr;
    }
    template <class T>
    void reset(T* object) {
        static_assert(std::is_base_of_v<QObject, T> && std::is_base_of_v<Interface, T>,
                      "the implementer must be a QObject adopting the interface");
        reset(object, object);
    }
    void reset() { reset(nullptr, nullptr); }

    Interface* get() const { return lifetime_ ? implementation_ : nullptr; }

private:
    QPointer<QObject> lifetime_;
    Interface* implementation_ = nullptr;
};
