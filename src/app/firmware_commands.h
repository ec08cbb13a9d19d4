// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>
#include <QString>

#include <functional>

class QFileDialog;
class QWidget;
class TfrmLumora;

// What the firmware file dialog is opened with.
struct FirmwareDialogRequest
{
    QString title;
    QString folder;         // initial folder
    QString fileName;       // proposed file, in that folder
    QString filter;         // "Aqualumora 1.x firmware (Aqualumora1x*.chx)"
    QString defaultSuffix;  // "chx"
};

// An open-file dialog set up from request (not shown yet).
QFileDialog *CreateFirmwareFileDialog(QWidget *parent, const FirmwareDialogRequest &request);

// The window's side of the firmware update: the menu command with its warning, and the
// file dialog the link thread has run on the UI thread. Installs the transfer for every
// link thread the window starts.
class FirmwareCommands : public QObject
{
    Q_OBJECT
public:
    explicit FirmwareCommands(TfrmLumora *window);

    // File > Update firmware...: after the warning is confirmed, raises FirmwareUpdate.
    void mnuFirmwareUpdateClick();
    // The file dialog; the chosen path, or empty when cancelled. A confirmed choice brings
    // the message page to the front, where the transfer's progress appears.
    QString ChooseFirmwareFile();
    FirmwareDialogRequest dialogRequest() const;

    // Runs the dialog; tests replace it. The default is a modal QFileDialog.
    std::function<QString(const FirmwareDialogRequest &)> OpenFileDialog;

    // "Aqualumora1x" + the expected firmware version + ".chx"
    static QString DefaultFileName();

private:
    TfrmLumora *w;
};
