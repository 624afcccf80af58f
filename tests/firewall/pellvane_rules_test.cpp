// Pellvane's firewall rules against a fake of the firewall's interface: what
// add and remove leave, each failing call, and the readings doctor and show
// report. Wine's interface keeps and reads nothing, so this is where the
// logic is checked.
#include <gtest/gtest.h>

#include "firewall/pellvane_rules.h"
#include "tests/firewall/fake_firewall.h"

namespace {

const char kFolder[] = "C:\\Program Files\\Pellvane";
const char kGui[] = "Pellvane (Pellvane.exe)";
const char kCli[] = "Pellvane (pellvane-cli.exe)";

FwRule Other(const std::string& name, const std::string& application) {
    FwRule rule;
    rule.name = name;
    rule.application = application;
    return rule;
}

TEST(PellvaneRulesTest, AddLeavesOneRuleEachWhateverWasThere) {
    for (bool removesAll : {false, true}) {
        SCOPED_TRACE(removesAll ? "Remove takes all by a name" : "Remove takes one");
        FakeFirewall firewall;
        firewall.removesAll = removesAll;
        firewall.rules = {Other(kGui, "D:\\Old\\Pellvane.exe"), Other("Someone else's", "x.exe"),
                          Other(kGui, "E:\\Older\\Pellvane.exe")};
        ASSERT_TRUE(AddPellvaneRules(firewall, kFolder).Ok());
        ASSERT_TRUE(AddPellvaneRules(firewall, kFolder).Ok());
        ASSERT_EQ(firewall.rules.size(), 3u);
        EXPECT_EQ(firewall.rules[0].name, "Someone else's");
        // Removed by name before anything is added.
        EXPECT_EQ(firewall.calls.back(), std::string("add ") + kCli);
        EXPECT_EQ(firewall.calls[firewall.calls.size() - 2], std::string("add ") + kGui);
        const char* programs[] = {"\\Pellvane.exe", "\\pellvane-cli.exe"};
        for (int i = 0; i < 2; ++i) {
            const FwRule& rule = firewall.rules[1 + i];
            EXPECT_EQ(rule.name, i == 0 ? kGui : kCli);
            EXPECT_EQ(rule.application, std::string(kFolder) + programs[i]);
            EXPECT_EQ(rule.grouping, "Pellvane");
            EXPECT_EQ(rule.protocol, 17);
            EXPECT_EQ(rule.localPorts, "*");
            EXPECT_EQ(rule.profiles, 0x7fffffff);
            EXPECT_TRUE(rule.inbound && rule.allow && rule.enabled);
        }
        ASSERT_TRUE(RemovePellvaneRules(firewall).Ok());
        ASSERT_EQ(firewall.rules.size(), 1u);
        EXPECT_EQ(firewall.rules[0].name, "Someone else's");
    }
}

TEST(PellvaneRulesTest, EachFailingCallEndsWithItsResultAndStep) {
    const FwResult kRpcFailed = static_cast<FwResult>(0x800706BA);
    const std::string gui = std::string(" the rule \"") + kGui + "\"";
    const struct {
        const char* name;
        bool add;
        FwResult FakeFirewall::*call;  // made to fail with `result`
        FwResult result;
        FwResult expected;
        std::string step;
    } cases[] = {
        {"no rule by the name is no failure", false, &FakeFirewall::removeResult, kFwNotFound,
         kFwOk, ""},
        {"no administrator: remove", true, &FakeFirewall::removeResult, kFwAccessDenied,
         kFwAccessDenied, "removing" + gui},
        {"no administrator: add", true, &FakeFirewall::addResult, kFwAccessDenied, kFwAccessDenied,
         "adding" + gui},
        {"the look-up fails", false, &FakeFirewall::readResult, kRpcFailed, kRpcFailed,
         "looking for" + gui},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFirewall firewall;
        firewall.*c.call = c.result;
        const FwOutcome outcome =
            c.add ? AddPellvaneRules(firewall, kFolder) : RemovePellvaneRules(firewall);
        EXPECT_EQ(outcome.result, c.expected);
        EXPECT_EQ(outcome.step, c.step);
    }
    FakeFirewall stuck;
    stuck.rules = {Other(kCli, "x.exe")};
    stuck.stuckRemovals = 1000;
    const FwOutcome outcome = RemovePellvaneRules(stuck);
    EXPECT_EQ(outcome.result, kFwFailed);
    EXPECT_EQ(outcome.step,
              std::string("removing the rule \"") + kCli + "\" (still there after 16 removals)");
    for (bool add : {true, false}) {
        FakeFirewall wine = FakeFirewall::Wine();
        EXPECT_TRUE((add ? AddPellvaneRules(wine, kFolder) : RemovePellvaneRules(wine)).Ok());
    }
}

TEST(PellvaneRulesTest, ReadingsSayWhatTheInterfaceSaysAndNoMore) {
    using S = RuleFinding::State;
    using R = FwReading;
    FakeFirewall hardened;  // Public active, unicast answers off, group policy rules
    hardened.unicastDisabled[FwProfile::kPublic] = true;
    hardened.enabled[FwProfile::kPrivate] = false;
    hardened.modify = FwModifyState::kGroupPolicyOverride;
    AddPellvaneRules(hardened, kFolder);
    hardened.rules[0].enabled = false;
    hardened.rules[0].application = "D:\\Old\\Pellvane.exe";
    hardened.rules.pop_back();

    FirewallFindings findings;
    ASSERT_TRUE(ReadFirewall(hardened, kFolder, findings).Ok());
    ASSERT_EQ(findings.rules.size(), 2u);
    EXPECT_EQ(findings.rules[0].state, S::kChanged);
    EXPECT_EQ(findings.rules[0].change, "disabled; for D:\\Old\\Pellvane.exe");
    EXPECT_EQ(findings.rules[1].state, S::kMissing);
    EXPECT_EQ(findings.rules[1].program, std::string(kFolder) + "\\pellvane-cli.exe");
    ASSERT_EQ(findings.profiles.size(), 3u);
    const R expected[3][4] = {{R::kNo, R::kYes, R::kYes, R::kCannotTell},  // domain
                              {R::kNo, R::kNo, R::kYes, R::kCannotTell},   // private
                              {R::kYes, R::kYes, R::kNo, R::kNo}};         // public
    for (int i = 0; i < 3; ++i) {
        const ProfileFinding& p = findings.profiles[i];
        SCOPED_TRACE(ProfileName(p.profile));
        EXPECT_EQ(p.active, expected[i][0]);
        EXPECT_EQ(p.firewallOn, expected[i][1]);
        EXPECT_EQ(p.unicastAnswersAllowed, expected[i][2]);
        EXPECT_EQ(p.localRulesApply, expected[i][3]);
    }
    EXPECT_EQ(findings.profiles[2].modifyState, FwModifyState::kGroupPolicyOverride);

    FakeFirewall wine = FakeFirewall::Wine();
    ASSERT_TRUE(ReadFirewall(wine, kFolder, findings).Ok());
    for (const RuleFinding& rule : findings.rules)
        EXPECT_EQ(rule.state, S::kCannotTell);
    for (const ProfileFinding& p : findings.profiles) {
        for (R reading : {p.active, p.firewallOn, p.unicastAnswersAllowed, p.localRulesApply})
            EXPECT_EQ(reading, R::kCannotTell);
    }

    // Any other failure is one, named.
    const struct {
        FwResult FakeFirewall::*call;
        const char* step;
    } failures[] = {
        {&FakeFirewall::readResult, "reading the rule \"Pellvane (Pellvane.exe)\""},
        {&FakeFirewall::currentResult, "reading the active profiles"},
        {&FakeFirewall::modifyResult, "reading whether local rules apply"},
        {&FakeFirewall::enabledResult, "reading whether the firewall is on (Domain)"},
        {&FakeFirewall::unicastResult, "reading whether unicast answers are allowed (Domain)"},
    };
    for (const auto& f : failures) {
        FakeFirewall failing;
        failing.*f.call = kFwAccessDenied;
        const FwOutcome outcome = ReadFirewall(failing, kFolder, findings);
        EXPECT_EQ(outcome.result, kFwAccessDenied) << f.step;
        EXPECT_EQ(outcome.step, f.step);
    }
}

TEST(PellvaneRulesTest, TheFirewallIsBlamedOnlyWhenOnAndRefusingOrWithoutTheRules) {
    const std::string kAdvice =
        ": run \"pellvane-cli firewall add\" as administrator, or ask IT for Pellvane's firewall "
        "rules.";
    const struct {
        const char* name;
        bool rules;          // Pellvane's rules are there
        long active;         // 0: the active profiles cannot be read
        bool publicRefuses;  // unicast answers off for Public
        bool publicOn;
        std::string suspicion;
    } cases[] = {
        {"rules there, answers allowed", true, 4, false, true, ""},
        {"answers refused in the active profile", true, 4, true, true,
         "The firewall refuses unicast answers to broadcasts (Public profile)" + kAdvice},
        {"refused, but the firewall is off", true, 4, true, false, ""},
        {"refused in a profile that is not active", true, 2, true, true, ""},
        {"rules missing", false, 2, false, true,
         "Pellvane's firewall rules are missing or changed, with the firewall on (Private "
         "profile)" +
             kAdvice},
        {"active profiles unknown: any profile", false, 0, true, true,
         "The firewall refuses unicast answers to broadcasts (Public profile), and Pellvane's "
         "firewall rules are missing or changed, with the firewall on (Domain, Private and "
         "Public profiles)" +
             kAdvice},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFirewall firewall;
        if (c.rules)
            AddPellvaneRules(firewall, kFolder);
        firewall.current = c.active;
        if (!c.active)
            firewall.currentResult = kFwNotImplemented;
        firewall.unicastDisabled[FwProfile::kPublic] = c.publicRefuses;
        firewall.enabled[FwProfile::kPublic] = c.publicOn;
        FirewallFindings findings;
        ASSERT_TRUE(ReadFirewall(firewall, kFolder, findings).Ok());
        EXPECT_EQ(FirewallSuspicion(findings), c.suspicion);
    }
    FakeFirewall wine = FakeFirewall::Wine();
    FirewallFindings findings;
    ASSERT_TRUE(ReadFirewall(wine, kFolder, findings).Ok());
    EXPECT_EQ(FirewallSuspicion(findings), "") << "nothing known, nothing blamed";
}

}  // namespace
