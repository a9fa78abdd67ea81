#pragma once

// The program's modal windows, each created for one use, shown with exec() and deleted
// afterwards. While one is open a nested event loop keeps timers and sockets running, and
// their handlers may open further modal windows: each new one is owned by the modal window
// on top (or the active window), so it stacks above it. If the owner is destroyed while a
// window is open, the window goes with it and the call returns as if it had been closed.

#include <QString>

class QWidget;
struct TransferSettings;

// The yes/no question. Empty title and captions keep "SaveQuery", "&Save" and "&Refuse".
// True only when Button1 was pressed (or Enter while it had the focus).
bool AskQuery(const QString& line1, const QString& line2, const QString& title = {},
              const QString& yesCaption = {}, const QString& noCaption = {});

// A notice with the exclamation icon and one "&Ok" button; returns when it is closed.
void ShowNotice(const QString& title, const QString& message);

// The plain application message box: text, one "OK" button, no icon, captioned with the
// application's display name ("MOXELD").
void ShowPlainMessage(const QString& text);

// The speed window, opened at settings.SpeedLevel; "&Ok" applies the chosen level's row.
// Owned by owner, or by the modal window on top when one is open.
void RunSpeedWindow(QWidget* owner, TransferSettings& settings);

// The information window, with this host's address looked up now. Owned as above.
void RunInfoWindow(QWidget* owner);

// The window a new modal window should stack on: the modal window on top, else the
// active window; null when there is neither.
QWidget* ModalOwner();
