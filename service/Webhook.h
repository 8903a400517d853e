#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QQueue>
#include <QTimer>
#include <QUrl>

// Alerts posted to a web address, one JSON document each, in order. Each is posted again
// with a growing pause until the address answers 2xx; while it cannot be reached, at most
// MostQueued wait and the oldest make room.
class Webhook : public QObject
{
    Q_OBJECT

public:
    static constexpr int MostQueued = 100;

    explicit Webhook(const QUrl &url, QObject *parent = nullptr);
    void Post(const QByteArray &json);

private:
    void Next();
    void Answered(QNetworkReply *reply);

    const QUrl url;
    QNetworkAccessManager network;
    QQueue<QByteArray> queue;
    bool posting = false;
    int failures = 0;
    QTimer retry;
};
