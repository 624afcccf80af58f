#include "ui/change_address_dlg.h"

#include <cstring>
#include <utility>

#include "app/adapter_config_app.h"
#include "framework/message_box.h"
#include "framework/text_encoding.h"
#include "net/adapter_table.h"
#include "net/address_text.h"
#include "net/broadcast_channel.h"
#include "net/network_check.h"
#include "record/change_recorder.h"
#include "ui/adapter_config_dlg.h"
#include "ui/resources/resource.h"

namespace {

constexpr int kNewAddressMaxChars = 64;
constexpr COLORREF kAddressText = RGB(0, 96, 0);
constexpr COLORREF kNewAddressText = RGB(255, 0, 0);

CAdapterTable* ApplicationTable() {
    auto* app = static_cast<CAdapterConfigApp*>(AfxGetApp());
    return app ? app->m_pAdapterTable : nullptr;
}

// The record of the adapter at `index` of the application's table, or null.
AdapterRecord* FindAdapterRecord(int index) {
    CAdapterTable* table = ApplicationTable();
    if (!table || index < 0 || index >= table->GetCount())
        return nullptr;
    return table->GetAt(index);
}

// The dotted decimal text of the address `text` resolves to, as the exchange
// resolves it; empty when it does not resolve to an IPv4 address.
CString ResolvedAddressText(const CString& text, DWORD& address) {
    sockaddr_in resolved;
    if (ResolveAddress(text, resolved) != 0 || resolved.sin_family != AF_INET)
        return CString();
    std::memcpy(&address, &resolved.sin_addr, sizeof(address));
    return FormatIPv4(address);
}

}  // namespace

CChangeAddressDlg::CChangeAddressDlg(CWnd* parent, const SelectedAdapter& adapter)
    : CDialog(IDD_CHANGE_ADDRESS, parent),
      m_nRow(adapter.m_nRow),
      m_nTableIndex(adapter.m_nTableIndex),
      m_strNewAddress(adapter.m_strIpAddress),
      m_strIpAddress(adapter.m_strIpAddress),
      m_strMacAddress(adapter.m_strMacAddress) {
    CreateEmphasisFont(m_font);
}

void CChangeAddressDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_NEW_ADDRESS, m_strNewAddress);
    DDV_MaxChars(dx, IDC_NEW_ADDRESS, m_strNewAddress, kNewAddressMaxChars);
    DDX_Text(dx, IDC_CURRENT_ADDRESS, m_strIpAddress);
    DDX_Text(dx, IDC_MAC_ADDRESS, m_strMacAddress);
}

BOOL CChangeAddressDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    for (int id : {IDC_CURRENT_ADDRESS, IDC_MAC_ADDRESS, IDC_NEW_ADDRESS})
        GetDlgItem(id).SetFont(m_font, TRUE);
    return TRUE;  // the platform focuses the new-address field, its text selected
}

void CChangeAddressDlg::OnOK() {
    // The field takes no more than 64 characters, so the limit cannot refuse it.
    UpdateData(TRUE);
    if (m_strNewAddress.IsEmpty()) {
        AfxMessageBox("Please specify the new IP address !");
        return;
    }
    if (IsAmbiguousNumericAddress(m_strNewAddress)) {
        AfxMessageBox(kAddressFormNotice);
        return;
    }
    // No record at the row's table index means nothing was changed: say so and
    // stay open rather than close as if the change had been made.
    AdapterRecord* record = FindAdapterRecord(m_nTableIndex);
    // A host name is resolved here, once, and its address sent as dotted
    // text: the row then shows the address the adapter took, and the text
    // exists before sending, so nothing below needs memory.
    DWORD address = 0;
    CString strSent = record ? ResolvedAddressText(m_strNewAddress, address) : CString();
    std::vector<std::string> findings;
    if (!strSent.IsEmpty() && !ConfirmDespiteFindings(address, findings))
        return;

    CString question;
    question.Format("Change IP address from [%s] to [%s]?", m_strIpAddress.GetString(),
                    m_strNewAddress.GetString());
    if (AfxQuestionBox(question) != IDYES)
        return;

    if (strSent.IsEmpty()) {
        AfxMessageBox("Failed to change by the new IP Address !");
        return;
    }
    // Nothing is sent unless its record can be written.
    ChangeRecord change = DescribeChange(strSent, std::move(findings));
    CChangeRecorder recorder("Pellvane");
    if (!recorder.Open("the IP address of " + change.address.mac + " from " +
                       change.address.oldAddress + " to " + change.address.newAddress)) {
        AfxMessageBox(
            ("The IP address was not changed: " + Utf8ToAnsi(recorder.GetProblem()) + ".").c_str());
        return;
    }
    change.address.confirmed = record->ChangeAddress(strSent);
    if (!recorder.Record(change))
        AfxMessageBox(("The change of the IP address was " +
                       std::string(change.address.confirmed ? "made" : "requested") + ", but " +
                       Utf8ToAnsi(recorder.GetProblem()) + ".\n\nNote the change by hand.")
                          .c_str());
    if (!change.address.confirmed) {
        AfxMessageBox("Failed to change by the new IP Address !");
        return;
    }
    // The adapter has its new address: from here on nothing can fail, so the
    // change always reaches the caller and the dialog always closes.
    m_strIpAddress = std::move(strSent);
    m_bChanged = 1;
    AfxMessageBox("IP address has been changed! Power Off/On the Tessik/ADC.");
    UpdateData(FALSE);
    EndDialog(IDOK);
}

ChangeRecord CChangeAddressDlg::DescribeChange(const CString& sent,
                                               std::vector<std::string> findings) const {
    ChangeRecord change;
    change.action = ChangeRecord::Action::kChangeAddress;
    change.address.mac = AnsiToUtf8(m_strMacAddress.GetString());
    change.address.oldAddress = AnsiToUtf8(m_strIpAddress.GetString());
    change.address.newAddress = sent.GetString();
    change.address.findings = std::move(findings);
    if (CAdapterTable* table = ApplicationTable()) {
        if (const DWORD card = CNetworkCheck(*table).Check(m_nTableIndex).Via().address)
            change.address.via = FormatIPv4(card).GetString();
    }
    return change;
}

bool CChangeAddressDlg::ConfirmDespiteFindings(DWORD address,
                                               std::vector<std::string>& texts) const {
    CAdapterTable* table = ApplicationTable();
    if (!table)
        return true;
    const CNetworkCheck check(*table);
    const AdapterFindings findings = check.CheckAddress(m_nTableIndex, address);
    if (!findings.Any())
        return true;
    for (const CString& text : check.Describe(findings))
        texts.push_back(AnsiToUtf8(text.GetString()));
    CString warning;
    warning.Format("The new address [%s] has a problem:\n\n%s\n\nChange the address anyway?",
                   m_strNewAddress.GetString(), check.DescribeAll(findings, "\n").GetString());
    return AfxMessageBox(warning, MB_YESNO | MB_ICONWARNING) == IDYES;
}

HBRUSH CChangeAddressDlg::OnCtlColor(HDC dc, HWND control, UINT kind) {
    HBRUSH brush = CDialog::OnCtlColor(dc, control, kind);
    int id = ::GetDlgCtrlID(control);
    if (kind == CTLCOLOR_STATIC && (id == IDC_CURRENT_ADDRESS || id == IDC_MAC_ADDRESS))
        ::SetTextColor(dc, kAddressText);
    else if (kind == CTLCOLOR_EDIT && id == IDC_NEW_ADDRESS)
        ::SetTextColor(dc, kNewAddressText);
    return brush;
}
