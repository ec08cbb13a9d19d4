// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the MQTT broker is and how the program appears on it: the settings file, the broker
// URL of the command line and the dialog, and the broker as log lines show it.
//
// The settings file holds the broker's password, so it is only ever readable by its owner.
// No text made here (errors, log forms) ever holds the password.

#include <QString>

struct MqttSettings {
    bool enabled = false;
    QString host{};
    int port = 1883;
    bool tls = false;   // mqtts://; its default port is 8883
    QString user{};
    QString password{};
    QString caFile{};   // PEM file of the CA that signed the broker's certificate; empty: the system's CAs
    QString topicPrefix = QStringLiteral("aqualumora");
    QString discoveryPrefix = QStringLiteral("homeassistant");
    bool readOnly = false;   // publish only, accept no command

    friend bool operator==(const MqttSettings &, const MqttSettings &) = default;
};

inline constexpr int MqttDefaultPort = 1883;
inline constexpr int MqttTlsDefaultPort = 8883;

// mqtt://[user[:password]@]host[:port][/] or mqtts://... (scheme in any letter case). User and
// password are percent-decoded; an "@" in the password may also be written as it is (the last
// "@" ends them). An IPv6 address goes in brackets. Sets host, port, tls, user and password
// of settings (user and password are cleared when the URL has none) and leaves the rest.
// False with a reason, and settings untouched, for anything else: another scheme, no host or
// an invalid one, a bad port, a password without a user, a path other than "/", a query or
// a fragment. The reason never quotes the URL (it may hold the password).
bool ParseMqttUrl(const QString &url, MqttSettings &settings, QString *error);

// scheme://host:port, IPv6 addresses in brackets; no user, no password. Empty without a host.
QString MqttBrokerUrl(const MqttSettings &settings);
// The broker as a log line may show it: scheme, user, host and port, never the password.
QString MqttBrokerForLog(const MqttSettings &settings);

// A topic prefix (or discovery prefix) the program can publish below: not empty, no "+" or
// "#", no NUL, and no "/" at either end.
bool ValidTopicPrefix(const QString &prefix);

// The broker of a --mqtt URL with the other values of the file. The file's user and password
// are kept only for the same host (and, when the URL names a user, for that same user): a
// password is never sent to a broker it was not stored for. Enabled: the URL asks for it.
MqttSettings MergeMqttUrl(MqttSettings fromFile, const MqttSettings &fromUrl);

// ~/.config/Aqualumora/mqtt.conf ($XDG_CONFIG_HOME if set).
QString MqttSettingsPath();
// The file's settings; the defaults for what it lacks or holds unusably.
MqttSettings LoadMqttSettings();
// Replaces the file as a whole (never half-written), with mode 0600 from its first byte on.
// False with a reason when it could not be written; the old file then stays as it was.
bool SaveMqttSettings(const MqttSettings &settings, QString *error);
