#include "advisor/decisiontables.h"

#include "platform/kernel/text.h"

bool DecisionModule::Set(const std::u16string& moduleName,
                         const std::vector<std::u16string>& conditionNames,
                         const std::vector<std::u16string>& rowKeys,
                         const std::vector<std::u16string>& rowResults) {
    name = moduleName;
    conditions = conditionNames;
    keys = rowKeys;
    results = rowResults;
    rules.clear();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        rules.emplace(keys[i], i < results.size() ? results[i] : std::u16string());
    }
    return !keys.empty();
}

std::u16string DecisionModule::Lookup(const std::u16string& key) const {
    const auto rule = rules.find(key);
    return rule == rules.end() ? std::u16string() : rule->second;
}

const DecisionModule* DecisionTableStore::FindModule(const std::u16string& moduleName) const {
    for (const DecisionModule& module : m_modules) {
        if (_wcsicmp(module.name.c_str(), moduleName.c_str()) == 0) {
            return &module;
        }
    }
    return nullptr;
}

std::vector<std::u16string>
DecisionTableStore::GetConditions(const std::u16string& moduleName) const {
    const DecisionModule* module = FindModule(moduleName);
    return module == nullptr ? std::vector<std::u16string>() : module->conditions;
}

std::u16string DecisionTableStore::Evaluate(const DecisionQuery& query) const {
    const DecisionModule* module = FindModule(query.module);
    if (module == nullptr) {
        return {};
    }
    std::u16string key;
    for (const std::u16string& condition : module->conditions) {
        const auto value = query.values.find(condition);
        if (value != query.values.end()) {
            key += value->second;
        }
        key += u'.';
    }
    const std::size_t lastDot = key.rfind(u'.');
    if (lastDot != std::u16string::npos) {
        key.erase(lastDot);
    }
    return module->Lookup(key);
}
