#pragma once

#include <utility>

namespace quillmere {

// A borrowed callable: unlike std::function it never allocates, which matters once per file.
template <class Signature> class FunctionRef;
template <class Result, class... Args> class FunctionRef<Result(Args...)> {
public:
    template <class Callable>
    FunctionRef(Callable& callable) // NOLINT(google-explicit-constructor)
        : object_(&callable), call_([](void* object, Args... args) -> Result {
              return (*static_cast<Callable*>(object))(std::forward<Args>(args)...);
          }) {}
    Result operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

private:
    void* object_;
    Result (*call_)(void*, Args...);
};

} // namespace quillmere
