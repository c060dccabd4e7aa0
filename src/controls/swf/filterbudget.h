// The filter work that frames drawn together may spend, in steps (see
// filterWorkPerPixel). A host that draws many movies at once (the buttons of a page)
// hands them one budget, so that together they cost no more than one frame's worth:
// a layer whose filters would cost more than is left is drawn coarser, and once none
// is left each layer still gets a small share.
#pragma once

#include <algorithm>

namespace velmora::swf {

class FilterBudget {
public:
    static constexpr double kWorkPerFrame = 1 << 23;
    static constexpr double kShares = 32;

    explicit FilterBudget(double work = kWorkPerFrame) : m_full(work), m_left(work) {}

    // What one layer may spend now.
    double allowed() const { return std::max(m_left, share()); }
    // What one layer could spend with the whole budget to itself.
    double whole() const { return std::max(m_full, share()); }
    void spend(double work)
    {
        m_left -= work;
        m_spent += work;
    }
    double spent() const { return m_spent; }
    // Starts the next frame's budget.
    void refill()
    {
        m_left = m_full;
        m_spent = 0;
    }

private:
    double share() const { return m_full / kShares; }

    double m_full;
    double m_left;
    double m_spent = 0;
};

} // namespace velmora::swf
