// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/mqtt_client.h"

#include "presentation/localization.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QSysInfo>

#include <mosquitto.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <set>

// The network thread is our own rather than mosquitto_loop_start's: that one ends for good on
// the errors libmosquitto deems fatal (a failed TLS handshake, a protocol error), and reconnects
// with a blocking connect that a stop cannot cut short. Ours keeps trying, and every wait in it
// (the pause, a connect under way, an open connection) ends as soon as stop() asks.

namespace {

// libmosquitto keeps at most this much of one message.
constexpr qsizetype MaxPayload = 268435455;

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

QString systemError(int error)
{
    char buffer[256];
    return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}

QString libraryError(int rc, int savedErrno)
{
    return rc == MOSQ_ERR_ERRNO ? systemError(savedErrno) : QString::fromUtf8(mosquitto_strerror(rc));
}

QString refusal(int code)
{
    // MQTT 3.1.1: 4 is a wrong user name or password, 5 a user the broker does not admit.
    if (code == 4 || code == 5)
        return Translate(QStringLiteral("MqttRefusedLogin"));
    return TranslateFmt(QStringLiteral("MqttRefused"), {QString::fromUtf8(mosquitto_connack_string(code))});
}

void remember(std::vector<std::pair<QString, int>> &list, const QString &filter, int qos)
{
    const auto known = std::find_if(list.begin(), list.end(), [&](const auto &s) { return s.first == filter; });
    if (known != list.end())
        known->second = qos;
    else
        list.emplace_back(filter, qos);
}

} // namespace

struct MqttClient::Session {
    mosquitto *mosq = nullptr;
    QByteArray host;
    int port = 0;
    quint64 generation = 0;

    std::mutex mutex;   // guards what follows up to the atomics
    std::condition_variable wake;
    MqttClient *owner = nullptr;   // null once the client let go of this session
    bool stopping = false;
    bool finished = false;
    std::vector<std::pair<QString, int>> subscriptions;
    std::set<int> unacknowledged;   // message ids of the subscriptions renewed on connecting
    bool sessionUp = false;         // the broker took the connection

    std::atomic<bool> ready{false};
    std::atomic<bool> lost{false};

    // Network thread only.
    QString refusedBecause;
    int lostRc = MOSQ_ERR_CONN_LOST;
    int lostErrno = 0;
    bool reportedDown = false;

    std::mutex messageMutex;   // libmosquitto's last error line, for the reason of a failure
    QString libraryMessage;

    ~Session()
    {
        if (mosq)
            mosquitto_destroy(mosq);
    }

    // Calls f(owner) on the owner's thread, unless the owner has let go by then. Mutex held.
    template <class F>
    void post(F f)
    {
        if (!owner)
            return;
        MqttClient *client = owner;
        const quint64 expected = generation;
        QMetaObject::invokeMethod(
            client,
            [client, expected, f] {
                if (client->m_generation == expected)
                    f(client);
            },
            Qt::QueuedConnection);
    }

    // Mutex held.
    void readyIfAcknowledged()
    {
        if (!sessionUp || !unacknowledged.empty() || ready)
            return;
        ready = true;
        reportedDown = false;
        post([](MqttClient *c) { emit c->connected(); });
    }

    // The connection, or the attempt at one, has ended; whether it had been ready.
    bool ended(const QString &reason)
    {
        std::lock_guard lock(mutex);
        const bool wasReady = ready.exchange(false);
        sessionUp = false;
        unacknowledged.clear();
        if (!reportedDown) {
            reportedDown = true;
            post([reason](MqttClient *c) { emit c->disconnected(reason); });
        }
        return wasReady;
    }

    bool stopRequested()
    {
        std::lock_guard lock(mutex);
        return stopping;
    }

    static void onConnect(mosquitto *mosq, void *obj, int code)
    {
        auto *s = static_cast<Session *>(obj);
        if (code != 0) {
            s->refusedBecause = refusal(code);
            return;
        }
        std::lock_guard lock(s->mutex);
        s->sessionUp = true;
        s->unacknowledged.clear();
        for (const auto &[filter, qos] : s->subscriptions) {
            int mid = 0;
            if (mosquitto_subscribe(mosq, &mid, filter.toUtf8().constData(), qos) == MOSQ_ERR_SUCCESS)
                s->unacknowledged.insert(mid);
        }
        s->readyIfAcknowledged();
    }

    static void onSubscribe(mosquitto *, void *obj, int mid, int, const int *)
    {
        auto *s = static_cast<Session *>(obj);
        std::lock_guard lock(s->mutex);
        s->unacknowledged.erase(mid);
        s->readyIfAcknowledged();
    }

    static void onDisconnect(mosquitto *, void *obj, int rc)
    {
        auto *s = static_cast<Session *>(obj);
        s->lostErrno = errno;
        s->lostRc = rc;
        s->lost = true;
    }

    static void onMessage(mosquitto *, void *obj, const mosquitto_message *message)
    {
        if (message->payloadlen < 0 || message->payloadlen > MaxIncomingPayload)
            return;
        auto *s = static_cast<Session *>(obj);
        const QString topic = QString::fromUtf8(message->topic);
        const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
        const bool retained = message->retain;
        std::lock_guard lock(s->mutex);
        s->post([topic, payload, retained](MqttClient *c) { emit c->messageReceived(topic, payload, retained); });
    }

    // May come from any thread that calls into libmosquitto, also while mutex is held there.
    static void onLog(mosquitto *, void *obj, int level, const char *text)
    {
        if (!(level & MOSQ_LOG_ERR) || !text)
            return;
        auto *s = static_cast<Session *>(obj);
        std::lock_guard lock(s->messageMutex);
        s->libraryMessage = QString::fromUtf8(text);
    }

    QString takeLibraryMessage()
    {
        std::lock_guard lock(messageMutex);
        return std::exchange(libraryMessage, QString());
    }
};

MqttClient::MqttClient(QObject *parent) : QObject(parent) {}

MqttClient::~MqttClient() { stop(); }

void MqttClient::setWill(const QString &topic, const QByteArray &payload, bool retain)
{
    m_willTopic = topic;
    m_willPayload = payload;
    m_willRetain = retain;
}

bool MqttClient::start(const MqttSettings &settings, const QString &clientId, QString *error)
{
    stop();
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    if (settings.host.trimmed().isEmpty())
        return fail(Translate(QStringLiteral("MqttNoBroker")));
    if (settings.port < 1 || settings.port > 65535)
        return fail(Translate(QStringLiteral("MqttUrlPort")));
    if (settings.user.isEmpty() && !settings.password.isEmpty())
        return fail(Translate(QStringLiteral("MqttUrlNoUser")));
    if (settings.tls && !settings.caFile.isEmpty()) {
        QFile ca(settings.caFile);
        if (!ca.open(QIODevice::ReadOnly))
            return fail(TranslateFmt(QStringLiteral("MqttCaUnreadable"), {settings.caFile, ca.errorString()}));
    }

    initLibrary();
    auto s = std::make_shared<Session>();
    const QString id = !clientId.isEmpty() ? clientId
                                           : QStringLiteral("aqualumora-%1-%2")
                                                 .arg(QSysInfo::machineHostName())
                                                 .arg(QCoreApplication::applicationPid());
    s->mosq = mosquitto_new(id.toUtf8().constData(), true, s.get());
    if (!s->mosq)
        return fail(TranslateFmt(QStringLiteral("MqttClientFailed"), {systemError(errno)}));
    mosquitto_threaded_set(s->mosq, true);
    int rc = mosquitto_int_option(s->mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(s->mosq, &Session::onConnect);
    mosquitto_disconnect_callback_set(s->mosq, &Session::onDisconnect);
    mosquitto_subscribe_callback_set(s->mosq, &Session::onSubscribe);
    mosquitto_message_callback_set(s->mosq, &Session::onMessage);
    mosquitto_log_callback_set(s->mosq, &Session::onLog);
    if (rc == MOSQ_ERR_SUCCESS && !settings.user.isEmpty()) {
        const QByteArray password = settings.password.toUtf8();
        rc = mosquitto_username_pw_set(s->mosq, settings.user.toUtf8().constData(),
                                       password.isEmpty() ? nullptr : password.constData());
    }
    if (rc == MOSQ_ERR_SUCCESS && settings.tls) {
        const QByteArray caFile = QFile::encodeName(settings.caFile);
        rc = mosquitto_tls_set(s->mosq, caFile.isEmpty() ? nullptr : caFile.constData(),
                               caFile.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
    }
    if (rc == MOSQ_ERR_SUCCESS && !m_willTopic.isEmpty())
        rc = mosquitto_will_set(s->mosq, m_willTopic.toUtf8().constData(), int(m_willPayload.size()),
                                m_willPayload.constData(), 1, m_willRetain);
    if (rc != MOSQ_ERR_SUCCESS)
        return fail(TranslateFmt(QStringLiteral("MqttClientFailed"), {libraryError(rc, errno)}));

    s->host = settings.host.trimmed().toUtf8();
    s->port = settings.port;
    s->subscriptions = m_subscriptions;
    {
        std::lock_guard lock(m_lock);
        s->owner = this;
        s->generation = ++m_generation;
        m_session = s;
    }
    m_thread = std::thread(&MqttClient::run, s);
    return true;
}

void MqttClient::stop()
{
    std::shared_ptr<Session> s;
    {
        std::lock_guard lock(m_lock);
        s = std::move(m_session);
        ++m_generation;
    }
    if (!s)
        return;
    {
        std::lock_guard lock(s->mutex);
        s->owner = nullptr;
        s->stopping = true;
    }
    s->wake.notify_all();
    // The goodbye makes the broker drop the last will. It is queued for the network thread,
    // which libmosquitto wakes for it.
    mosquitto_disconnect(s->mosq);
    std::unique_lock lock(s->mutex);
    const bool ended = s->wake.wait_for(lock, std::chrono::seconds(1), [&] { return s->finished; });
    lock.unlock();
    // A thread still in a name lookup holds its own share of the session and ends on its own.
    if (ended)
        m_thread.join();
    else
        m_thread.detach();
}

std::shared_ptr<MqttClient::Session> MqttClient::session() const
{
    std::lock_guard lock(m_lock);
    return m_session;
}

bool MqttClient::isConnected() const
{
    const auto s = session();
    return s && s->ready;
}

bool MqttClient::publish(const QString &topic, const QByteArray &payload, bool retain, int qos)
{
    const auto s = session();
    if (!s || !s->ready || payload.size() > MaxPayload)
        return false;
    const QByteArray name = topic.toUtf8();
    if (name.isEmpty() || mosquitto_pub_topic_check(name.constData()) != MOSQ_ERR_SUCCESS)
        return false;
    return mosquitto_publish(s->mosq, nullptr, name.constData(), int(payload.size()), payload.constData(),
                             std::clamp(qos, 0, 2), retain)
           == MOSQ_ERR_SUCCESS;
}

void MqttClient::subscribe(const QString &filter, int qos)
{
    const QByteArray name = filter.toUtf8();
    if (name.isEmpty() || mosquitto_sub_topic_check(name.constData()) != MOSQ_ERR_SUCCESS)
        return;
    qos = std::clamp(qos, 0, 2);
    remember(m_subscriptions, filter, qos);
    const auto s = session();
    if (!s)
        return;
    std::lock_guard lock(s->mutex);
    remember(s->subscriptions, filter, qos);
    if (s->sessionUp) {
        int mid = 0;
        if (mosquitto_subscribe(s->mosq, &mid, name.constData(), qos) == MOSQ_ERR_SUCCESS && !s->ready)
            s->unacknowledged.insert(mid);
    }
}

void MqttClient::run(std::shared_ptr<Session> s)
{
    pthread_setname_np(pthread_self(), "mqtt");
    int failures = 0;   // attempts since the last connection that worked
    bool initialised = false;
    while (!s->stopRequested()) {
        s->lost = false;
        s->refusedBecause.clear();
        s->takeLibraryMessage();
        // The first call also stores host and port; the name lookup in either may take a while.
        int rc = initialised ? mosquitto_reconnect_async(s->mosq)
                             : mosquitto_connect_async(s->mosq, s->host.constData(), s->port, KeepAliveSeconds);
        int savedErrno = errno;
        initialised = true;
        while (rc == MOSQ_ERR_SUCCESS && !s->lost && !s->stopRequested()) {
            rc = mosquitto_loop(s->mosq, 1000, 1);
            savedErrno = errno;
        }
        if (s->stopRequested())
            break;

        // Why it ended: the broker's refusal, else what libmosquitto said when it closed the
        // socket, else what the call that failed returned.
        QString reason = s->refusedBecause;
        if (reason.isEmpty()) {
            if (s->lost && (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN))
                reason = libraryError(s->lostRc == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : s->lostRc, s->lostErrno);
            else
                reason = libraryError(rc, savedErrno);
            const QString detail = s->takeLibraryMessage();
            if (!detail.isEmpty())
                reason += QStringLiteral(" (") + detail + u')';
        }
        if (s->ended(reason))
            failures = 0;
        const int pause = 1 << std::min(failures, 6);
        ++failures;
        std::unique_lock lock(s->mutex);
        s->wake.wait_for(lock, std::chrono::seconds(std::min(pause, 60)), [&] { return s->stopping; });
    }
    // A goodbye queued by stop() goes out before the socket closes.
    for (int i = 0; i < 5 && mosquitto_socket(s->mosq) >= 0; ++i)
        if (mosquitto_loop(s->mosq, 100, 1) != MOSQ_ERR_SUCCESS)
            break;
    {
        std::lock_guard lock(s->mutex);
        s->finished = true;
    }
    s->wake.notify_all();
}
