#pragma once
// A completion callback for asynchronous operations (child processes, network). It always runs on the main
// thread; given a context object, it is dropped once that object is gone, so a view that has
// left the screen never receives a late result. A null context means no guard.
#include <QObject>
#include <QPointer>
#include <concepts>
#include <functional>
#include <utility>

template <typename... Args>
class Completion {
public:
    Completion() = default;
    Completion(std::nullptr_t) {}

    template <typename F>
        requires std::invocable<F&, Args...> && (!std::same_as<std::decay_t<F>, Completion>)
    Completion(F&& fn) : fn_(std::forward<F>(fn)) {}

    template <typename F>
        requires std::invocable<F&, Args...>
    Completion(QObject* context, F&& fn) : context_(context), guarded_(context != nullptr), fn_(std::forward<F>(fn)) {}

    // The object whose lifetime bounds the call, if any.
    QObject* context() const { return context_.data(); }

    void operator()(const Args&... args) const {
        if (!fn_ || (guarded_ && context_.isNull())) return;
        fn_(args...);
    }

private:
    QPointer<QObject> context_;
    bool guarded_ = false;
    std::function<void(Args...)> fn_;
};
