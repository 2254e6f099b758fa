#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

class Prompts;
class QFrame;
class QLabel;
class QPushButton;

// About box: program name, file version and the maker's web address.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(Prompts& prompts, QWidget* parent = nullptr);

    int Language = 0;
    // Opens a web address with the desktop's handler; tests replace it to see what was opened.
    std::function<bool(const QUrl&)> OpenUrl;

    QLabel* ProgramIcon = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LabelRelease = nullptr;
    QLabel* LabelVersion = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label5 = nullptr;
    QFrame* Bevel1 = nullptr;
    QPushButton* BitBtn1 = nullptr;

    // The maker's web site for a language.
    static QUrl webAddress(int language);

    void Label5Click();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();

    Prompts& m_prompts;
};
