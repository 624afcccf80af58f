// FirewallPolicy through the firewall's COM interface. Each call returns the
// interface's own HRESULT, so that the caller can tell "not implemented"
// (Wine) from a refusal.
#include <windows.h>

#include <initguid.h>  // CLSID_NetFwPolicy2 and its kin are in no import library

#include <netfw.h>
#include <oleauto.h>

#include "firewall/firewall_policy.h"
#include "framework/text_encoding.h"

namespace {

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (m_p)
            m_p->Release();
    }
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    T** Out() { return &m_p; }
    void** OutVoid() { return reinterpret_cast<void**>(&m_p); }

private:
    T* m_p = nullptr;
};

class Bstr {
public:
    explicit Bstr(const std::string& utf8) : m_b(SysAllocString(Utf8ToWide(utf8).c_str())) {}
    Bstr() = default;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(m_b); }
    BSTR Get() const { return m_b; }
    BSTR* Out() { return &m_b; }
    std::string Utf8() const { return m_b ? WideToUtf8(m_b) : std::string(); }

private:
    BSTR m_b = nullptr;
};

FwResult Result(HRESULT hr) {
    return static_cast<FwResult>(hr);
}

class ComFirewallPolicy : public FirewallPolicy {
public:
    explicit ComFirewallPolicy(bool uninitialize) : m_uninitialize(uninitialize) {}
    ~ComFirewallPolicy() override {
        if (m_rules)
            m_rules->Release();
        if (m_policy)
            m_policy->Release();
        if (m_uninitialize)
            CoUninitialize();
    }

    HRESULT Open() {
        HRESULT hr = CoCreateInstance(CLSID_NetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_INetFwPolicy2, reinterpret_cast<void**>(&m_policy));
        if (FAILED(hr))
            return hr;
        return m_policy->get_Rules(&m_rules);
    }

    FwResult CurrentProfileTypes(long& profiles) override {
        LONG value = 0;
        const HRESULT hr = m_policy->get_CurrentProfileTypes(&value);
        profiles = value;
        return Result(hr);
    }
    FwResult FirewallEnabled(FwProfile profile, bool& enabled) override {
        VARIANT_BOOL value = VARIANT_FALSE;
        const HRESULT hr =
            m_policy->get_FirewallEnabled(static_cast<NET_FW_PROFILE_TYPE2>(profile), &value);
        enabled = value != VARIANT_FALSE;
        return Result(hr);
    }
    FwResult UnicastResponsesDisabled(FwProfile profile, bool& disabled) override {
        VARIANT_BOOL value = VARIANT_FALSE;
        const HRESULT hr = m_policy->get_UnicastResponsesToMulticastBroadcastDisabled(
            static_cast<NET_FW_PROFILE_TYPE2>(profile), &value);
        disabled = value != VARIANT_FALSE;
        return Result(hr);
    }
    FwResult LocalPolicyModifyState(FwModifyState& state) override {
        NET_FW_MODIFY_STATE value = NET_FW_MODIFY_STATE_OK;
        const HRESULT hr = m_policy->get_LocalPolicyModifyState(&value);
        state = value == NET_FW_MODIFY_STATE_GP_OVERRIDE       ? FwModifyState::kGroupPolicyOverride
                : value == NET_FW_MODIFY_STATE_INBOUND_BLOCKED ? FwModifyState::kInboundBlocked
                                                               : FwModifyState::kOk;
        return Result(hr);
    }

    FwResult AddRule(const FwRule& rule) override {
        ComPtr<INetFwRule> made;
        HRESULT hr = CoCreateInstance(CLSID_NetFwRule, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_INetFwRule, made.OutVoid());
        if (FAILED(hr))
            return Result(hr);
        const Bstr name(rule.name), description(rule.description), application(rule.application),
            grouping(rule.grouping), ports(rule.localPorts);
        // The protocol before the ports: ports need TCP or UDP.
        const HRESULT steps[] = {
            made->put_Name(name.Get()),
            made->put_Description(description.Get()),
            made->put_ApplicationName(application.Get()),
            made->put_Protocol(rule.protocol),
            made->put_LocalPorts(ports.Get()),
            made->put_Direction(rule.inbound ? NET_FW_RULE_DIR_IN : NET_FW_RULE_DIR_OUT),
            made->put_Profiles(rule.profiles),
            made->put_Action(rule.allow ? NET_FW_ACTION_ALLOW : NET_FW_ACTION_BLOCK),
            made->put_Grouping(grouping.Get()),
            made->put_Enabled(rule.enabled ? VARIANT_TRUE : VARIANT_FALSE),
        };
        for (HRESULT step : steps) {
            if (FAILED(step))
                return Result(step);
        }
        return Result(m_rules->Add(made.Get()));
    }
    FwResult RemoveRule(const std::string& name) override {
        const Bstr text(name);
        return Result(m_rules->Remove(text.Get()));
    }
    FwResult HasRule(const std::string& name) override {
        const Bstr text(name);
        ComPtr<INetFwRule> found;
        return Result(m_rules->Item(text.Get(), found.Out()));
    }
    FwResult GetRule(const std::string& name, FwRule& rule) override {
        const Bstr text(name);
        ComPtr<INetFwRule> found;
        HRESULT hr = m_rules->Item(text.Get(), found.Out());
        if (FAILED(hr))
            return Result(hr);
        Bstr application, ports;
        LONG protocol = 0, profiles = 0;
        NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_OUT;
        NET_FW_ACTION action = NET_FW_ACTION_BLOCK;
        VARIANT_BOOL enabled = VARIANT_FALSE;
        const HRESULT steps[] = {
            found->get_ApplicationName(application.Out()),
            found->get_Protocol(&protocol),
            found->get_LocalPorts(ports.Out()),
            found->get_Direction(&direction),
            found->get_Profiles(&profiles),
            found->get_Action(&action),
            found->get_Enabled(&enabled),
        };
        for (HRESULT step : steps) {
            if (FAILED(step))
                return Result(step);
        }
        rule.name = name;
        rule.application = application.Utf8();
        rule.localPorts = ports.Utf8();
        rule.protocol = protocol;
        rule.profiles = profiles;
        rule.inbound = direction == NET_FW_RULE_DIR_IN;
        rule.allow = action == NET_FW_ACTION_ALLOW;
        rule.enabled = enabled != VARIANT_FALSE;
        return kFwOk;
    }

private:
    bool m_uninitialize;
    // Plain pointers: released in the destructor, before COM is uninitialized.
    INetFwPolicy2* m_policy = nullptr;
    INetFwRules* m_rules = nullptr;
};

}  // namespace

FirewallConnection OpenFirewall() {
    FirewallConnection connection;
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // RPC_E_CHANGED_MODE: initialized already, another way; usable as it is.
    if (FAILED(init) && init != RPC_E_CHANGED_MODE) {
        connection.result = Result(init);
        return connection;
    }
    auto policy = std::make_unique<ComFirewallPolicy>(SUCCEEDED(init));
    const HRESULT hr = policy->Open();
    connection.result = Result(hr);
    if (SUCCEEDED(hr))
        connection.policy = std::move(policy);
    return connection;
}
