#include "Webhook.h"

#include <QNetworkReply>
#include <algorithm>
#include <cstdio>

namespace {
constexpr int FirstPauseMs = 1000;
constexpr int LongestPauseMs = 5 * 60 * 1000;
constexpr int ReplyTimeoutMs = 15000;
} // namespace

Webhook::Webhook(const QUrl &url, QObject *parent) : QObject(parent), url(url)
{
    retry.setSingleShot(true);
    connect(&retry, &QTimer::timeout, this, &Webhook::Next);
    connect(&network, &QNetworkAccessManager::finished, this, &Webhook::Answered);
}

void Webhook::Post(const QByteArray &json)
{
    if (queue.size() >= MostQueued) {
        // The one under way stays at the head; the next oldest goes.
        queue.removeAt(posting ? 1 : 0);
        std::fprintf(stderr, "quorind: the alert webhook on %s is behind: an older alert was dropped\n", qPrintable(url.host()));
    }
    queue.enqueue(json);
    if (!posting && !retry.isActive())
        Next();
}

void Webhook::Next()
{
    if (queue.isEmpty())
        return;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setTransferTimeout(ReplyTimeoutMs);
    posting = true;
    network.post(request, queue.head());
}

void Webhook::Answered(QNetworkReply *reply)
{
    reply->deleteLater();
    posting = false;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 200 && status < 300) {
        failures = 0;
        if (!queue.isEmpty())
            queue.dequeue();
        return Next();
    }
    // The address may hold a token, and Qt's error texts name it: only the host is said.
    std::fprintf(stderr, "quorind: the alert webhook on %s %s; trying again\n", qPrintable(url.host()),
                 qPrintable(status ? QStringLiteral("answered %1").arg(status)
                                   : QStringLiteral("cannot be reached (network error %1)").arg(int(reply->error()))));
    const int pause = std::min(LongestPauseMs, FirstPauseMs << std::min(failures, 20));
    ++failures;
    retry.start(pause);
}
