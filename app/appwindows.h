#pragma once

#include <memory>

class Prompts;
class TAboutBox;
class TFormGrid;
class TFormImport;
class TFormLoeschen;
class TFormNewMail;
class SendingOptionsWindow;

// Names the application (the name message boxes are titled with, and the version). No display name is set:
// the window system would append it to every window title ("Tarnel x64 — Tarnel").
void setApplicationIdentity();

// The program's windows, created once in this order and kept until the process ends. The main window
// comes first; the others are shown modally from it.
struct AppWindows {
    explicit AppWindows(Prompts& prompts);
    ~AppWindows();

    std::unique_ptr<TFormNewMail> FormNewMail;
    TAboutBox* AboutBox = nullptr;
    TFormGrid* FormGrid = nullptr;
    TFormLoeschen* FormLoeschen = nullptr;
    TFormImport* FormImport = nullptr;
    SendingOptionsWindow* FormSendingOptions = nullptr;
};
