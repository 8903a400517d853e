#pragma once

#include <QByteArray>

// How a settings file's text is stored. Programs on the older platform write
// single bytes (ANSI or UTF-8, with or without a byte order mark) or UTF-16
// with a byte order mark, and read back whichever they find.
enum class ProfileEncoding { Bytes, Utf16LE, Utf16BE };

struct ProfileFileText
{
    QByteArray text;  // as the profile functions read it: single bytes, UTF-16 turned into UTF-8
    ProfileEncoding encoding = ProfileEncoding::Bytes;
};

// Recognises UTF-16 by its byte order mark; everything else stays byte for byte.
ProfileFileText DecodeProfile(const QByteArray &stored);
// The bytes to store: UTF-16 again with its byte order mark, or the text unchanged.
QByteArray EncodeProfile(const ProfileFileText &file);
