// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QApplication>
#include <functional>

// The application object. An exception that escapes any event handler is handed to
// the exception sink (the message log) with its text, and the program goes on.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    using ExceptionSink = std::function<void(const QString &)>;
    static void setExceptionSink(ExceptionSink sink);

    // SIGINT and SIGTERM close the main window the ordinary way (backup, link stop).
    void closeWindowsOnTerminationSignals();
};
