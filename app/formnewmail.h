#pragma once

#include "core/onlineupdate.h"
#include "core/prompts.h"
#include "core/sharedstate.h"
#include "core/textfile.h"
#include "mailing/connectionprobe.h"
#include "mailing/smtpsession.h"

#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class QAbstractButton;
class MailDelivery;
class MailingInWindow;
class QAction;
class QTranslator;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QTimeEdit;
class QTimer;
class QToolBar;
class QToolButton;
class RadioGroup;
class TAboutBox;
class TFormGrid;
class TFormImport;
class TFormLoeschen;

// The main window: account fields, message fields, schedule controls, progress and status, and the
// toolbar that reaches every other function. It owns the program's shared state.
class TFormNewMail : public QWidget {
    Q_OBJECT
public:
    explicit TFormNewMail(Prompts& prompts, QWidget* parent = nullptr);
    ~TFormNewMail() override;

    SharedState State;

    // The secondary windows, created after this one and shown modally from it.
    TAboutBox* AboutBox = nullptr;
    TFormGrid* FormGrid = nullptr;
    TFormLoeschen* FormLoeschen = nullptr;
    TFormImport* FormImport = nullptr;

    // Opens a file or web address with the desktop's handler; tests replace it to see what was opened.
    std::function<bool(const QUrl&)> OpenUrl;
    // Starts the installer without waiting; tests replace it to see the command (empty: the real start).
    ProgramStarter StartProgram;

    // The clock of the schedule and the sent stamps; tests set their own (empty: the system's).
    std::function<QDateTime()> Now;
    // The public web host the connection check tries (tests point it at 127.0.0.1), and how long it waits.
    QList<ProbeTarget> WebProbeTargets{publicWebHost()};
    int ProbeTimeoutMs = 4000;
    // How often a running mailing writes its list back at the least (crash safety).
    int WriteBackIntervalMs = 2000;

    // Lines 6 to 8 of the settings file, carried unchanged from the file read at start into every save.
    QStringList ReservedSettings;

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
    QTimer* Timer1 = nullptr;
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
    // Toolbar and language menu.
    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolButton7 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* German1 = nullptr;
    QAction* English1 = nullptr;

    // The layout (encoding, line breaks) of the message file last loaded into Memo2; saving writes in it,
    // so a file opened and saved unchanged keeps every byte. New text gets the layout of a new file.
    TextFormat MessageFormat;
    // The save dialog keeps its folder and name between uses.
    FileDialogRequest SaveDialog1;

    // Operations, one per user event.
    void FormShow();
    void FormClose();
    void ApplyLanguage();
    void BitBtnListClick();
    void BitBtnOpenClick();
    void BitBtnSaveSenderClick();
    void BtnMailClick();
    void BitBtnStopClick();
    void BitBtnCheckClick();
    void BitBtnTestmailClick();
    void RunMailing();
    void CheckBox1Click();
    void Timer1Timer();
    // A mailing run is in progress (its window lets events through once per line).
    bool MailingRunning() const { return m_running; }
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn1Click();
    void BitBtnDefaultClick();
    void LoadDefaultMessage();
    void BitBtn2Click();
    void ToolButton7Click();
    void German1Click();
    void English1Click();
    void BitBtnAboutClick();
    void BitBtnHelpClick();
    void ToolButton13Click();
    void ToolButton18Click();
    // A file dropped onto the window: the first local file of the drop is loaded into Memo2.
    void DropFiles(const QList<QUrl>& urls);
    // Opens the current help file; an empty anchor shows its table of contents.
    void ShowHelp(const QString& anchor = QString());

    // Settings file; raise AppError on failure.
    void LoadSettings();
    void SaveSettings();
    // Has the installer remove a file with raised rights (the settings file when it cannot be replaced).
    void RemoveFileElevated(const QString& path);
    // Step 6 of the first show: arms a stored schedule, or sets the pickers to now.
    void RestoreSchedule();
    // Where ToolButton7Click pops up the language menu (screen coordinates).
    QPoint languageMenuPosition() const;

    // Delivery of one message (mailing/formnewmail_delivery.cpp). The SMTP connection that all messages
    // share: the mailing run asks it whether it is open and closes it; tests give it their options.
    MailDelivery* IdSMTP = newDelivery();
    // What the last delivery came to, the server's failing reply included.
    DeliveryResult LastDelivery;
    void SendCurrentMail();
    bool DeliverMessage(const QString& recipients, const QString& cc, const QString& subject,
                        const QStringList& lines);
    // A delivery has not yet returned (the message is in flight or its error box is open). The window keeps
    // handling events meanwhile, but no second delivery can start and closing waits for it.
    bool DeliveryInFlight() const { return m_delivering; }

    // Memo2's text as file lines (during a run, the line's message even before Memo2 shows it), and lines
    // into Memo2: exact inverses, with every character kept (no-break spaces and line separators included).
    QStringList messageLines() const;
    void setMessageLines(const QStringList& lines);

    // Runs an operation; an error it does not handle is shown by the default error report
    // (an error box with the error's text) and the program goes on. Returns false after an error.
    bool runGuarded(const std::function<void()>& operation);

    Prompts& prompts() { return m_prompts; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void buildControls();
    void buildToolBar();
    void setTabOrder();
    void bind(QAbstractButton* button, void (TFormNewMail::*operation)());
    void applyQtTranslation();
    void loadMessageFile(const QString& path);
    void writeMessageFile(const QString& path);
    MailDelivery* newDelivery();
    QDateTime now() const;
    // A running mailing paints its fields now and then; this shows what they hold at once.
    void showRunFieldsNow();
    void setPanelTone(bool aborted);
    // True when a close request must wait for the delivery in flight; it is carried out once that returns.
    bool closeWaitsForDelivery();

    Prompts& m_prompts;
    QTranslator* m_qtTranslator = nullptr;
    bool m_shown = false;
    // The account fields hold what the settings file held. Until then (a first show that failed) closing
    // must not save, or the empty fields would replace the stored account.
    bool m_settingsShown = false;
    bool m_delivering = false;
    bool m_closePending = false;
    bool m_running = false;
    bool m_runUnattended = false;
    bool m_checking = false;
    MailingInWindow* m_runDisplay = nullptr;     // while a run shows its lines
    std::optional<QStringList> m_pendingMessage; // a run's message not yet put into Memo2
    friend class MailingInWindow;
};
