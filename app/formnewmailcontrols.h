#pragma once

#include "core/accountfields.h"
#include "mailing/mailrequest.h"

#include <QPoint>
#include <QString>

class QAction;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QTimeEdit;
class QToolBar;
class QToolButton;
class QWidget;
class RadioGroup;

// The main window's controls and their layout, built in code: account fields, the online indicator, the
// schedule, progress and status, the message fields and the toolbar with its language menu. The window
// class inherits these and gives them their behaviour.
class FormNewMailControls {
public:
    // Account fields.
    QLineEdit* EditHost = nullptr;
    QLineEdit* EditPort = nullptr;
    QLineEdit* EditUser = nullptr;
    QLineEdit* MaskEdit = nullptr;
    // Connection indicator.
    QLabel* ImageDisconnect = nullptr;
    QLabel* ImageConnect = nullptr;
    QLabel* LabelStatus = nullptr;
    // Schedule.
    QCheckBox* CheckBox1 = nullptr;
    QDateEdit* DateTimePicker1 = nullptr;
    QTimeEdit* DateTimePicker2 = nullptr;
    // Progress and status.
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* PanelMessage = nullptr;
    // The message being sent or tested.
    QLineEdit* EditMail = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* EditSubject = nullptr;
    QLineEdit* EditPatch = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    RadioGroup* SelHtml = nullptr;
    // Toolbar and language menu; the toolbar's buttons are found by their object names.
    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolButton7 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* German1 = nullptr;
    QAction* English1 = nullptr;

    // The account as the fields hold it now, and the account into the fields.
    AccountFields typedAccount() const;
    void showAccount(const AccountFields& account);
    // The message as the fields hold it, to go out as a test mail: recipient and subject trimmed, the
    // text as file lines (every character kept), the attachment path and the format.
    MailRequest messageInFields() const;
    // Empties the message fields (Memo2 too), the mail number, the progress bar and the Info panel.
    void clearMessageFields();
    // The connection indicator; `status` beside it when not empty.
    void showOnline(bool online, const QString& status = QString());
    // Where the language menu pops up: below the toolbar at the language button (screen coordinates).
    QPoint languageMenuPosition() const;

protected:
    // Builds every control on `form`, the window's look and the tab order.
    explicit FormNewMailControls(QWidget* form);
    // The captions and hints of the controls in the interface language.
    static void applyControlTexts(QWidget* form, int language);
    // The gradient under the toolbar; for the window's paint event.
    static void paintBackground(QWidget* form);

private:
    void setupToolBar(QWidget* form);
    void setupFields(QWidget* form);
    void setupTabOrder();
};
