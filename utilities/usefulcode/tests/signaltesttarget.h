#pragma once
// A target for signal tests: records its calls into a shared log as "<name>.<function>:<value>".

#include "utilities/usefulcode/ownerhandlerlist.h"

#include <functional>
#include <string>
#include <vector>

namespace signaltest {

using Log = std::vector<std::string>;

class Target {
public:
    Target(std::string name, Log* log)
        : m_name(std::move(name))
        , m_log(log) {}
    virtual ~Target() = default;
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    void OnValue(int value) { Record("value", value); }
    void OnOther(int value) { Record("other", value); }
    void OnNothing() { Record("nothing", 0); }

    // Runs the test's action after recording, for handlers that act on the signal.
    void OnAct(int value) {
        Record("act", value);
        if (act) {
            act(value);
        }
    }
    std::function<void(int)> act;

    [[nodiscard]] const std::string& GetName() const { return m_name; }

private:
    void Record(const char* function, int value) {
        m_log->push_back(m_name + "." + function + ":" + std::to_string(value));
    }

    std::string m_name;
    Log* m_log;
    OwnerHandlerList m_handlers; // last member: destroyed first
};

} // namespace signaltest
