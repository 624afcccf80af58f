// A FirewallPolicy that keeps its rules in memory, as Windows does, or none,
// as Wine does; each call can be made to fail with a chosen HRESULT.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "firewall/firewall_policy.h"

class FakeFirewall : public FirewallPolicy {
public:
    // Wine 8: changes succeed and keep nothing; every reading is E_NOTIMPL.
    static FakeFirewall Wine() {
        FakeFirewall wine;
        wine.keeps = false;
        wine.readResult = wine.currentResult = wine.modifyResult = kFwNotImplemented;
        wine.enabledResult = wine.unicastResult = kFwNotImplemented;
        return wine;
    }

    std::vector<FwRule> rules;
    std::vector<std::string> calls;  // "add NAME", "remove NAME", in order
    bool keeps = true;
    bool removesAll = false;  // Remove takes every rule by the name, not the first
    int stuckRemovals = 0;    // removals that report success and remove nothing
    long current = static_cast<long>(FwProfile::kPublic);
    std::map<FwProfile, bool> enabled = {
        {FwProfile::kDomain, true}, {FwProfile::kPrivate, true}, {FwProfile::kPublic, true}};
    std::map<FwProfile, bool> unicastDisabled;
    FwModifyState modify = FwModifyState::kOk;
    FwResult addResult = kFwOk, removeResult = kFwOk, readResult = kFwOk;  // read: Item
    FwResult currentResult = kFwOk, enabledResult = kFwOk, unicastResult = kFwOk,
             modifyResult = kFwOk;

    FwResult CurrentProfileTypes(long& profiles) override {
        profiles = current;
        return currentResult;
    }
    FwResult FirewallEnabled(FwProfile profile, bool& on) override {
        on = enabled[profile];
        return enabledResult;
    }
    FwResult UnicastResponsesDisabled(FwProfile profile, bool& disabled) override {
        disabled = unicastDisabled[profile];
        return unicastResult;
    }
    FwResult LocalPolicyModifyState(FwModifyState& state) override {
        state = modify;
        return modifyResult;
    }
    FwResult AddRule(const FwRule& rule) override {
        calls.push_back("add " + rule.name);
        if (FwSucceeded(addResult) && keeps)
            rules.push_back(rule);
        return addResult;
    }
    FwResult RemoveRule(const std::string& name) override {
        calls.push_back("remove " + name);
        if (!FwSucceeded(removeResult) || stuckRemovals-- > 0)
            return removeResult;
        for (auto it = rules.begin(); it != rules.end();) {
            if (it->name != name) {
                ++it;
                continue;
            }
            it = rules.erase(it);
            if (!removesAll)
                break;
        }
        return kFwOk;
    }
    FwResult HasRule(const std::string& name) override {
        FwRule rule;
        return GetRule(name, rule);
    }
    FwResult GetRule(const std::string& name, FwRule& rule) override {
        if (!FwSucceeded(readResult))
            return readResult;
        auto it = std::find_if(rules.begin(), rules.end(),
                               [&](const FwRule& r) { return r.name == name; });
        if (it == rules.end())
            return kFwNotFound;
        rule = *it;
        return kFwOk;
    }
};
