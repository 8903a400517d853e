#include "Mailer.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QUuid>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>

namespace {

// A header's text as RFC 2047 words when it is more than plain ASCII, with no line break either way.
QByteArray HeaderText(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray utf8 = text.toUtf8();
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return c >= 0x20 && c < 0x7f; }))
        return utf8;
    return "=?UTF-8?B?" + utf8.toBase64() + "?=";
}

QByteArray Message(const QByteArray &from, const QList<QByteArray> &to, const QString &subject, const QString &body)
{
    const QString date = QLocale::c().toString(QDateTime::currentDateTimeUtc(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss +0000"));
    QByteArray message = "Date: " + date.toLatin1() + "\r\nFrom: <" + from + ">\r\nTo: <" + to.join(">, <")
        + ">\r\nSubject: " + HeaderText(subject) + "\r\nMessage-ID: <" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces)
        + "@quorind>\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";
    for (const QString &line : body.split(QLatin1Char('\n')))
        message += line.toUtf8() + "\r\n";
    return message;
}

struct Reading
{
    const QByteArray &message;
    qsizetype at = 0;
};

size_t ReadMessage(char *buffer, size_t size, size_t count, void *data)
{
    auto *reading = static_cast<Reading *>(data);
    const size_t n = std::min(size * count, size_t(reading->message.size() - reading->at));
    std::memcpy(buffer, reading->message.constData() + reading->at, n);
    reading->at += qsizetype(n);
    return n;
}

int Progress(void *stopping, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<std::atomic<bool> *>(stopping)->load() ? 1 : 0;
}

} // namespace

bool Mailer::Start(const AlertsConfig &config, QString *error)
{
    if (!config.smtpPasswordFile.isEmpty()) {
        QFile file(config.smtpPasswordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("%1: %2").arg(config.smtpPasswordFile, file.errorString());
            return false;
        }
        password = file.readLine().trimmed();
    }
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        *error = QStringLiteral("cannot start libcurl");
        return false;
    }
    url = config.smtp.toString(QUrl::FullyEncoded).toUtf8();
    host = config.smtp.host();
    user = config.smtpUser.toUtf8();
    from = config.mailFrom.toUtf8();
    for (const QString &address : config.mailTo)
        to << address.toUtf8();
    thread = std::thread(&Mailer::Run, this);
    return true;
}

Mailer::~Mailer()
{
    if (!thread.joinable())
        return;
    {
        const std::lock_guard<std::mutex> hold(lock);
        stopping = true;
    }
    wake.notify_all();
    thread.join();
    curl_global_cleanup();
}

void Mailer::Send(const QString &subject, const QString &body)
{
    {
        const std::lock_guard<std::mutex> hold(lock);
        if (queue.size() >= MostQueued) {
            // The head may be under way: the next oldest makes room.
            queue.erase(queue.begin() + 1);
            std::fprintf(stderr, "quorind: alert mails to %s are behind: an older one was dropped\n", qPrintable(host));
        }
        queue.push_back(Message(from, to, subject, body));
    }
    wake.notify_all();
}

void Mailer::Run()
{
    std::chrono::seconds pause(1);
    std::unique_lock<std::mutex> hold(lock);
    while (!stopping) {
        if (queue.empty()) {
            wake.wait(hold);
            continue;
        }
        const QByteArray message = queue.front();
        hold.unlock();
        const bool sent = Deliver(message);
        hold.lock();
        if (sent) {
            queue.pop_front();
            pause = std::chrono::seconds(1);
            continue;
        }
        wake.wait_for(hold, pause, [this] { return stopping.load(); });
        pause = std::min(pause * 2, std::chrono::seconds(300));
    }
}

bool Mailer::Deliver(const QByteArray &message)
{
    CURL *curl = curl_easy_init();
    if (!curl)
        return false;
    const QByteArray sender = '<' + from + '>';
    curl_slist *recipients = nullptr;
    for (const QByteArray &address : to)
        recipients = curl_slist_append(recipients, ('<' + address + '>').constData());
    Reading reading{message};
    char why[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, sender.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    // A password goes over TLS only; without one, STARTTLS is taken when the server offers it.
    curl_easy_setopt(curl, CURLOPT_USE_SSL, long(user.isEmpty() ? CURLUSESSL_TRY : CURLUSESSL_ALL));
    if (!user.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadMessage);
    curl_easy_setopt(curl, CURLOPT_READDATA, &reading);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 15L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &stopping);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, why);
    const CURLcode result = curl_easy_perform(curl);
    curl_slist_free_all(recipients);
    curl_easy_cleanup(curl);
    if (result != CURLE_OK && !stopping)
        std::fprintf(stderr, "quorind: cannot send an alert mail through %s: %s\n", qPrintable(host),
                     why[0] ? why : curl_easy_strerror(result));
    return result == CURLE_OK;
}
