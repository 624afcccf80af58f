// CDialog: a modal dialog built from a template, whose dialog procedure hands
// each message to the C++ object through virtual handlers. `this` travels in
// DialogBoxParam's lParam and is kept in the window's DWLP_USER slot.
// No exception crosses back into the platform's code: one that reaches the
// dialog procedure is reported to the user in a notice.
#pragma once

#ifdef _WIN32

#include "framework/wnd.h"

class CDialog;

// Dialog data exchange: one direction per UpdateData call.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, BOOL saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;  // TRUE: controls -> members
    BOOL m_bFailed = FALSE;
};

void DDX_Control(CDataExchange* dx, int id, CWnd& control);
void DDX_Text(CDataExchange* dx, int id, CString& value);
// Limits the field to `maxChars` on loading; refuses longer text on saving.
void DDV_MaxChars(CDataExchange* dx, int id, const CString& value, int maxChars);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally; IDOK, IDCANCEL, or -1 if it could not be made.
    virtual INT_PTR DoModal();
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    void EndDialog(int result);

    UINT GetTemplateId() const { return m_nTemplateId; }

protected:
    virtual void DoDataExchange(CDataExchange* /*dx*/) {}
    virtual BOOL OnInitDialog();  // fills the controls; TRUE: default focus
    virtual void OnOK();          // reads the controls and ends with IDOK
    virtual void OnCancel();      // ends with IDCANCEL

    // Commands other than IDOK/IDCANCEL; true when handled.
    virtual bool OnCommand(int /*id*/, int /*code*/) { return false; }
    // WM_NOTIFY; true when handled, with the notification's result.
    virtual bool OnNotify(NMHDR* /*header*/, LRESULT& /*result*/) { return false; }
    // WM_CTLCOLOR*: the base gives the platform's default colours and brush;
    // an override calls it first, then may change the text colour.
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind);
    virtual void OnDestroy() {}
    // Any other message; true when handled, with the message's result.
    virtual bool OnMessage(UINT /*message*/, WPARAM, LPARAM, LRESULT& /*result*/) { return false; }

    // The platform's default processing of the message being handled.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nTemplateId;
    CWnd* m_pParentWnd;
};

#endif  // _WIN32
