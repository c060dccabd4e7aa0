// The stack machine's internals, shared by the files that implement its actions.
#pragma once

#include "controls/swf/actionreader.h"
#include "controls/swf/avm1/interpreter.h"

#include <string>
#include <vector>

namespace velmora::swf::avm1 {

class ClipObject;

// Before SWF 6 strings are single bytes in the author's code page (Latin-1 here).
std::string decodeString(std::string raw, int version);
// Pops an argument count, then that many values (fewer when the stack is shorter).
std::vector<Value> popArgs(std::vector<Value> &stack, Runtime &rt);

// Ends the block that is running (not the ones that called it).
struct BlockEnded {};

// Where a run of actions ended: at a Return, or at the offset it left off.
struct RangeEnd {
    bool returned = false;
    std::size_t pc = 0;
};

class Machine {
public:
    explicit Machine(Activation &act) : m_act(act), m_rt(act.rt), m_stack(act.rt.stack()) {}

    Value run()
    {
        runRange(0, 0, m_act.code.size());
        return m_returnValue;
    }

private:
    Value &reg(std::size_t i);
    RangeEnd runRange(std::size_t pc, std::size_t begin, std::size_t end);
    // Returns true when the action returned from the function.
    bool step(const ActionRecord &a, std::size_t &pc);
    // The action groups; the first two return false for an action not theirs.
    bool objectAction(const ActionRecord &a);
    bool clipAction(const ActionRecord &a);
    void stackAction(const ActionRecord &a, std::size_t &pc);
    void timelineAction(const ActionRecord &a, std::size_t &pc);
    void push(const ActionRecord &a);
    void defineFunction(const ActionRecord &a, bool version2, std::size_t &pc);
    RangeEnd runWith(const ActionRecord &a, std::size_t &pc);
    RangeEnd runTry(const ActionRecord &a, std::size_t &pc);
    void setTarget(const Value &target);
    ClipObject *clipFromStack(const Value &v);
    Value frameOperand(const Value &v);
    void callFunction();
    void callMethod();
    void newObject();
    bool deleteAtPath(const std::string &path, const std::string &name);
    void newMethod();
    void endIfClipRemoved() const;
    void getUrl(const std::string &url, const std::string &target);
    void enumerate(const Value &v);
    // The target for properties and paths; null after a tellTarget that found nothing.
    ClipObject *target();
    // Where timeline actions go: the target, the root when a tellTarget found nothing.
    ClipObject *timelineClip();

    Activation &m_act;
    Runtime &m_rt;
    std::vector<Value> &m_stack;
    Value m_returnValue;
};

} // namespace velmora::swf::avm1
