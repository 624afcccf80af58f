// The calls of the Windows firewall's COM interface (INetFwPolicy2,
// INetFwRules, INetFwRule) that Pellvane makes, behind an interface of their
// own: the rule logic is tested against a fake, since Wine's firewall accepts
// every change and reads nothing back. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

using FwResult = std::int32_t;  // an HRESULT
constexpr FwResult kFwOk = 0;
constexpr FwResult kFwNotImplemented = static_cast<FwResult>(0x80004001);  // E_NOTIMPL
constexpr FwResult kFwAccessDenied = static_cast<FwResult>(0x80070005);    // E_ACCESSDENIED
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND): no rule by that name.
constexpr FwResult kFwNotFound = static_cast<FwResult>(0x80070002);
constexpr FwResult kFwFailed = static_cast<FwResult>(0x80004005);  // E_FAIL

inline bool FwSucceeded(FwResult result) {
    return result >= 0;
}

// NET_FW_PROFILE_TYPE2's values.
enum class FwProfile : long { kDomain = 1, kPrivate = 2, kPublic = 4 };
constexpr long kFwAllProfiles = 0x7fffffff;  // NET_FW_PROFILE2_ALL
constexpr long kFwProtocolUdp = 17;

// NET_FW_MODIFY_STATE: whether rules added locally take effect in the
// current profiles.
enum class FwModifyState { kOk, kGroupPolicyOverride, kInboundBlocked };

struct FwRule {
    std::string name;
    std::string description;
    std::string application;  // full path of the program
    std::string grouping;
    std::string localPorts;  // "*": any
    long protocol = 0;
    long profiles = 0;
    bool inbound = false;
    bool allow = false;
    bool enabled = false;
};

class FirewallPolicy {
public:
    virtual ~FirewallPolicy() = default;
    // A mask of FwProfile values.
    virtual FwResult CurrentProfileTypes(long& profiles) = 0;
    virtual FwResult FirewallEnabled(FwProfile profile, bool& enabled) = 0;
    virtual FwResult UnicastResponsesDisabled(FwProfile profile, bool& disabled) = 0;
    virtual FwResult LocalPolicyModifyState(FwModifyState& state) = 0;
    virtual FwResult AddRule(const FwRule& rule) = 0;
    virtual FwResult RemoveRule(const std::string& name) = 0;
    // kFwOk when a rule has that name, kFwNotFound when none has.
    virtual FwResult HasRule(const std::string& name) = 0;
    // The rule by that name with its properties; kFwNotFound when none.
    virtual FwResult GetRule(const std::string& name, FwRule& rule) = 0;
};

#ifdef _WIN32
// The local firewall policy through COM; `result` says why there is none.
struct FirewallConnection {
    std::unique_ptr<FirewallPolicy> policy;
    FwResult result = kFwOk;
};
FirewallConnection OpenFirewall();
#endif
