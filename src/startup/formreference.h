// The global reference to a form: one instance per process, made on its first
// reference. Reading the instance's variables never loads the form's window.
#pragma once

#include <memory>

namespace velmora::forms {

// Drops every form instance; see FormReference::release. Called at the very end of the run.
void releaseFormInstances();

namespace internal {
void registerInstanceRelease(void (*release)());
}

template <typename F> class FormReference {
public:
    F &operator*()
    {
        if (!s_instance) {
            s_instance = std::make_unique<F>();
            internal::registerInstanceRelease(&FormReference::release);
        }
        return *s_instance;
    }
    F *operator->() { return &**this; }

    // True once the instance has been made; does not make it.
    bool exists() const { return s_instance != nullptr; }

    // Destroys the instance (and its window, if loaded); the next reference makes a
    // fresh one. Only the end of the run and tests do this: forms live for the process.
    static void release() { s_instance.reset(); }

private:
    static inline std::unique_ptr<F> s_instance;
};

} // namespace velmora::forms
