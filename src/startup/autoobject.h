// An object variable that is created on first use: any reference to it while it holds
// nothing makes a new object in its initial (closed) state.
//
//   AutoObject<Recordset> rsxs;
//   rsxs->setSource("select m1 from b1");   // creates the recordset
//   rsxs.reset();                           // holds nothing again
#pragma once

#include <memory>

namespace velmora::forms {

template <typename T> class AutoObject {
public:
    T *operator->() { return &object(); }
    T &operator*() { return object(); }

    // The shared object, created first if the variable holds nothing.
    const std::shared_ptr<T> &shared()
    {
        if (!m_object)
            m_object = std::make_shared<T>();
        return m_object;
    }
    T &object() { return *shared(); }

    // True while the variable holds nothing; reading this does not create an object.
    bool isNothing() const { return !m_object; }
    // Lets go of the object: the variable holds nothing.
    void reset() { m_object.reset(); }
    void set(std::shared_ptr<T> object) { m_object = std::move(object); }

private:
    std::shared_ptr<T> m_object;
};

} // namespace velmora::forms
