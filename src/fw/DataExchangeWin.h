#pragma once
// Data exchange between a dialog's members and its controls. One function, DoDataExchange,
// names each member with its control once; UpdateData runs it in either direction: members
// into controls (false), or controls into members with checks (true). A refused value
// calls the dialog's error hook, puts the focus back into its control and stops the
// exchange there, so the members after it keep their values.
#include "CString.h"
#include "WndWin.h"

class CDataDialog;

class CDataExchange {
public:
    CDataExchange(CDataDialog& dialog, bool saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_dialog(dialog) {}

    // True when controls are read into members, false when members are shown in controls.
    const bool m_bSaveAndValidate;

    // Once a value has been refused, every later exchange call does nothing.
    bool Failed() const { return m_failed; }
    // The control, or null when the dialog has none with this id.
    HWND Control(int id) const;
    // Tells the user that control id must hold a whole number, then fails at that control.
    void FailNotAnInteger(int id);

private:
    void Fail(int id);

    CDataDialog& m_dialog;
    bool m_failed = false;
};

// The text of a control; empty when there is no such control.
CString GetControlText(HWND dialog, int id);

// An edit's text.
void DDX_Text(CDataExchange& dx, int id, CString& value);
// An edit's text as a whole decimal number ("%d" when shown).
void DDX_Text(CDataExchange& dx, int id, int& value);
// A check box's state: 0 unchecked, 1 checked, 2 indeterminate.
void DDX_Check(CDataExchange& dx, int id, int& value);
// A combo box's text. In a drop-down list, showing selects the first entry that begins with
// the value (no entry for an empty value), and reading gives the selected entry's text.
void DDX_CBString(CDataExchange& dx, int id, CString& value);

// A dialog whose members are exchanged with its controls.
class CDataDialog : public CDialog {
public:
    using CDialog::CDialog;

    // Returns false when a value was refused.
    bool UpdateData(bool saveAndValidate = true);

protected:
    virtual void DoDataExchange(CDataExchange& dx) { (void)dx; }
    // Error hook: control id does not hold a whole number. The default prompts the user
    // with a message box owned by the dialog's top-level window.
    virtual void OnNotAnInteger(int id);

    // Fills the lists from the template's initialisation data, then shows the members.
    BOOL OnInitDialog() override;

private:
    friend class CDataExchange;
    // Runs the records of the template's initialisation resource (RT_DLGINIT): strings
    // added to list and combo boxes.
    void ExecuteDlgInit();
};
