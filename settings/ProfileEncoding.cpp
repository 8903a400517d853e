#include "ProfileEncoding.h"

#include <QStringDecoder>
#include <QStringEncoder>

ProfileFileText DecodeProfile(const QByteArray &stored)
{
    const auto decoded = [&stored](QStringConverter::Encoding encoding, ProfileEncoding kind) {
        QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
        const QString text = decoder(QByteArrayView(stored).sliced(2));
        return ProfileFileText{text.toUtf8(), kind};
    };
    if (stored.startsWith("\xFF\xFE"))
        return decoded(QStringConverter::Utf16LE, ProfileEncoding::Utf16LE);
    if (stored.startsWith("\xFE\xFF"))
        return decoded(QStringConverter::Utf16BE, ProfileEncoding::Utf16BE);
    return {stored, ProfileEncoding::Bytes};
}

QByteArray EncodeProfile(const ProfileFileText &file)
{
    if (file.encoding == ProfileEncoding::Bytes)
        return file.text;
    const bool little = file.encoding == ProfileEncoding::Utf16LE;
    QStringEncoder encoder(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                           QStringConverter::Flag::Stateless);
    QByteArray stored = little ? QByteArray("\xFF\xFE", 2) : QByteArray("\xFE\xFF", 2);
    stored += encoder(QString::fromUtf8(file.text));
    return stored;
}
