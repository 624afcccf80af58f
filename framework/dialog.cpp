#include "framework/dialog.h"

#include <new>

#include "framework/message_box.h"
#include "framework/winapp.h"

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (!control.m_hWnd)
        control.Attach(::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id));
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
    CWnd field = dx->m_pDlgWnd->GetDlgItem(id);
    if (dx->m_bSaveAndValidate)
        field.GetWindowText(value);
    else
        field.SetWindowText(value);
}

void DDV_MaxChars(CDataExchange* dx, int id, const CString& value, int maxChars) {
    if (dx->m_bSaveAndValidate) {
        if (value.GetLength() > maxChars)
            dx->m_bFailed = TRUE;
    } else {
        dx->m_pDlgWnd->GetDlgItem(id).SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(maxChars));
    }
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nTemplateId(templateId), m_pParentWnd(parent) {}

INT_PTR CDialog::DoModal() {
    // Without a parent the application's main window owns the dialog (and is
    // disabled while it runs), as long as that window exists and is not this one.
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner && AfxGetApp() && AfxGetApp()->m_pMainWnd && AfxGetApp()->m_pMainWnd != this)
        owner = AfxGetApp()->m_pMainWnd->m_hWnd;
    INT_PTR result = ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nTemplateId),
                                       owner, DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

void CDialog::EndDialog(int result) {
    ::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

HBRUSH CDialog::OnCtlColor(HDC dc, HWND control, UINT kind) {
    // WM_CTLCOLORMSGBOX + kind is the request's own message.
    return reinterpret_cast<HBRUSH>(Default(WM_CTLCOLORMSGBOX + kind, reinterpret_cast<WPARAM>(dc),
                                            reinterpret_cast<LPARAM>(control)));
}

LRESULT CDialog::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

namespace {

void ReportUnfinished(LPCSTR text) {
    // The notice's own modal loop may meet the same failure again: one notice
    // at a time.
    static bool s_bReporting = false;
    if (s_bReporting)
        return;
    s_bReporting = true;
    AfxMessageBox(text);
    s_bReporting = false;
}

}  // namespace

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        dialog->m_hWnd = hWnd;
    } else {
        dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    }
    if (!dialog)
        return FALSE;
    // Nothing may unwind through the platform's dialog manager, and nothing
    // may fail unseen: a handler that did not finish is reported. Handlers
    // that leave something half done report it themselves, more precisely.
    // The notice comes after the handler: its modal loop must not run
    // inside the catch.
    LPCSTR failure = nullptr;
    try {
        return dialog->Dispatch(message, wParam, lParam);
    } catch (const std::bad_alloc&) {
        failure = "There was not enough memory to finish the last action.";
    } catch (...) {
        failure = "The last action could not be finished because of an unexpected error.";
    }
    ReportUnfinished(failure);
    return FALSE;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND: {
            int id = LOWORD(wParam);
            int code = HIWORD(wParam);
            if (OnCommand(id, code))
                return TRUE;
            if (id == IDOK && code == BN_CLICKED) {
                OnOK();
                return TRUE;
            }
            if (id == IDCANCEL && code == BN_CLICKED) {
                OnCancel();
                return TRUE;
            }
            return FALSE;
        }
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (!OnNotify(reinterpret_cast<NMHDR*>(lParam), result))
                return FALSE;
            ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(OnCtlColor(reinterpret_cast<HDC>(wParam),
                                                        reinterpret_cast<HWND>(lParam),
                                                        message - WM_CTLCOLORMSGBOX));
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        default: {
            LRESULT result = 0;
            if (!OnMessage(message, wParam, lParam, result))
                return FALSE;
            // These few answer through the procedure's own return value.
            if (message == WM_QUERYDRAGICON)
                return static_cast<INT_PTR>(result);
            ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
    }
}
