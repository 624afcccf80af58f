#include "net/adapter_record.h"

CString FormatIPv4(DWORD networkOrder) {
    const BYTE* octets = reinterpret_cast<const BYTE*>(&networkOrder);
    CString text;
    text.Format("%u.%u.%u.%u", octets[0], octets[1], octets[2], octets[3]);
    return text;
}

bool AdapterRecord::GetIpText(CString& text) const {
    text = FormatIPv4(address);
    return true;
}

bool AdapterRecord::GetMacText(CString& text) const {
    text.Format("%02x:%02x:%02x:%02x:%02x:%02x", hardware[0], hardware[1], hardware[2], hardware[3],
                hardware[4], hardware[5]);
    return true;
}

bool AdapterRecord::GetControllerAddress(DWORD& value) const {
    value = controller;
    return true;
}

bool AdapterRecord::GetStatusText(CString& text) const {
    if (controller != 0)
        text.Format("Controlled by %s", FormatIPv4(controller).GetString());
    else
        text = "Ready";
    return true;
}
