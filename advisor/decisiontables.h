#pragma once
// Decision tables: per module a list of conditions whose values, joined with ".", select a result
// by row key. Filled once from "DecisionTables.csv", then only read; no lock of its own (readers
// on any thread once it is filled).

#include <map>
#include <string>
#include <vector>

class DecisionModule {
public:
    DecisionModule() = default;

    // Stores the four parts and maps keys[i] to results[i] (the first row of a key wins; a key
    // without a result maps to an empty one). True when there is at least one key; the module is
    // filled either way.
    bool Set(const std::u16string& moduleName, const std::vector<std::u16string>& conditionNames,
             const std::vector<std::u16string>& rowKeys,
             const std::vector<std::u16string>& rowResults);
    // The result of the row with exactly this key, or empty.
    [[nodiscard]] std::u16string Lookup(const std::u16string& key) const;

    std::u16string name;
    std::vector<std::u16string> conditions;
    std::map<std::u16string, std::u16string> rules;
    std::vector<std::u16string> keys;
    std::vector<std::u16string> results;
};

// The question put to the store: a module and the value of each of its conditions.
class DecisionQuery {
public:
    virtual ~DecisionQuery() = default;

    std::u16string module;
    std::map<std::u16string, std::u16string> values; // condition name -> value
    std::u16string endOfRouteCode;                   // carried for the advisor core
};

class DecisionTableStore {
public:
    void Add(const DecisionModule& module) { m_modules.push_back(module); }
    // The conditions of the first module of that name (letter case ignored); empty when none.
    [[nodiscard]] std::vector<std::u16string> GetConditions(const std::u16string& moduleName) const;
    // The result for the query's values: the first module of the query's name (letter case
    // ignored), its condition values joined with "." (a condition the query lacks counts as
    // empty), looked up exactly. Empty when there is no module or no row.
    [[nodiscard]] std::u16string Evaluate(const DecisionQuery& query) const;

    [[nodiscard]] const std::vector<DecisionModule>& GetModules() const { return m_modules; }
    // The first module of that name (letter case ignored), or null.
    [[nodiscard]] const DecisionModule* FindModule(const std::u16string& moduleName) const;

private:
    std::vector<DecisionModule> m_modules;
};
