#include "app/formnewmail.h"

// Mailing run, test mail and connection check of the main window.

void TFormNewMail::BtnMailClick() {}

void TFormNewMail::BitBtnStopClick() {}

void TFormNewMail::BitBtnCheckClick() {}

void TFormNewMail::BitBtnTestmailClick() {}
